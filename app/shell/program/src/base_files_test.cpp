#include "shell/program/base_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace shell {
namespace {

class BaseFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string m = (fs::temp_directory_path() / "bases-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(m.data()), nullptr);
    dir_ = m;
    fs::create_directories(dir_ / "Dados" / "Default");
    Escreve(dir_ / "Dados" / "Default" / "tributariumdados.fdb", "modelo");
  }
  void TearDown() override { fs::remove_all(dir_); }
  static void Escreve(const fs::path& p, const std::string& s) { std::ofstream(p) << s; }
  static std::string Le(const fs::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir_;
};

TEST_F(BaseFilesTest, CopyMakesTheTargetACopyOfTheTemplate) {
  fs::path alvo = dir_ / "Bases" / "ACME";
  ASSERT_TRUE(CopiaArquivos((dir_ / "Dados").string(), alvo.string()));
  EXPECT_EQ(Le(alvo / "tributariumdados.fdb"), "modelo");
  EXPECT_FALSE(fs::exists(alvo / "Default"));
}

TEST_F(BaseFilesTest, CopyNeverOverwritesAnotherBasesData) {
  fs::path alvo = dir_ / "ACME";
  fs::create_directories(alvo);
  Escreve(alvo / "tributariumdados.fdb", "dados do cliente");
  EXPECT_FALSE(CopiaArquivos((dir_ / "Dados").string(), alvo.string()));
  EXPECT_EQ(Le(alvo / "tributariumdados.fdb"), "dados do cliente");
}

TEST_F(BaseFilesTest, CopyWithoutTemplateFailsAndLeavesNothing) {
  fs::remove_all(dir_ / "Dados" / "Default");
  EXPECT_FALSE(CopiaArquivos((dir_ / "Dados").string(), (dir_ / "ACME").string()));
  EXPECT_FALSE(fs::exists(dir_ / "ACME"));
}

TEST_F(BaseFilesTest, RemoveDeletesOnlyTheClientNamedSubfolderInAnyCase) {
  fs::path base = dir_ / "Importada";
  fs::create_directories(base / "acme" / "sub");
  Escreve(base / "tributariumdados.fdb", "x");
  Escreve(base / "acme" / "sub" / "f.txt", "y");
  EXPECT_TRUE(RemoveArquivos(base.string(), "ACME"));
  EXPECT_FALSE(fs::exists(base / "acme"));
  EXPECT_TRUE(fs::exists(base / "tributariumdados.fdb"));
}

TEST_F(BaseFilesTest, RemoveWithoutSuchSubfolderSucceedsAndKeepsTheFolder) {
  fs::path base = dir_ / "Importada";
  fs::create_directories(base);
  Escreve(base / "tributariumdados.fdb", "x");
  EXPECT_TRUE(RemoveArquivos(base.string(), "ACME"));
  EXPECT_TRUE(RemoveArquivos((dir_ / "nao-existe").string(), "ACME"));
  EXPECT_TRUE(fs::exists(base / "tributariumdados.fdb"));
}

TEST(NomeDePasta, RefusesEmptyAndPathLikeNames) {
  EXPECT_TRUE(NomeDePasta("ACME Ltda"));
  for (const char* n : {"", ".", "..", "a/b", "/"}) EXPECT_FALSE(NomeDePasta(n)) << n;
}

}  // namespace
}  // namespace shell
