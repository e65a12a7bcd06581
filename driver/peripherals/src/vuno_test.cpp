#include "orvik/peripherals/vuno.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <vector>

#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/peripherals/parallel_io.h"

namespace orvik::peripherals {
namespace {

using namespace std::string_literals;
using core::FakeTransport;
using core::State;
using Clock = std::chrono::steady_clock;

std::string Last() {
  return std::to_string(State().last_return_code) + " " + State().last_message;
}

// The serial printer (family 5) through the in-process fake line.
class SerialVuno : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetTransport(std::make_unique<FakeTransport>(&record));
    folder.WriteIni("[Sistema]\r\nModeloImp=ORVIK_VUNO_SERIAL\r\nPorta=COM2\r\nBAUD=19200\r\n");
    core::Startup();
  }
  void TearDown() override { core::SetTransport(nullptr); }

  core::TestFolder folder;
  FakeTransport::Record record;
};

TEST_F(SerialVuno, SendsWriteExactlyTheirBytesOnPortOne) {
  const struct {
    const char* title;
    std::function<int()> call;
    std::string bytes;
  } cases[] = {
      {"EnviaBuffer", [] { return EnviaBuffer("Pedido 12\n"); }, "Pedido 12\n"},
      {"Formatado", [] { return EnviaBufferFormatado("X", 1, 0, 0, 1, 1); },
       "\x1BM1\x1B"
       "E\x1BW1X\x1BM0\x1B"
       "F\x1BW0"},
      {"EnviaComandoKeepsZeros",
       [] {
         return EnviaComando(
             "\x1D"
             "V\x00\x00"s);
       },
       "\x1DV\x00\x00"s},
      {"Gaveta", [] { return AcionaGaveta(); }, "\x1Bv2"},
      {"Guilhotina", [] { return AcionaGuilhotina(1); }, "\x1Bw"},
      {"GuilhotinaParcial0", [] { return AcionaGuilhotinaParcial(0); }, "\x1DV\x00"s},
      {"EAN13", [] { return ImprimeCodigoBarras(Barcode::kEan13, "7891234567895"); },
       "\x1Dk\x02"
       "7891234567895\x00"s},
      {"Largura", [] { return AjustaLarguraPapel(576); }, "\x1DW\x40\x02"},
      {"NullTextIsEmpty", [] { return EnviaBuffer(""); }, ""},
  };
  for (const auto& c : cases) {
    record.writes.clear();
    State().last_return_code = -10;
    State().last_message = "antes";
    EXPECT_EQ(c.call(), 1) << c.title;
    ASSERT_EQ(record.writes.size(), 1u) << c.title;
    EXPECT_EQ(record.writes[0], c.bytes) << c.title;
    EXPECT_EQ(Last(), "0 ") << c.title;
    EXPECT_EQ(record.open_handles, 0) << c.title;
  }
  EXPECT_EQ(record.opened.back(), "/dev/ttyS1");
  EXPECT_EQ(record.settings.back().speed, "19200");
  EXPECT_EQ(record.settings.back().parity, core::Parity::kNone);
  EXPECT_FALSE(record.settings.back().cts_flow);
}

TEST_F(SerialVuno, CtsOffIsOfflineAfterTwoSecondsForCtsSendsOnly) {
  record.cts = false;
  const auto start = Clock::now();
  EXPECT_EQ(EnviaBuffer("texto"), 0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));
  EXPECT_EQ(Last(), "-10 Impressora offline ou desligada");
  EXPECT_TRUE(record.writes.empty());
  EXPECT_EQ(record.open_handles, 0);
  // The drawer, the buzzer and raw commands do not wait for the printer.
  EXPECT_EQ(AcionaGaveta(), 1);
  EXPECT_EQ(EnviaComando("\x1B@"), 1);
  EXPECT_EQ(record.writes.size(), 2u);
  EXPECT_EQ(VerificaOnLine(), 0);
  EXPECT_EQ(Last(), "-10 Impressora offline ou desligada");
  record.cts = true;
  EXPECT_EQ(VerificaOnLine(), 1);
}

TEST_F(SerialVuno, WriteCutShortIsOfflineNotSuccess) {
  record.accept_bytes = 3;
  EXPECT_EQ(EnviaBuffer("texto longo"), 0);
  EXPECT_EQ(Last(), "-10 Impressora offline ou desligada");
  EXPECT_EQ(record.open_handles, 0);
  record.accept_bytes = 0;
  EXPECT_EQ(EnviaComando("abc"), 0);
  EXPECT_EQ(State().last_return_code, -10);
}

TEST_F(SerialVuno, PortThatCannotBeOpenedAnswersMinusFive) {
  record.fail_open = true;
  EXPECT_EQ(EnviaBuffer("x"), -5);
  EXPECT_EQ(Last(), "-5 Erro Abertura Porta Serial");
  EXPECT_EQ(VerificaEstadoGaveta(), -5);
  EXPECT_EQ(VerificaOnLine(), -5);
}

