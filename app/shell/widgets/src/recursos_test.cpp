// The pictures and the manual are found beside the program in a build tree and under
// share/tributarium in an installed one.
#include "shell/widgets/recursos.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace shell {
namespace {

class PastaDosRecursosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string modelo = (fs::temp_directory_path() / "recursos-XXXXXX").string();
    ASSERT_NE(mkdtemp(modelo.data()), nullptr);
    raiz_ = modelo;
    fs::create_directories(raiz_ / "bin");
  }
  void TearDown() override { fs::remove_all(raiz_); }
  fs::path raiz_;
};

TEST_F(PastaDosRecursosTest, BuildTreeKeepsThemBesideTheProgram) {
  fs::create_directories(raiz_ / "bin" / "Imagens");
  fs::create_directories(raiz_ / "share" / "tributarium" / "Imagens");
  EXPECT_EQ(PastaDosRecursos(raiz_ / "bin"), raiz_ / "bin" / "");
}

TEST_F(PastaDosRecursosTest, InstalledTreeKeepsThemUnderShare) {
  fs::create_directories(raiz_ / "share" / "tributarium" / "Imagens");
  EXPECT_EQ(PastaDosRecursos(raiz_ / "bin"), raiz_ / "share" / "tributarium" / "");
}

TEST_F(PastaDosRecursosTest, NeitherFallsBackToTheProgramFolder) {
  EXPECT_EQ(PastaDosRecursos(raiz_ / "bin"), raiz_ / "bin" / "");
}

}  // namespace
}  // namespace shell
