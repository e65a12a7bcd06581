// The driver writing into folders shown read-only (a read-only bind mount, which refuses
// writes even to root). The point-of-sale program sees an answer other than success with
// the driver's code and message; the files already there stay exactly as they were; once
// the folder is writable again the same call works.
#include <errno.h>
#include <string.h>
#include <sys/mount.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "driver_fixture.h"
#include "scratch_mounts.h"

namespace {

namespace fs = std::filesystem;
using fault_survival::Lines;
using fault_survival::Slurp;
using orvik_testing::DriverOverPty;

class DriverReadOnly : public DriverOverPty {
 protected:
  // Shows folder read-only until Writable; false where the system allows no mounts.
  // The current folder is entered again each time, so that it is the one now mounted there.
  bool ReadOnly(const fs::path& folder) {
    if (!fault_survival::ReadOnly(folder)) return false;
    read_only_.push_back(folder);
    fs::current_path(dir);
    return true;
  }
  void Writable() {
    while (!read_only_.empty()) {
      fault_survival::Writable(read_only_.back());
      read_only_.pop_back();
    }
    fs::current_path(dir);
  }
  void TearDown() override {
    Writable();
    if (working_mounted_) ::umount2(working_.c_str(), MNT_DETACH);
    DriverOverPty::TearDown();
  }
  // RFDTEMP/ (beside the test program) is a folder of this test alone.
  bool OwnWorkingFolder() {
    working_ = fs::read_symlink("/proc/self/exe").parent_path() / "RFDTEMP";
    if (!fault_survival::Bind(dir / "rfdtemp", working_)) return false;
    working_mounted_ = true;
    return true;
  }
  void SellACoupon() {
    run("AbreCupomFiscal", "");
    run("VendeItem",
        "CodAliquota=-2 CodProduto=\"1\" NomeProduto=\"ARROZ\" PrecoUnitario=5,00 "
        "Quantidade=1,000 Unidade=\"UN\"");
    run("PagaCupom", "CodMeioPagamento=-2 Valor=5,00");
    run("EncerraDocumento", "");
  }

  std::vector<fs::path> read_only_;
  fs::path working_;
  bool working_mounted_ = false;
};

TEST_F(DriverReadOnly, AQueryWhoseAnswerCannotBeWrittenFailsAndTheOldReturnFileStays) {
  Load();
  std::ofstream(dir / "RETORNO.TXT", std::ios::binary) << "resposta anterior\r\n";
  if (!ReadOnly(dir)) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  char serial[64] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroSerie)(serial), 0);
  EXPECT_EQ(last(), "-8 Erro na gravacao de RETORNO.TXT");
  EXPECT_EQ(Slurp(dir / "RETORNO.TXT"), "resposta anterior\r\n");

  Writable();
  EXPECT_EQ(EXPORT(Orvik_NumeroSerie)(serial), 1) << last();
  EXPECT_EQ(Slurp(dir / "RETORNO.TXT"), std::string(serial) + "\r\n");
}

// A download whose file cannot be written, or whose capture cannot even be made in the
// current folder: -8 with the file or the capture named, the earlier download untouched.
TEST_F(DriverReadOnly, ADownloadIntoAReadOnlyFolderFailsAndKeepsTheEarlierDownload) {
  struct Case {
    const char* read_only;  // relative to the till's folder
    const char* expected;
  };
  const Case cases[] = {
      {"baixas", "-8 Erro no Arquivo Destino"},
      {".", "-8 Erro na criacao de IMPR.TXT"},
  };
  Load();
  SellACoupon();
  fs::create_directories(dir / "baixas");
  const fs::path file = dir / "baixas" / "mfd.txt";
  ASSERT_EQ(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1) << last();
  const std::string good = Slurp(file);
  SellACoupon();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.read_only);
    if (!ReadOnly((dir / c.read_only).lexically_normal()))
      GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
    EXPECT_NE(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1);
    EXPECT_EQ(last(), c.expected);
    EXPECT_EQ(Slurp(file), good);
    EXPECT_FALSE(fs::exists(dir / "baixas" / "mfd.txt.tmp"));

    Writable();
    EXPECT_EQ(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1) << last();
    EXPECT_GT(Slurp(file).size(), good.size()) << "the second coupon is not in it";
    // The next case starts again from the one-coupon file.
    std::ofstream(file, std::ios::binary | std::ios::trunc) << good;
  }
}

// The RFD conversion with PathRFD, or the working folder, read-only: -8 naming the file it
// could not write (RFDTEMP/ refuses the tape's download first), the final file already in
// PathRFD kept, and the next conversion writes the day again.
TEST_F(DriverReadOnly, AnRfdConversionIntoAReadOnlyFolderFailsAndKeepsTheFinalFile) {
  if (!OwnWorkingFolder()) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  const fs::path rfd = dir / "rfd";
  Load("PathRFD=" + rfd.string() + "/\r\n");
  ASSERT_EQ(EXPORT(RFD_ApagaArquivos)(), 1);
  SellACoupon();
  run("EmiteReducaoZ", "");
  const fs::path final_file = rfd / "OR012345.F6Q";  // serial ...012345, 15/06/2026
  ASSERT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
  const std::string good = Slurp(final_file);
  ASSERT_NE(good.find("E15"), std::string::npos);

  struct Case {
    fs::path read_only;
    std::string expected;
  };
  const Case cases[] = {
      {rfd, "-8 Erro ao gravar " + final_file.string()},
      {working_, "-8 Erro no Arquivo Destino"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.read_only);
    const std::string before = Slurp(final_file);
    ASSERT_TRUE(ReadOnly(c.read_only));
    EXPECT_NE(EXPORT(RFD_ConvertedaMFD)("1"), 1);
    EXPECT_EQ(last(), c.expected);
    EXPECT_EQ(Slurp(final_file), before);
    Writable();
    EXPECT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
    // The printer's readings for the conversion add E10 lines; the day's documents stay.
    for (const char* kind : {"E12", "E14", "E15", "E21"})
      EXPECT_EQ(Lines(Slurp(final_file), kind), Lines(good, kind)) << kind;
    EXPECT_FALSE(fs::exists(rfd / "OR012345.F6Q.tmp"));
  }
}

}  // namespace