TEST_F(SerialVuno, BusyLibraryAnswersOneWithoutSending) {
  State().busy = true;
  EXPECT_EQ(EnviaBuffer("x"), 1);
  EXPECT_EQ(VerificaFimPapel(), 1);
  EXPECT_TRUE(record.opened.empty());
  State().busy = false;
  EXPECT_EQ(EnviaBuffer("x"), 1);
  EXPECT_FALSE(State().busy);
}

TEST_F(SerialVuno, TooLongBarcodeIsRefusedBeforeSending) {
  EXPECT_EQ(ImprimeCodigoBarras(Barcode::kCode128, std::string(300, '1')), 0);
  EXPECT_EQ(State().last_return_code, -1);
  EXPECT_EQ(ImprimeCodigoBarrasPDF417(1, 1, 1, 1, std::string(70000, '1')), 0);
  EXPECT_TRUE(record.opened.empty());
  EXPECT_EQ(ImprimeCodigoBarras(Barcode::kCode128, std::string(255, '1')), 1);
}

TEST_F(SerialVuno, StatusQueriesDecodeTheFirstReplyByte) {
  std::deque<char> replies;
  record.responder = [&](const std::string& sent) -> std::string {
    if (sent.size() != 3 || sent[0] != 0x10 || sent[1] != 0x04 || replies.empty()) return {};
    std::string r(1, replies.front());
    replies.pop_front();
    return r + "lixo";
  };
  const struct {
    const char* title;
    int (*query)();
    char reply;
    std::string request;
    int answer;
  } cases[] = {
      {"DrawerOpen", VerificaEstadoGaveta, 0x04, "\x10\x04\x01", 1},
      {"DrawerClosed", VerificaEstadoGaveta, 0x12, "\x10\x04\x01", 2},
      {"PaperLow", VerificaPoucoPapel, 0x0C, "\x10\x04\x04", 2},
      {"PaperEnough", VerificaPoucoPapel, 0x12, "\x10\x04\x04", 1},
      {"PaperOut", VerificaFimPapel, 0x60, "\x10\x04\x04", 2},
      {"PaperIn", VerificaFimPapel, 0x12, "\x10\x04\x04", 1},
  };
  for (const auto& c : cases) {
    record.writes.clear();
    // A late byte of an earlier exchange waits on the line; it must not answer.
    record.pending = c.reply == 0x12 ? "\xFF" : "\x00"s;
    replies.push_back(c.reply);
    EXPECT_EQ(c.query(), c.answer) << c.title;
    ASSERT_EQ(record.writes.size(), 1u) << c.title;
    EXPECT_EQ(record.writes[0], c.request) << c.title;
    EXPECT_EQ(record.open_handles, 0) << c.title;
    record.pending.clear();
  }
}

TEST_F(SerialVuno, SilentPrinterIsOfflineAfterTwoSeconds) {
  const auto start = Clock::now();
  EXPECT_EQ(VerificaEstadoGaveta(), 0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1900));
  EXPECT_EQ(Last(), "-10 Impressora offline ou desligada");
  EXPECT_EQ(record.open_handles, 0);
}

TEST_F(SerialVuno, BuzzerRepeatsWithItsPauses) {
  const auto start = Clock::now();
  EXPECT_EQ(AcionaBuzLite(3, 20, 100), 1);
  const auto took = Clock::now() - start;
  ASSERT_EQ(record.writes.size(), 3u);
  for (const auto& w : record.writes) EXPECT_EQ(w, "\x1Bv\x32");
  EXPECT_GE(took, std::chrono::milliseconds(3 * 150));
  record.writes.clear();
  EXPECT_EQ(AcionaBuzLite(0, 100, 100), 0);
  EXPECT_EQ(AcionaBuzLite(-4, 100, 100), 0);
  EXPECT_TRUE(record.writes.empty());
  EXPECT_EQ(AcionaBuzLite(1, INT32_MAX, -INT32_MAX), 1);
  EXPECT_EQ(record.writes.at(0), "\x1Bv\xC8");
}

TEST(SerialWriteLimit, ScalesWithLengthAndSpeed) {
  EXPECT_EQ(SerialWriteLimitMs(0, "9600"), 1000);
  EXPECT_EQ(SerialWriteLimitMs(48, "9600"), 1000 + 2 * 50);
  EXPECT_EQ(SerialWriteLimitMs(9600, "9600"), 1000 + 2 * 10000);
  EXPECT_EQ(SerialWriteLimitMs(11520, "115200"), 1000 + 2 * 1000);
  EXPECT_EQ(SerialWriteLimitMs(960, "abc"), 1000 + 2 * 1000);
}

