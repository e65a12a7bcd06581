#include "orvik/memfiles/memory_libraries.h"

#include "common/files.h"
#include "common/text1252.h"
#include "test_peer.h"

namespace orvik::memfiles {
namespace {

using Lines = std::vector<std::string>;

class MemoryLibraries : public testing::Peer {
 protected:
  std::string W(std::string_view utf8) const { return common::utf8_to_cp1252(utf8); }
  std::string Path(const std::string& name) const { return (folder.path() / name).string(); }
  void Write(const std::string& name, const Lines& lines) {
    std::string text;
    for (const auto& l : lines) text += l + "\r\n";
    folder.Write(name, text);
  }
};

// An E01 line whose content field (columns 113-115) holds content, with "TDM" also in its
// model name to show that only the field changes.
std::string E01(const std::string& content) {
  std::string line = "E01" + std::string(20, '1') + " " + "ECF-IF " + std::string(20, 'B') +
                     "TDM MODEL" + std::string(11, ' ') + std::string(10, 'V') + "20260105" +
                     "090000" + "001" + std::string(14, '2');
  return line + content +
         "000001000002"
         "2026060120260630"
         "01.00.00"
         "AC1704 01.00.00";
}

TEST_F(MemoryLibraries, PafRjDropsTheFiscalMemoryRecordsAndMarksE01) {
  Write("OR0508.txt",
        {E01("TDM"), "E02 owner", "E05 coding", "E09 restart", "E11 counters", "E12 z",
         "E13 totalizer", "E14 coupon", "E15 item", "E21 payment", "EAD signature"});
  EXPECT_EQ(ConverteATO17ParaPAFRJ(Path("OR0508.txt")), 1);
  std::string e01 = E01("TDM");
  e01.replace(112, 3, "MFD");
  EXPECT_EQ(common::split_lines(folder.Read("PAF-RJ_OR0508.txt")),
            (Lines{e01, "E02 owner", "E14 coupon", "E15 item", "E21 payment"}));
  EXPECT_NE(e01.find("TDM MODEL"), std::string::npos);
  EXPECT_TRUE(LogHas("Convertendo arquivo para o PAF-RJ"));
  EXPECT_TRUE(LogHas(W("Conversão efetuada com sucesso - PAF-RJ_") + Path("OR0508.txt")));
  EXPECT_TRUE(LogHas(W("Retorno da função Orvik_ConverteATO17ParaPAFRJ:1")));
}

TEST_F(MemoryLibraries, PafRjKeepsAnotherContentField) {
  Write("a.txt", {E01("MF "), "E14 coupon"});
  EXPECT_EQ(ConverteATO17ParaPAFRJ(Path("a.txt")), 1);
  EXPECT_EQ(common::split_lines(folder.Read("PAF-RJ_a.txt"))[0], E01("MF "));
}

TEST_F(MemoryLibraries, PafRjOfTooLittleAnswersZero) {
  const struct {
    const char* name;
    Lines lines;
    const char* log;
  } cases[] = {
      {"only_e01.txt",
       {E01("TDM")},
       "Não foi possível realizar a conversão do arquivo, o arquivo de origem está vazio."},
      {"only_dropped.txt",
       {E01("TDM"), "E12 z", "E13 t"},
       "Não foi possível realizar a conversão do arquivo, o arquivo de origem está vazio."},
      {"empty.txt", {}, "não foi encotrado."},
  };
  for (const auto& c : cases) {
    Write(c.name, c.lines);
    EXPECT_EQ(ConverteATO17ParaPAFRJ(Path(c.name)), 0) << c.name;
    EXPECT_TRUE(LogHas(W(c.log))) << c.name;
    EXPECT_EQ(folder.Read(std::string("PAF-RJ_") + c.name), "<missing>") << c.name;
  }
  EXPECT_EQ(ConverteATO17ParaPAFRJ(Path("none.txt")), 0);
}

TEST_F(MemoryLibraries, AMissingLibraryIsAnErrorAndIsTriedAgain) {
  SetMemoryLibraryNames(Path("nothing/libleitura.so"), Path("nothing/libato17.so"));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(CancelaLeituraBinario(), 0);
  const std::string shown = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(shown.find("ERRO na função Orvik_CancelaLeituraBinario: A Dll Leitura.dll não foi "
                       "encontrada."),
            std::string::npos)
      << shown;
  EXPECT_TRUE(
      LogHas(W("Erro: A Dll Leitura.dll não foi encontrada.\nVerifique se a dll está no "
               "mesmo diretório da Orvik.dll ou no diretório System32 do Windows")));
  EXPECT_TRUE(LogHas(W("Retorno da função Orvik_CancelaLeituraBinario:0")));
  // The reading library is found now, the conversion library still is not.
  SetMemoryLibraryNames("libm.so.6", Path("nothing/libato17.so"));
  EXPECT_EQ(GeraArquivoATO17Binario("a", "b", "1", "2", "C", "01", "TDM"), 0);
  EXPECT_TRUE(LogHas(W("Erro: A Dll ATO17.dll não foi encontrada.")));
}

TEST_F(MemoryLibraries, AMissingFunctionIsAnErrorNotASuccess) {
  // Libraries that load but hold none of the functions.
  SetMemoryLibraryNames("libm.so.6", "libm.so.6");
  int state = -1;
  EXPECT_EQ(LeStatusGeraBinario(&state, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(state, -1);
  EXPECT_TRUE(LogHas(W("Erro: A função DLLReadDefineBaudRate não foi encontrada na Leitura.dll")));
  EXPECT_TRUE(LogHas(W("Retorno da função Orvik_LeStatusGeraBinario:0")));
}

}  // namespace
}  // namespace orvik::memfiles
