// The driver on a full disk: the till's folder (Path, and the current folder where the
// capture goes) and the working folder RFDTEMP/ share one small filesystem that fills up.
// What the point-of-sale program sees is an answer other than success with the driver's
// code and message; what stays on disk is the earlier file whole (RETORNO.TXT aside, which
// is removed rather than left mixed), never a half-written one; once there is room the
// same call works.
#include <errno.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "scratch_mounts.h"

namespace {

namespace fs = std::filesystem;
using fault_survival::Filler;
using fault_survival::Lines;
using fault_survival::Slurp;
using orvik_testing::DriverOverPty;

// Names of the files in folder that a writer left half-done (its temporary names).
std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == ".tmp") names.push_back(e.path().filename().string());
  return names;
}

class DriverDiskFull : public DriverOverPty {
 protected:
  // Puts the scratch folder on a small memory filesystem of this test process alone (each
  // case runs in its own process). False where the system allows no mount namespace.
  bool SmallDisk(const std::string& size = "512k") {
    if (!fault_survival::SmallDisk(dir, size)) return false;
    mounted_ = true;
    fs::current_path(dir);  // into the new filesystem
    return true;
  }
  // The working folder RFDTEMP/ (beside the test program) on the same small filesystem.
  bool WorkingFolderOnSmallDisk() {
    working_ = fs::read_symlink("/proc/self/exe").parent_path() / "RFDTEMP";
    if (!fault_survival::Bind(dir / "rfdtemp", working_)) return false;
    working_mounted_ = true;
    return true;
  }
  void TearDown() override {
    if (working_mounted_) ::umount2(working_.c_str(), MNT_DETACH);
    if (mounted_) {
      fs::current_path("/");
      ::umount2(dir.c_str(), MNT_DETACH);
    }
    DriverOverPty::TearDown();
  }

  // A day on the printer: one coupon of `items` items, closed.
  void SellACoupon(int items) {
    run("AbreCupomFiscal", "");
    for (int i = 1; i <= items; ++i)
      run("VendeItem", "CodAliquota=-2 CodProduto=\"" + std::to_string(i) +
                           "\" NomeProduto=\"ARROZ " + std::to_string(i) +
                           "\" PrecoUnitario=5,00 Quantidade=1,000 Unidade=\"UN\"");
    run("PagaCupom", "CodMeioPagamento=-2 Valor=" + std::to_string(5 * items) + ",00");
    run("EncerraDocumento", "");
  }

  fs::path working_;
  bool mounted_ = false, working_mounted_ = false;
};

TEST_F(DriverDiskFull, AQueryWhoseAnswerCannotBeWrittenFailsAndLeavesNoMixedFile) {
  if (!SmallDisk()) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  Load();
  Filler filler(dir);
  filler.Fill();
  char serial[64] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroSerie)(serial), 0);
  EXPECT_EQ(last(), "-8 Erro na gravacao de RETORNO.TXT");
  EXPECT_FALSE(fs::exists(dir / "RETORNO.TXT")) << Slurp(dir / "RETORNO.TXT");

  filler.FreeAll();
  EXPECT_EQ(EXPORT(Orvik_NumeroSerie)(serial), 1) << last();
  EXPECT_EQ(last_code(), 0);
  EXPECT_EQ(Slurp(dir / "RETORNO.TXT"), std::string(serial) + "\r\n");
}

TEST_F(DriverDiskFull, ADownloadWhoseCaptureCannotBeWrittenFailsAndLeavesNoFile) {
  if (!SmallDisk()) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  Load();
  SellACoupon(1);  // so that the download has something to write
  Filler filler(dir);
  filler.Fill();
  const fs::path file = dir / "mfd.txt";
  EXPECT_NE(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1);
  EXPECT_EQ(last_code(), -8) << last();
  EXPECT_FALSE(fs::exists(file));

  filler.FreeAll();
  EXPECT_EQ(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1) << last();
  EXPECT_NE(Slurp(file).find("ARROZ"), std::string::npos);
}

// The disk is full and given back one page at a time, so that the download fails in turn
// at each of its writes (the capture, its copy to the file asked for): every failure keeps
// the earlier download whole, and the first run with room enough writes the new one.
TEST_F(DriverDiskFull, ADownloadFailingAtAnyPointKeepsTheEarlierDownload) {
  if (!SmallDisk()) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  Load();
  SellACoupon(1);
  const fs::path file = dir / "mfd.txt";
  ASSERT_EQ(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1) << last();
  const std::string good = Slurp(file);
  SellACoupon(300);  // the next download is several pages longer

  Filler filler(dir);
  filler.Fill();
  std::set<std::string> messages;
  while (EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", "") != 1) {
    messages.insert(last());
    EXPECT_EQ(last_code(), -8) << last();
    ASSERT_EQ(Slurp(file), good) << "with " << filler.held() << " pages held: " << last();
    EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
    ASSERT_TRUE(filler.FreeOnePage()) << "still failing with all the room back: " << last();
  }
  // Both writes were failed: the capture and the copy to the file asked for.
  EXPECT_EQ(messages, (std::set<std::string>{"-8 Erro na gravacao de IMPR.TXT",
                                             "-8 Erro no Arquivo Destino"}));
  const std::string now = Slurp(file);
  EXPECT_NE(now.find("ARROZ 300"), std::string::npos);
  EXPECT_EQ(now.find(good.substr(0, good.find("ARROZ 1"))), 0u) << "not a whole download";
}

