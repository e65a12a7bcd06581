// The reading against the virtual printer on a real pseudo-terminal.
#include "leitura/leitura.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/files.h"
#include "ecf_sim/server.h"
#include "leitura/tdm.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const char* kSerial = "OR050800000000012345";

class Reading : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik_leituraXXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::string error;
    ASSERT_TRUE(server_.open_pty(&error)) << error;
    server_.start();
    WriteIni("");
    file_ = (dir_ / "Leitura.TDM").string();
    Sell(3);
  }
  void TearDown() override {
    server_.stop();
    ::unsetenv("ORVIK_INI");
    fs::remove_all(dir_);
  }
  void WriteIni(const std::string& extra) {
    std::ofstream(dir_ / "ORVIK.INI", std::ios::binary)
        << "[Portas]\r\nCOM3=" << server_.slave_path() << "\r\n"
        << extra;
    ::setenv("ORVIK_INI", (dir_ / "ORVIK.INI").c_str(), 1);
  }
  void Sell(int coupons) {
    std::lock_guard lock(server_.mutex());
    auto run = [&](std::string_view c, std::string_view a = {}) {
      ASSERT_TRUE(printer_.execute(c, a).ok()) << c;
    };
    run("DefineAliquota", "CodAliquotaProgramavel=0 PercentualAliquota=18,00");
    for (int i = 0; i < coupons; ++i) {
      run("AbreCupomFiscal");
      run("VendeItem",
          "AliquotaICMS=true PercentualAliquota=18,00 CodProduto=\"789\" NomeProduto=\"ARROZ\" "
          "PrecoUnitario=12,50 Quantidade=2,000 Unidade=\"UN\"");
      run("PagaCupom", "CodMeioPagamento=-2 Valor=25,00");
      run("EncerraDocumento", "Operador=\"Maria\"");
    }
  }
  static LeituraStatus Status() {
    LeituraStatus s{};
    s.size = sizeof s;
    EXPECT_EQ(DLLReadStatus(&s), 0);
    return s;
  }
  static std::string Text(const LeituraStatus& s) {
    std::string t(s.text, sizeof s.text);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
  }
  // Waits (generously: the machine may be loaded) until the reading has ended.
  static LeituraStatus WaitForEnd() {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    LeituraStatus s = Status();
    while ((s.state == LEITURA_CONECTANDO || s.state == LEITURA_LENDO) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(20ms);
      s = Status();
    }
    return s;
  }
  bool NoFileLeft() const { return !fs::exists(file_) && !fs::exists(file_ + ".tmp"); }

  fs::path dir_;
  std::string file_;
  ecf_sim::Printer printer_;
  ecf_sim::Server server_{printer_};
};

static_assert(sizeof(LeituraStatus) == 148);

TEST_F(Reading, FlagOneReturnsWithTheCompleteFileAndClosesThePort) {
  ASSERT_EQ(DLLReadDefineBaudRate(115200), 0);
  ASSERT_EQ(DLLReadLeMemorias("COM3", file_.c_str(), kSerial, 1), LEITURA_OK);
  const LeituraStatus s = Status();
  EXPECT_EQ(s.state, LEITURA_CONCLUIDA);
  EXPECT_EQ(s.error, 0);
  EXPECT_EQ(s.progress, 100);
  const auto bytes = common::read_file(file_);
  ASSERT_TRUE(bytes);
  const leitura::TdmResult tdm = leitura::ParseTdm(*bytes);
  ASSERT_EQ(tdm.error, leitura::TdmError::kNone);
  EXPECT_EQ(tdm.tdm.serial, kSerial);
  EXPECT_EQ(tdm.tdm.image, ecf_sim::memory_dump(printer_.state()));
  EXPECT_EQ(s.size_read, static_cast<int>(tdm.tdm.image.size()));
  EXPECT_FALSE(fs::exists(file_ + ".tmp"));
  // The port was released: a second reading opens it again.
  EXPECT_EQ(DLLReadLeMemorias("COM3", file_.c_str(), kSerial, 1), LEITURA_OK);
}

