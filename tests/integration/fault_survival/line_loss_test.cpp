// The serial line goes away in the middle of a command: the printer's cable is pulled or
// its power cut while it answers. What the till's operator sees is the export failing with
// the communication error within its time-out, never a hang; the driver lets go of the
// port, and once the printer is back the next command works. Nothing is left on disk that
// claims to be a complete download.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "ecf_sim/frame.h"
#include "ecf_sim/printer.h"
#include "orvik/orvik.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The virtual printer served by hand, so that a test can pull the line at an exact point:
// on the `cut_at`-th request for `cut_command` it writes half of its reply and closes the
// line (both sides of the pseudo-terminal pair it owns), as an unplugged cable would.
class PullablePrinter {
 public:
  explicit PullablePrinter(ecf_sim::Printer& printer) : printer_(printer) {}
  ~PullablePrinter() { Stop(); }

  // A new line, with `link` pointing at its slave, as a device node that stays put.
  void Plug(const fs::path& link, const std::string& cut_command = "", int cut_at = 0) {
    Stop();
    int slave = -1;
    ASSERT_EQ(::openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    slave_ = slave;
    fs::remove(link);
    fs::create_symlink(::ttyname(slave), link);
    slave_name_ = ::ttyname(slave);
    cut_command_ = cut_command;
    cut_at_ = cut_at;
    seen_ = 0;
    stop_ = false;
    pulled_ = false;
    thread_ = std::thread([this] { Serve(); });
  }

  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    Pull();
  }

  bool pulled() const { return pulled_; }
  const std::string& slave_name() const { return slave_name_; }

 private:
  void Pull() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
  }

  void Serve() {
    ecf_sim::FrameAssembler assembler;
    char buf[4096];
    while (!stop_ && master_ >= 0) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) continue;
      assembler.feed(std::string_view(buf, static_cast<size_t>(n)));
      while (auto request = assembler.next()) {
        const ecf_sim::Reply reply = printer_.execute(request->command, request->params);
        const std::string frame =
            ecf_sim::build_reply(request->packet, std::to_string(reply.code), reply.results);
        if (request->command == cut_command_ && ++seen_ == cut_at_) {
          const std::string half = frame.substr(0, frame.size() / 2);
          (void)!::write(master_, half.data(), half.size());
          ::tcdrain(master_);
          Pull();
          pulled_ = true;
          return;
        }
        (void)!::write(master_, frame.data(), frame.size());
      }
    }
  }

  ecf_sim::Printer& printer_;
  int master_ = -1, slave_ = -1;
  std::string slave_name_;
  std::string cut_command_;
  int cut_at_ = 0, seen_ = 0;
  std::atomic<bool> stop_{false}, pulled_{false};
  std::thread thread_;
};

class LineLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    printer.set_clock(ecf_sim::DateTime{{2026, 6, 15}, 9, 0, 0});
    char pattern[] = "/tmp/line-loss-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    old_cwd = fs::current_path();
    fs::current_path(dir);
    link = dir / "ttyECF";
  }
  void TearDown() override {
    device.Stop();
    if (!old_cwd.empty()) fs::current_path(old_cwd);
    fs::remove_all(dir);
  }

  void Load() {
    std::ofstream(dir / "ORVIK.INI", std::ios::binary)
        << "[Sistema]\r\nPorta=COM1\r\nPath=" << dir.string()
        << "/\r\nEspacamentoDocumentos=0\r\nTimeOutComandos=" << kTimeout
        << "\r\nTimeOutRedZ=" << kTimeout << "\r\n[Portas]\r\nCOM1=" << link.string() << "\r\n";
    setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
    handle = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
  }

  template <class F>
  F* fn(const char* name) {
    void* s = dlsym(handle, name);
    EXPECT_NE(s, nullptr) << name;
    return reinterpret_cast<F*>(s);
  }
#define EXPORT(name) fn<decltype(::name)>(#name)

  int LastCode() {
    int code = 0;
    char message[1024] = "";
    EXPORT(Orvik_RetornoImpressora)(&code, message);
    return code;
  }

  // Whether this process still holds a descriptor on the given terminal.
  static bool HoldsTerminal(const std::string& name) {
    for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
      std::error_code ec;
      if (fs::read_symlink(e.path(), ec).string() == name) return true;
    }
    return false;
  }

  int ReadCoo(char* answer) {
    return EXPORT(Orvik_ExecutaLeitura)("LeInteiro", "NomeInteiro=\"COO\"", answer);
  }

  static constexpr int kTimeout = 2;
  static constexpr int kReadingTimeout = 40;
  ecf_sim::Printer printer;
  PullablePrinter device{printer};
  fs::path dir, old_cwd, link;
  void* handle = nullptr;
};

TEST_F(LineLoss, PulledDuringAReplyFailsWithinTheTimeOutAndTheNextCommandWorks) {
  device.Plug(link, "LeInteiro", 1);
  Load();
  const std::string first_line = device.slave_name();
  char answer[256] = "";
  const auto start = Clock::now();
  EXPECT_EQ(ReadCoo(answer), 0);
  const auto waited = Clock::now() - start;
  EXPECT_TRUE(device.pulled());
  EXPECT_EQ(LastCode(), -1);
  // The time-out bounds the wait; the margin only tells a hang from a slow machine.
  EXPECT_LT(waited, std::chrono::seconds(kTimeout + 20));
  EXPECT_FALSE(HoldsTerminal(first_line)) << "the port is still open after the failure";

  device.Plug(link);  // the printer is back, on the same device name
  answer[0] = '\0';
  EXPECT_EQ(ReadCoo(answer), 1);
  EXPECT_EQ(LastCode(), 0);
  EXPECT_STRNE(answer, "");
}

TEST_F(LineLoss, PulledDuringADownloadFailsLeavesNoFileAndTheNextDownloadWorks) {
  // A day with a coupon on the detail tape, so the download sends several chunks.
  for (auto [command, params] : std::initializer_list<std::pair<const char*, const char*>>{
           {"AbreCupomFiscal", ""},
           {"VendeItem",
            "CodAliquota=-2 CodProduto=\"1\" NomeProduto=\"ARROZ\" PrecoUnitario=5,00 "
            "Quantidade=1,000 Unidade=\"UN\""},
           {"PagaCupom", "CodMeioPagamento=-2 Valor=5,00"},
           {"EncerraDocumento", ""}}) {
    ASSERT_TRUE(printer.execute(command, params).ok()) << command;
  }
  device.Plug(link, "LeImpressao", 1);
  Load();
  const std::string first_line = device.slave_name();
  const fs::path file = dir / "mfd.txt";
  const auto start = Clock::now();
  EXPECT_NE(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1);
  const auto waited = Clock::now() - start;
  EXPECT_TRUE(device.pulled());
  EXPECT_NE(LastCode(), 0);
  // A chunk of a reading has its own time-out of 40 s, whatever the configuration says.
  EXPECT_LT(waited, std::chrono::seconds(kReadingTimeout + 20));
  EXPECT_FALSE(fs::exists(file)) << "a cut download must not look like a complete one";
  EXPECT_FALSE(HoldsTerminal(first_line));

  device.Plug(link);
  EXPECT_EQ(EXPORT(Orvik_DownloadMFD)(file.c_str(), "0", "", "", ""), 1);
  EXPECT_EQ(LastCode(), 0);
  EXPECT_GT(fs::file_size(file), 0u);
}

}  // namespace
