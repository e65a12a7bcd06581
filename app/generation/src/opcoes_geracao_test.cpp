#include "generation/opcoes_geracao.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/files.h"

namespace generation {
namespace {

namespace fs = std::filesystem;
using sintegra::TTipoRegistros;
using T = TTipoRegistros;

TEST(NomeDoMes, NamesTheMonthsAsTheScreen) {
  EXPECT_EQ(NomeDoMes(1), "Janeiro");
  EXPECT_EQ(NomeDoMes(3), "Março");
  EXPECT_EQ(NomeDoMes(12), "Dezembro");
  EXPECT_EQ(NomeDoMes(0), "");
  EXPECT_EQ(NomeDoMes(13), "");
}

TEST(SelecaoDoRun, ScreenOrderAndPointOfSaleKindsOnlyForAllOperations) {
  const std::set<T> todos(sintegra::kAllRecordKinds.begin(), sintegra::kAllRecordKinds.end());
  EXPECT_EQ(SelecaoDoRun({T::Tipo90, T::Tipo60R, T::Tipo10}, 3),
            (sintegra::TListaTipoRegistros{T::Tipo10, T::Tipo60R, T::Tipo90}));
  for (int natureza : {1, 2})
    EXPECT_EQ(SelecaoDoRun(todos, natureza),
              (sintegra::TListaTipoRegistros{T::Tipo10, T::Tipo11, T::Tipo50, T::Tipo54, T::Tipo74,
                                             T::Tipo90}))
        << natureza;
  EXPECT_EQ(SelecaoDoRun(todos, 3).size(), 12u);
}

TEST(RecusaDoRun, EmptySelectionAndMissingFileOfType60) {
  EXPECT_EQ(RecusaDoRun({}, ""), "Por favor, selecione pelo menos um Registro a ser gerado.");
  EXPECT_EQ(RecusaDoRun({T::Tipo10, T::Tipo60M}, ""),
            "Por favor, preencha o campo \"Arquivo com registros tipo 60 e 75\".");
  // 75 alone needs no file.
  EXPECT_EQ(RecusaDoRun({T::Tipo10, T::Tipo75}, ""), std::nullopt);
  EXPECT_EQ(RecusaDoRun({T::Tipo60M}, "/x/y.txt"), std::nullopt);
}

TEST(MascaraSubtipos, SixtyDIAndRAddFourEightAndSixteen) {
  EXPECT_EQ(MascaraSubtipos({T::Tipo60D, T::Tipo60R}), 20);
  EXPECT_EQ(MascaraSubtipos({T::Tipo60M, T::Tipo60A}), 0);
  EXPECT_EQ(MascaraSubtipos({T::Tipo60D, T::Tipo60I, T::Tipo60R, T::Tipo10}), 28);
}

TEST(PastaDaGeracao, YearThenMonthName) {
  EXPECT_EQ(PastaDaGeracao("/dados/Sintegra", 2008, 3), fs::path("/dados/Sintegra/2008/Março"));
}

class Mover : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("gen_mover_" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "destino");
  }
  void TearDown() override {
    ::chmod((dir_ / "destino").c_str(), 0755);
    fs::remove_all(dir_);
  }
  fs::path dir_;
};

TEST_F(Mover, ReplacesTheFileOfThatNameAndRemovesTheSource) {
  std::ofstream(dir_ / "Sintegra-3_2008.txt", std::ios::binary) << "novo\r\n";
  std::ofstream(dir_ / "destino" / "Sintegra-3_2008.txt", std::ios::binary) << "velho e maior\r\n";
  fs::path p = MoveArquivo(dir_ / "Sintegra-3_2008.txt", dir_ / "destino");
  EXPECT_EQ(p, dir_ / "destino" / "Sintegra-3_2008.txt");
  EXPECT_EQ(common::read_file(p), "novo\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "Sintegra-3_2008.txt"));
  // Nothing left aside.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "destino"), fs::directory_iterator()), 1);
}

TEST_F(Mover, AFailedMoveKeepsTheSource) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  std::ofstream(dir_ / "a.txt") << "dados";
  ::chmod((dir_ / "destino").c_str(), 0555);
  EXPECT_THROW(MoveArquivo(dir_ / "a.txt", dir_ / "destino"), std::runtime_error);
  EXPECT_EQ(common::read_file(dir_ / "a.txt"), "dados");
}

}  // namespace
}  // namespace generation