TEST_F(Reading, FlagZeroReadsInTheBackgroundAndASecondReadingIsBusy) {
  // Slow replies keep the reading running while the test looks at it.
  server_.inject(ecf_sim::Fault{ecf_sim::Fault::kSlow, 0, 2, 150, {}}, 4);
  ASSERT_EQ(DLLReadLeMemorias("COM3", file_.c_str(), kSerial, 0), LEITURA_OK);
  EXPECT_EQ(DLLReadLeMemorias("COM3", file_.c_str(), kSerial, 0), LEITURA_ERRO_OCUPADA);
  const int state = Status().state;
  EXPECT_TRUE(state == LEITURA_CONECTANDO || state == LEITURA_LENDO) << state;
  const LeituraStatus s = WaitForEnd();
  EXPECT_EQ(s.state, LEITURA_CONCLUIDA) << Text(s);
  EXPECT_EQ(s.progress, 100);
  EXPECT_TRUE(fs::exists(file_));
}

TEST_F(Reading, FailuresLeaveNoFileAndAFailureState) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    const char* port;
    const char* serial;
    int code;
  };
  const Case cases[] = {
      {"wrong serial", [] {}, "COM3", "OR0508XXXXXXXXXXXXXX", LEITURA_ERRO_SERIE},
      {"silent printer",
       [&] {
         server_.inject(ecf_sim::Fault{ecf_sim::Fault::kSilence, 0, 2, 0, {}}, 3);
       },
       "COM3", kSerial, LEITURA_ERRO_SEM_RESPOSTA},
      {"dump refused",
       [&] {
         // The serial check passes untouched (a pause of 0), the dump is refused.
         server_.inject(ecf_sim::Fault{ecf_sim::Fault::kSlow, 0, 2, 0, {}}, 1);
         server_.inject(ecf_sim::Fault{ecf_sim::Fault::kError, 8116, 2, 0, {}}, 1);
       },
       "COM3", kSerial, LEITURA_ERRO_IMPRESSORA},
      {"no such port", [] {}, "COM9", kSerial, LEITURA_ERRO_PORTA},
  };
  WriteIni("[Portas]\r\nCOM9=" + (dir_ / "nothing").string() +
           "\r\n[Leitura]\r\nTempoResposta=1\r\n");
  for (const auto& c : cases) {
    server_.clear_faults();
    // A file of an earlier reading must not survive a failed one.
    std::ofstream(file_) << "old";
    c.arrange();
    EXPECT_EQ(DLLReadLeMemorias(c.port, file_.c_str(), c.serial, 1), c.code) << c.name;
    const LeituraStatus s = Status();
    EXPECT_EQ(s.state, LEITURA_FALHOU) << c.name;
    EXPECT_EQ(s.error, c.code) << c.name << ": " << Text(s);
    EXPECT_FALSE(Text(s).empty()) << c.name;
    EXPECT_TRUE(NoFileLeft()) << c.name;
  }
}

TEST_F(Reading, CancelMidwayEndsInAFailureAndLeavesNoFile) {
  printer_.set_chunk_size(64);  // many chunks, each slow
  server_.inject(ecf_sim::Fault{ecf_sim::Fault::kSlow, 0, 2, 100, {}}, 1000);
  ASSERT_EQ(DLLReadLeMemorias("COM3", file_.c_str(), kSerial, 0), LEITURA_OK);
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (Status().state != LEITURA_LENDO && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(10ms);
  ASSERT_EQ(Status().state, LEITURA_LENDO);
  EXPECT_EQ(DLLReadCancelaLeitura(), 0);
  const LeituraStatus s = WaitForEnd();
  EXPECT_EQ(s.state, LEITURA_FALHOU);
  EXPECT_EQ(s.error, LEITURA_ERRO_CANCELADA);
  EXPECT_TRUE(NoFileLeft());
  server_.clear_faults();
}

TEST(ReadingArguments, RefusedAtOnce) {
  EXPECT_EQ(DLLReadLeMemorias(nullptr, "x", "y", 1), LEITURA_ERRO_ARGUMENTOS);
  EXPECT_EQ(DLLReadLeMemorias("COM1", "", "y", 1), LEITURA_ERRO_ARGUMENTOS);
  EXPECT_EQ(DLLReadDefineBaudRate(12345), 1);
  LeituraStatus bad{};
  bad.size = 100;
  EXPECT_EQ(DLLReadStatus(&bad), 1);
}

}  // namespace
