#include "orvik/memfiles/download.h"

#include "test_peer.h"

namespace orvik::memfiles {
namespace {

class Download : public testing::Peer {};

TEST(DownloadParameters, PerKindAndUser) {
  const struct {
    const char *kind, *first, *last, *user, *want;
  } cases[] = {
      {"0", "", "", "", "COOInicial=1 COOFinal=999999 Destino=\"S\""},
      {"0", "", "", "2", "COOInicial=1 COOFinal=999999 Destino=\"S\" Proprietario=2"},
      {"1", "01022010", "010310", "",
       "DataInicial=#01/02/2010# DataFinal=#01/03/2010# Destino=\"S\""},
      {"1", "01/02/2010", "1022010", "1",
       "DataInicial=#01/02/2010# DataFinal=#01/02/2010# Destino=\"S\" Proprietario=1"},
      {"2", "10", "25", "", "COOInicial=10 COOFinal=25 Destino=\"S\""},
      {"9", "10", "25", "", " Destino=\"S\""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DownloadParameters(c.kind, c.first, c.last, c.user), c.want) << c.kind << c.user;
}

TEST_F(Download, TheTapeGoesThroughTheCaptureIntoTheFile) {
  chunks = {"CUPOM\n", "FIM\n"};
  const std::string file = (folder.path() / "mfd.txt").string();
  EXPECT_EQ(DownloadMfd(file, "2", "1", "9", ""), 1);
  EXPECT_EQ(folder.Read("mfd.txt"), "CUPOM\nFIM\n");
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].command, "EmiteLeituraFitaDetalhe");
  EXPECT_EQ(sent[0].parameters, "COOInicial=1 COOFinal=9 Destino=\"S\"");
}

TEST_F(Download, ARefusedReadingDeletesTheFileAndAnswersTheEngine) {
  folder.Write("mfd.txt", "old");
  answers["EmiteLeituraFitaDetalhe"] = "8089;NomeErro=\"ErroCMDDataInvalida\" Circunstancia=\"x\"";
  EXPECT_EQ(DownloadMfd((folder.path() / "mfd.txt").string(), "0", "", "", ""), 0);
  EXPECT_EQ(core::State().last_return_code, 8089);
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "mfd.txt"));
  EXPECT_EQ(Commands(), std::vector<std::string>{"EmiteLeituraFitaDetalhe"});
}

TEST_F(Download, AnUnwritableTargetIsAFailure) {
  chunks = {"CUPOM\n"};
  EXPECT_EQ(DownloadMfd((folder.path() / "no" / "mfd.txt").string(), "0", "", "", ""), 0);
  EXPECT_EQ(core::State().last_return_code, -8);
}

TEST_F(Download, FormatingNeedsTheSourceAndChoosesRichOrPlain) {
  EXPECT_EQ(FormatoDadosMfd((folder.path() / "none").string(), "x", "1"), -8);
  EXPECT_EQ(core::State().last_message, "Erro no Arquivo Origem");
  folder.Write("raw",
               "A\x1b"
               "E1B\x1b"
               "E0\n");
  const std::string plain = (folder.path() / "p.txt").string();
  const std::string rich = (folder.path() / "r.rtf").string();
  EXPECT_EQ(FormatoDadosMfd((folder.path() / "raw").string(), plain, "0"), 1);
  EXPECT_EQ(folder.Read("p.txt"), "AB\r\n");
  EXPECT_EQ(FormatoDadosMfd((folder.path() / "raw").string(), rich, "1"), 1);
  EXPECT_EQ(folder.Read("r.rtf").rfind("{\\rtf1", 0), 0u);
}

TEST(SoftwareBasic, TheLastLineOfItsSectionGivesDateAndTime) {
  const std::vector<std::string> lines = {
      "CODIFICA\xC7\xC3O GT:",
      "01.00.07 01/01/2025   08:00:00",
      "SOFTWARE B\xC1SICO:",
      "01.00.07 01/01/2025   08:00:00",
      "",
      "01.00.08 05/01/2026   09:00:00",
      "MOEDA:R$   05/01/2026 09:30:00",
      "01.00.09 07/07/2027   07:07:07",
  };
  std::string date, time;
  SoftwareBasicFromLines(lines, date, time);
  EXPECT_EQ(date, "050126");
  EXPECT_EQ(time, "090000");
}

TEST_F(Download, SoftwareBasicDateTimeReadsTheCapturedReading) {
  chunks = {"SOFTWARE B\xB5SICO:\n01.00.08 05/01/2026   09:00:00\nMFD: MF05\n"};
  EXPECT_EQ(SoftwareBasicDateTime(), 1);
  EXPECT_EQ(core::State().return_value, "050126");
  EXPECT_EQ(core::State().second_return_value, "090000");
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].command, "EmiteLeituraMF");
  EXPECT_EQ(sent[0].parameters,
            "Destino=\"S\" LeituraSimplificada=false ReducaoInicial=1 ReducaoFinal=1");
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "LEITMF.TXT"));
}

}  // namespace
}  // namespace orvik::memfiles
