// The driver on a full disk: the till's folder (Path, and the current folder where the
// capture goes) fills up. A query whose answer cannot reach RETORNO.TXT and a download
// whose capture cannot be written fail with -8 rather than report success, leave no
// half-written file behind, and work again once there is room.
#include <errno.h>
#include <sched.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "driver_fixture.h"

namespace {

namespace fs = std::filesystem;
using orvik_testing::DriverOverPty;

class DriverDiskFull : public DriverOverPty {
 protected:
  // Puts the scratch folder on a small memory filesystem of this test process alone (each
  // case runs in its own process). False where the system allows no mount namespace.
  bool SmallDisk() {
    if (::unshare(CLONE_NEWNS) != 0) return false;
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=512k") != 0) return false;
    mounted_ = true;
    fs::current_path(dir);  // into the new filesystem
    return true;
  }
  void TearDown() override {
    if (mounted_) {
      fs::current_path("/");
      ::umount2(dir.c_str(), MNT_DETACH);
    }
    DriverOverPty::TearDown();
  }
  void Fill() {
    std::ofstream out(dir / "enchimento", std::ios::binary);
    const std::string block(4096, 'x');
    while (out.write(block.data(), block.size()) && out.flush()) {
    }
  }
  void Free() { fs::remove(dir / "enchimento"); }

  static std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  bool mounted_ = false;
};

TEST_F(DriverDiskFull, AQueryWhoseAnswerCannotBeWrittenFailsAndLeavesNoMixedFile) {
  if (!SmallDisk()) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  Load();
  Fill();
  char serial[64] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroSerie)(serial), 0);
  EXPECT_EQ(last(), "-8 Erro na gravacao de RETORNO.TXT");
  EXPECT_FALSE(fs::exists(dir / "RETORNO.TXT")) << Slurp(dir / "RETORNO.TXT");

  Free();
  EXPECT_EQ(EXPORT(Orvik_NumeroSerie)(serial), 1) << last();
  EXPECT_EQ(last_code(), 0);
  EXPECT_EQ(Slurp(dir / "RETORNO.TXT"), std::string(serial) + "\r\n");
}

TEST_F(DriverDiskFull, ADownloadWhoseCaptureCannotBeWrittenFailsAndLeavesNoFile) {
  if (!SmallDisk()) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  Load();
  // A coupon on the detail tape, so the download has something to write.
  run("AbreCupomFiscal", "");
  run("VendeItem",
      "CodAliquota=-2 CodProduto=\"1\" NomeProduto=\"ARROZ\" PrecoUnitario=5,00 "
      "Quantidade=1,000 Unidade=\"UN\"");
  run("PagaCupom", "CodMeioPagamento=-2 Valor=5,00");
  run("EncerraDocumento", "");
  Fill();
  const fs::path file = dir / "mfd.txt";
  EXPECT_NE(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1);
  EXPECT_EQ(last_code(), -8) << last();
  EXPECT_FALSE(fs::exists(file));

  Free();
  EXPECT_EQ(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1) << last();
  EXPECT_NE(Slurp(file).find("ARROZ"), std::string::npos);
}

}  // namespace
