#include "shell/import/dbase.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "common/files.h"
#include "shell/testing/dbf_fixture.h"

namespace shell::dbase {
namespace {

namespace fs = std::filesystem;
using testing::EscreveDbf;
using testing::TabelaDbf;

class DbaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string m = (fs::temp_directory_path() / "dbase-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(m.data()), nullptr);
    dir_ = m;
  }
  void TearDown() override { fs::remove_all(dir_); }
  TabelaDbf Simples(std::vector<std::vector<std::string>> linhas) {
    TabelaDbf t;
    t.campos = {{"CODIGO", 'C', 10}, {"VALOR", 'N', 10, 2}};
    t.linhas = std::move(linhas);
    return t;
  }
  fs::path dir_;
};

TEST_F(DbaseTest, ReadsTheAskedFieldsOfEveryRowTrimmedAndInTableOrder) {
  std::vector<std::vector<std::string>> linhas;
  for (int i = 1; i <= 25; ++i)
    linhas.push_back({"  P" + std::to_string(i), std::to_string(i) + ".50"});
  EscreveDbf(dir_ / "Qzapro.dbf", Simples(linhas));
  Tabela t = LeArquivo(dir_, "Qzapro.dbf", {"valor", "CODIGO"});
  ASSERT_EQ(t.linhas.size(), 25u);
  EXPECT_EQ(t.total_registros, 25);
  EXPECT_EQ(t.linhas[0], (std::vector<std::string>{"1.50", "P1"}));
  EXPECT_EQ(t.linhas[24], (std::vector<std::string>{"25.50", "P25"}));
  EXPECT_EQ(t.registros[24], 25);
  EXPECT_EQ(t.campo("Codigo"), 1);
}

TEST_F(DbaseTest, AnEmptyTableHasNoRows) {
  EscreveDbf(dir_ / "Qzapro.dbf", Simples({}));
  Tabela t = LeArquivo(dir_, "Qzapro.dbf", {"CODIGO"});
  EXPECT_TRUE(t.linhas.empty());
  EXPECT_EQ(t.total_registros, 0);
}

TEST_F(DbaseTest, DeletedRowsAreSkippedAndKeepTheirRecordNumbersOutOfTheList) {
  TabelaDbf t = Simples({{"A", "1"}, {"B", "2"}, {"C", "3"}});
  t.apagadas = {1};
  EscreveDbf(dir_ / "t.dbf", t);
  Tabela l = LeArquivo(dir_, "t.dbf", {"CODIGO"});
  ASSERT_EQ(l.linhas.size(), 2u);
  EXPECT_EQ(l.linhas[1][0], "C");
  EXPECT_EQ(l.registros, (std::vector<int>{1, 3}));
  EXPECT_EQ(l.total_registros, 3);
}

TEST_F(DbaseTest, FileNamesAreFoundWithoutRegardToCase) {
  for (const char* nome : {"QZAPRO.DBF", "qzapro.dbf", "QzaPro.Dbf"}) {
    SCOPED_TRACE(nome);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    EscreveDbf(dir_ / "x.dbf", Simples({{"A", "1"}}));
    fs::rename(dir_ / "x.dbf", dir_ / nome);
    EXPECT_EQ(LeArquivo(dir_, "Qzapro.dbf", {"CODIGO"}).linhas.size(), 1u);
  }
}

TEST_F(DbaseTest, BadTablesAreRefusedWithTheirMessage) {
  EscreveDbf(dir_ / "t.dbf", Simples({{"A", "1"}, {"B", "2"}}));
  std::string inteiro = *common::read_file(dir_ / "t.dbf");
  struct Caso {
    const char* nome;
    std::string bytes;
    std::vector<std::string> campos;
    const char* mensagem;
  } casos[] = {
      {"missing field",
       inteiro,
       {"CODIGO", "PRO_PLU"},
       "A tabela \"t.dbf\" não tem o campo \"PRO_PLU\"."},
      {"cut inside the last record",
       inteiro.substr(0, inteiro.size() - 6),
       {"CODIGO"},
       "A tabela \"t.dbf\" está incompleta: o cabeçalho anuncia 2 registros e o arquivo traz 1."},
      {"cut inside the header",
       inteiro.substr(0, 40),
       {"CODIGO"},
       "A tabela \"t.dbf\" não é uma tabela dBase válida."},
      {"not a table",
       std::string(200, 'x'),
       {"CODIGO"},
       "A tabela \"t.dbf\" não é uma tabela dBase válida."},
      {"empty file",
       std::string(),
       {"CODIGO"},
       "A tabela \"t.dbf\" não é uma tabela dBase válida."},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    try {
      LeTabela(c.bytes, "t.dbf", c.campos);
      ADD_FAILURE() << "read";
    } catch (const ErroDbf& e) {
      EXPECT_STREQ(e.what(), c.mensagem);
    }
  }
}

TEST_F(DbaseTest, AMissingTableIsNamedAndNoFileIsWritten) {
  try {
    LeArquivo(dir_, "Qzatrb.dbf", {"TRB_CODIGO"});
    ADD_FAILURE();
  } catch (const ErroDbf& e) {
    EXPECT_EQ(std::string(e.what()),
              "A tabela \"Qzatrb.dbf\" não foi encontrada em \"" + dir_.string() + "\".");
  }
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(DbaseTest, ReadingLeavesTheFileAsItWasAndReadOnlyFilesRead) {
  EscreveDbf(dir_ / "t.dbf", Simples({{"A", "1"}}));
  std::string antes = *common::read_file(dir_ / "t.dbf");
  auto quando = fs::last_write_time(dir_ / "t.dbf");
  fs::permissions(dir_ / "t.dbf", fs::perms::owner_read);
  EXPECT_EQ(LeArquivo(dir_, "t.dbf", {"CODIGO"}).linhas.size(), 1u);
  EXPECT_EQ(*common::read_file(dir_ / "t.dbf"), antes);
  EXPECT_EQ(fs::last_write_time(dir_ / "t.dbf"), quando);
  EXPECT_EQ(std::vector<fs::path>(fs::directory_iterator(dir_), {}).size(), 1u);
}

TEST_F(DbaseTest, TextIsConvertedFromTheCodePageTheLanguageByteNames) {
  struct Caso {
    const char* pagina;
    const char* esperado;
  } casos[] = {
      // 0xC6 0x87 0x81: a letter each code page reads differently, and a byte that
      // Windows-1252 leaves undefined (kept as the control character of that value).
      {"LDID/87", "\u00C6\u2021\u0081"},
      {"LDID/3", "\u00C6\u2021\u0081"},
      {"LDID/1", "\u255E\u00E7\u00FC"},
      {"LDID/2", "\u00E3\u00E7\u00FC"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.pagina);
    TabelaDbf t = Simples({{"\xC6\x87\x81", "1"}});
    t.pagina = c.pagina;
    EscreveDbf(dir_ / "t.dbf", t);
    Tabela l = LeArquivo(dir_, "t.dbf", {"CODIGO"});
    EXPECT_EQ(l.linhas[0][0], c.esperado);
  }
  TabelaDbf t =
      Simples({{"A\xE7\xFA"
                "car",
                "1"}});
  EscreveDbf(dir_ / "t.dbf", t);
  EXPECT_EQ(LeArquivo(dir_, "t.dbf", {"CODIGO"}).linhas[0][0], "Açúcar");
}

TEST(DecimalTest, NumbersAreReadExactlyAndRoundedHalfAwayFromZero) {
  struct Caso {
    const char* texto;
    Leitura leitura;
    int casas;
    const char* fixo;
  } casos[] = {
      {"  12.5", Leitura::Numero, 2, "12,50"},
      {"1.005", Leitura::Numero, 2, "1,01"},
      {"1.0049", Leitura::Numero, 2, "1,00"},
      {"9.999", Leitura::Numero, 2, "10,00"},
      {"0.125", Leitura::Numero, 3, "0,125"},
      {"-3.5", Leitura::Numero, 0, "-4"},
      {"-0.001", Leitura::Numero, 2, "0,00"},
      {".5", Leitura::Numero, 1, "0,5"},
      {"007", Leitura::Numero, 3, "7,000"},
      {"12345678901.99", Leitura::Numero, 2, "12345678901,99"},
      {"   ", Leitura::Vazio, 2, ""},
      {"******", Leitura::Invalido, 2, ""},
      {"12a", Leitura::Invalido, 2, ""},
      {"1.2.3", Leitura::Invalido, 2, ""},
      {"-", Leitura::Invalido, 2, ""},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.texto);
    Decimal d;
    ASSERT_EQ(LeDecimal(c.texto, d), c.leitura);
    if (c.leitura == Leitura::Numero) {
      EXPECT_EQ(TextoFixo(d, c.casas), c.fixo);
    }
  }
}

}  // namespace
}  // namespace shell::dbase