TEST(SerialWriteLimit, LineThatStopsTakingBytesCutsTheWriteShortAtTheLimit) {
  // A pseudo-terminal whose other end reads nothing fills up and then takes no more.
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
  ::close(slave);
  auto transport = core::MakeTermiosTransport();
  const int fd = transport->Open(name);
  ASSERT_GE(fd, 0);
  core::LineSettings settings;
  settings.speed = "115200";
  ASSERT_TRUE(transport->Configure(fd, settings));
  const std::string big(4 << 20, 'x');
  const auto start = Clock::now();
  const long written = transport->WriteWithin(fd, big, 300);
  const auto took = Clock::now() - start;
  EXPECT_LT(written, static_cast<long>(big.size()));
  EXPECT_GE(took, std::chrono::milliseconds(290));
  EXPECT_LT(took, std::chrono::seconds(10));
  transport->Close(fd);
  ::close(master);
}

// The parallel port's three registers, with a printer that takes each byte on the strobe.
class FakeLpt final : public PortIo {
 public:
  struct Record {
    std::vector<std::pair<int, int>> outs;  // address, value
    std::string latched;                    // data bytes taken on a strobe
    int status = 0xD8;
    int ins = 0;
  };
  explicit FakeLpt(Record* r) : r_(r) {}
  void Out(int address, int value) override {
    r_->outs.emplace_back(address, value);
    if (address == 0x27A && (last_control_ & 1) && !(value & 1)) r_->latched += char(data_);
    if (address == 0x278) data_ = value;
    if (address == 0x27A) last_control_ = value;
  }
  int In(int address) override {
    ++r_->ins;
    return address == 0x279 ? r_->status : 0;
  }

 private:
  Record* r_;
  int data_ = 0, last_control_ = 0;
};

class ParallelVuno : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteIni("[Sistema]\r\nModeloImp=ORVIK_VUNO_LPT\r\nPorta=LPT2\r\nEndereco=278\r\n");
    core::Startup();
    SetParallelIo(std::make_unique<FakeLpt>(&lpt));
  }
  void TearDown() override { SetParallelIo(nullptr); }

  core::TestFolder folder;
  FakeLpt::Record lpt;
};

TEST_F(ParallelVuno, EachByteIsStrobedThenWaitedFor) {
  State().last_return_code = -10;
  EXPECT_EQ(EnviaComando("A\0"s), 1);
  const std::vector<std::pair<int, int>> expected = {{0x278, 'A'}, {0x27A, 0xDF}, {0x27A, 0xDE},
                                                     {0x278, 0},   {0x27A, 0xDF}, {0x27A, 0xDE}};
  EXPECT_EQ(lpt.outs, expected);
  EXPECT_EQ(lpt.latched, "A\0"s);
  EXPECT_EQ(lpt.ins, 2);
  // A success clears an earlier failure, as on the serial port.
  EXPECT_EQ(Last(), "0 ");
  EXPECT_EQ(EnviaBufferFormatado("ok", 0, 0, 1, 0, 0), 1);
  EXPECT_EQ(lpt.latched, "A\0\x1B-1ok\x1B-0"s);
}

TEST_F(ParallelVuno, StuckBusyIsOfflineAfterAboutOneSecond) {
  lpt.status = 0x18;
  const auto start = Clock::now();
  EXPECT_EQ(EnviaBuffer("abc"), 0);
  const auto took = Clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(950));
  EXPECT_LT(took, std::chrono::seconds(10));
  EXPECT_EQ(Last(), "-10 Impressora offline ou desligada");
  // The transfer stopped at the first byte.
  EXPECT_EQ(lpt.outs.size(), 3u);
}

TEST_F(ParallelVuno, StatusQueriesReadTheStatusRegister) {
  const struct {
    int status;
    int online, paper_end;
  } cases[] = {{0xD8, 1, 1}, {0x58, 0, 1}, {0xB8, 0, 2}, {0x88, 0, 2}};
  for (const auto& c : cases) {
    lpt.status = c.status;
    State().last_return_code = 0;
    EXPECT_EQ(VerificaOnLine(), c.online) << c.status;
    EXPECT_EQ(State().last_return_code, c.online ? 0 : -10) << c.status;
    EXPECT_EQ(VerificaFimPapel(), c.paper_end) << c.status;
    EXPECT_EQ(VerificaPoucoPapel(), 0);
    EXPECT_EQ(VerificaEstadoGaveta(), 0);
  }
  EXPECT_TRUE(lpt.outs.empty());
}

TEST_F(ParallelVuno, MissingPortLibraryAnswersMinusEleven) {
  // The test program has no libinpout32.so beside it.
  SetParallelIo(nullptr);
  EXPECT_EQ(EnviaBuffer("x"), 0);
  EXPECT_EQ(State().last_return_code, -11);
  EXPECT_EQ(State().last_message, "N\xE3o foi poss\xEDvel carregar INPOUT32.DLL");
  EXPECT_EQ(VerificaOnLine(), 0);
  EXPECT_EQ(State().last_return_code, -11);
}

}  // namespace
}  // namespace orvik::peripherals