// Orvik_FormatoDadosMFD writes its text or rich-text document over an earlier one: on a
// full disk it answers -8 and the earlier document stays as it was.
TEST_F(DriverDiskFull, ACaptureConversionFailingAtAnyPointKeepsTheEarlierDocument) {
  if (!SmallDisk("1m")) GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  Load();
  // A capture as the printer sends it: text lines with a bold run.
  std::string capture;
  for (int i = 0; i < 400; ++i)
    capture += "ITEM " + std::to_string(i) +
               " ARROZ\x1b"
               "E1 5,00\x1b"
               "E0\n";
  std::ofstream(dir / "captura.txt", std::ios::binary) << capture;
  std::ofstream(dir / "pequena.txt", std::ios::binary) << "CUPOM\n";

  for (const char* format : {"0", "1"}) {
    SCOPED_TRACE(std::string("format ") + format);
    const fs::path target = dir / (std::string("documento") + format);
    ASSERT_EQ(EXPORT(Orvik_FormatoDadosMFD)("pequena.txt", target.c_str(), format, "", "", "", ""),
              1)
        << last();
    const std::string good = Slurp(target);
    ASSERT_NE(good.find("CUPOM"), std::string::npos);

    Filler filler(dir);
    filler.Fill();
    int failures = 0;
    while (EXPORT(Orvik_FormatoDadosMFD)("captura.txt", target.c_str(), format, "", "", "", "") !=
           1) {
      ++failures;
      EXPECT_EQ(last(), "-8 Erro no Arquivo Destino");
      ASSERT_EQ(Slurp(target), good) << "with " << filler.held() << " pages held";
      EXPECT_EQ(Leftovers(dir), std::vector<std::string>{});
      ASSERT_TRUE(filler.FreeOnePage()) << "still failing with all the room back";
    }
    EXPECT_GT(failures, 1);
    EXPECT_NE(Slurp(target).find("ITEM 399 ARROZ"), std::string::npos);
    filler.FreeAll();
  }
}

// An RFD conversion needs room for the tape's capture and text, the record store, the
// part files, RFD.DAT and the final file in RFDTEMP/ and in PathRFD. Given back one page at
// a time it fails at each of those writes in turn, each time with code -8 and a message
// naming the file, keeping the earlier final file whole and leaving no temporary file; the
// first run with room enough writes the day again.
TEST_F(DriverDiskFull, AnRfdConversionFailingAtAnyPointKeepsTheEarlierFile) {
  if (!SmallDisk("2m") || !WorkingFolderOnSmallDisk())
    GTEST_SKIP() << "no mount namespace here: " << strerror(errno);
  const fs::path rfd = dir / "rfd";
  Load("PathRFD=" + rfd.string() + "/\r\n");
  ASSERT_EQ(EXPORT(RFD_ApagaArquivos)(), 1);
  SellACoupon(3);
  SellACoupon(2);
  run("EmiteReducaoZ", "");
  // 15/06/2026 gives the DMA code .F6Q; the printer's serial ends in 012345.
  const fs::path final_file = rfd / "OR012345.F6Q";
  ASSERT_EQ(EXPORT(RFD_ConvertedaMFD)("1"), 1) << last();
  const std::string good = Slurp(final_file);
  ASSERT_NE(good.find("E15"), std::string::npos);

  Filler filler(dir);
  filler.Fill();
  std::set<std::string> messages;
  while (EXPORT(RFD_ConvertedaMFD)("1") != 1) {
    const std::string why = last();
    messages.insert(why);
    EXPECT_EQ(last_code(), -8) << why;
    EXPECT_NE(why.find("Erro"), std::string::npos) << why;
    ASSERT_EQ(Slurp(final_file), good) << "with " << filler.held() << " pages held: " << why;
    EXPECT_EQ(Leftovers(rfd), std::vector<std::string>{}) << why;
    EXPECT_EQ(Leftovers(working_), std::vector<std::string>{}) << why;
    ASSERT_TRUE(filler.FreeOnePage()) << "still failing with all the room back: " << why;
  }
  // Every reading the printer made for a conversion is on its tape, so the new file has
  // more E10 lines and other counters; the day's documents are the same.
  const std::string now = Slurp(final_file);
  for (const char* kind : {"E12", "E14", "E15", "E21"})
    EXPECT_EQ(Lines(now, kind), Lines(good, kind)) << kind;
  // The sweep went through the record store and the part files, not only the capture.
  std::string all;
  for (const auto& m : messages) all += m + "\n";
  EXPECT_TRUE(std::regex_search(all, std::regex("RFDTEMP/E[12][0-9]\\.DAT: "))) << all;
  EXPECT_TRUE(std::regex_search(all, std::regex("RFDTEMP/RFD[0-9]{6}\\.F6Q"))) << all;
}

}  // namespace
