#include "generation/validacao_geracao.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace generation {
namespace {

namespace fs = std::filesystem;

TEST(LinhaComRegua, RulerLineAndMarkerUnderTheField) {
  std::string t = LinhaComRegua("50ABC", 3, 4, 12);
  EXPECT_EQ(t,
            "         1  \n"
            "123456789012\n"
            "50ABC\n"
            "  ^^\n");
  EXPECT_EQ(LinhaComRegua("x", 0, 0, 3), "   \n123\nx\n");
  // The line is Windows-1252; the window shows UTF-8.
  EXPECT_EQ(LinhaComRegua("S\xC3O", 0, 0, 3).substr(8), "SÃO\n");
}

class Arquivo : public ::testing::Test {
 protected:
  void SetUp() override {
    pasta_ = fs::temp_directory_path() / ("validacao_geracao_" + std::to_string(::getpid()));
    fs::create_directories(pasta_);
  }
  void TearDown() override { fs::remove_all(pasta_); }
  fs::path Escreve(const std::string& bytes) {
    fs::path p = pasta_ / "Sintegra.txt";
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  fs::path pasta_;
};

TEST_F(Arquivo, TheReportIsSavedBesideTheFile) {
  // A 60M alone, cut short: errors of its own line and of the missing header and trailer.
  fs::path f = Escreve("60M2024030" + std::string(10, ' ') + "\r\n");
  fs::path relatorio;
  auto r = ValidaESalvaRelatorio(f, sintegra::Periodo{3, 2024}, &relatorio);
  EXPECT_EQ(relatorio, pasta_ / "Sintegra-validacao.txt");
  std::ifstream in(relatorio, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string texto = s.str();
  EXPECT_EQ(texto.rfind("Valida\xE7\xE3o do arquivo " + f.string() + "\r\n", 0), 0u) << texto;
  EXPECT_NE(texto.find("Erro linha 1 registro 60M campo Linha: a linha tem 20 caracteres; devem "
                       "ser 126 [colunas 1-126, regra linha.tamanho]\r\n"),
            std::string::npos)
      << texto;
  EXPECT_GT(r.contagem.erros, 1u);

  // Before a merge only what the 60 and 75 lines carry counts.
  auto so = SoRegistros60e75(r);
  ASSERT_EQ(so.achados.size(), 1u);
  EXPECT_EQ(so.achados[0].regra, "linha.tamanho");
  EXPECT_EQ(so.contagem.erros, 1u);
  EXPECT_EQ(LinhaDoArquivo(f, 1), "60M2024030" + std::string(10, ' '));
  EXPECT_EQ(LinhaDoArquivo(f, 2), "");
  EXPECT_THROW(ValidaESalvaRelatorio(pasta_ / "nenhum.txt", {}), std::exception);
}

}  // namespace
}  // namespace generation
