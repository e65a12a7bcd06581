#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "common/text1252.h"
#include "orvik/orvik.h"
#include "qvx_sim/server.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

qvx_sim::Fault fault(qvx_sim::Fault::Kind kind, int code = 0) {
  qvx_sim::Fault f;
  f.kind = kind;
  f.code = code;
  return f;
}

std::string U(const char* utf8) {
  return common::utf8_to_cp1252(utf8);
}

std::string read_text(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A scratch folder as the current directory, ORVIK.INI in it, and liborvik loaded anew.
class QvxDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qvx-driver-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    old_cwd = fs::current_path();
    fs::current_path(dir);
  }
  void TearDown() override {
    if (handle) dlclose(handle);
    if (!old_cwd.empty()) fs::current_path(old_cwd);
    fs::remove_all(dir);
  }

  void Load(const std::string& model, const std::string& device, const std::string& more = "") {
    std::ofstream(dir / "ORVIK.INI", std::ios::binary)
        << "[Sistema]\r\nModeloImp=" << model << "\r\nPorta=COM1\r\nPath=" << dir.string()
        << "/\r\n"
        << more << "[Portas]\r\nCOM1=" << device << "\r\n";
    setenv("ORVIK_INI", (dir / "ORVIK.INI").c_str(), 1);
    handle = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
  }

  template <class F>
  F* fn(const char* name) {
    void* s = handle ? dlsym(handle, name) : nullptr;
    EXPECT_NE(s, nullptr) << name;
    return reinterpret_cast<F*>(s);
  }
#define EXPORT(name) fn<decltype(::name)>(#name)

  std::pair<int, std::string> last() {
    int code = 0;
    char message[1024] = "";
    EXPORT(Orvik_RetornoImpressora)(&code, message);
    return {code, message};
  }
  // A text query into a blank-filled buffer.
  template <class F>
  std::string ask(F* query, int width = 400) {
    std::string buffer(static_cast<size_t>(width), ' ');
    buffer.resize(2048, '\0');
    query(buffer.data());
    return buffer.c_str();
  }

  fs::path dir, old_cwd;
  void* handle = nullptr;
};

// The orvik-qvx-sim program with its state and tape in the test's folder.
class Program {
 public:
  Program(const std::string& model, const fs::path& dir,
          const std::vector<std::string>& extra = {}) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string state = (dir / "qvx.state").string(), tape = (dir / "tape.txt").string();
    std::vector<std::string> args = {QVX_SIM_PATH, "--model", model,
                                     "--state",    state,     "--tape",
                                     tape,         "--clock", "2026-06-15 09:00:00"};
    std::vector<char*> argv;
    args.insert(args.end(), extra.begin(), extra.end());
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, QVX_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    // The first line is the slave's path.
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') slave_ += c;
    close(out[0]);
  }
  ~Program() { stop(); }
  // SIGTERM; the exit status.
  int stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& slave() const { return slave_; }

 private:
  pid_t pid_ = -1;
  std::string slave_;
};

class FullCoupon : public QvxDriver, public ::testing::WithParamInterface<const char*> {};

TEST_P(FullCoupon, SoldThroughTheExportsAndReadBack) {
  const std::string model = GetParam();
  const bool is820 = model == "820";
  Program program(model, dir);
  ASSERT_FALSE(program.slave().empty());
  Load("ORVIK_" + model, program.slave(), "DINHEIRO=0\r\n");

  EXPECT_EQ(EXPORT(Orvik_AbreCupom)("12345678909"), 1) << last().second;
  // 2 x 3,50 rate 0 (18%); 1,250 kg x 10,00 (price with 3 decimals on the 820) rate 3;
  // 1 x 5,00 untaxed with 0,50 off; then the second item cancelled.
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("7891", "CAFE", "0", "UN", "2000", 2, "350", "$", "0"), 1)
      << last().second;
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("12", "QUEIJO", "3", "KG", "1250", is820 ? 3 : 2,
                                    is820 ? "10000" : "1000", "$", "0"),
            1)
      << last().second;
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("5", "SACOLA", "FF", "UN", "1000", 2, "500", "$", "50"), 1)
      << last().second;
  EXPECT_EQ(EXPORT(Orvik_CancelaItemGenerico)("2"), 1) << last().second;

  char subtotal[32] = "";
  EXPECT_EQ(EXPORT(Orvik_SubTotal)(subtotal), 1);
  EXPECT_STREQ(subtotal, "00000000001150");  // 7,00 + 4,50

  EXPECT_EQ(EXPORT(Orvik_IniciaFechamentoCupom)("D", "$", "0,50"), 1) << last().second;
  EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("1", "20,00"), 1) << last().second;
  EXPECT_EQ(EXPORT(Orvik_TerminaFechamentoCupom)("Obrigado pela preferencia"), 1) << last().second;
  EXPECT_EQ(last().first, 0);

  char coo[16] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(coo), 1);
  EXPECT_STREQ(coo, "000001");
  char gt[32] = "";
  EXPECT_EQ(EXPORT(Orvik_GrandeTotal)(gt), 1);
  EXPECT_STREQ(gt, "000000000000001100");  // 11,50 - 0,50
  char gross[32] = "", discounts[32] = "", cancelled[32] = "";
  EXPECT_EQ(EXPORT(Orvik_VendaBruta)(gross), 1);
  EXPECT_EQ(EXPORT(Orvik_Descontos)(discounts), 1);
  EXPECT_EQ(EXPORT(Orvik_Cancelamentos)(cancelled), 1);
  EXPECT_STREQ(gross, "00000000002450");      // 7,00 + 12,50 + 5,00
  EXPECT_STREQ(discounts, "00000000000100");  // 0,50 on the item, 0,50 on the subtotal
  EXPECT_STREQ(cancelled, "00000000001250");
  std::string net(14, ' ');
  EXPECT_EQ(EXPORT(Orvik_VendaLiquida)(net.data()), 1);
  EXPECT_EQ(net, "00000000001100");

  EXPECT_EQ(ask(EXPORT(Orvik_VerificaFormasPagamento)).substr(0, 48),
            "DINHEIRO        CHEQUE          CARTAO          ");
  std::string rates = "T1800,T1200,T0700,S0500";
  for (int i = 4; i < 16; ++i) rates += ",-0000";
  EXPECT_EQ(ask(EXPORT(Orvik_RetornoAliquotas)), rates);
  int flags = -1;
  EXPECT_EQ(EXPORT(Orvik_FlagsFiscais)(&flags), 1);
  EXPECT_EQ(flags, 32);  // no coupon open, the last document a coupon
  EXPECT_EQ(ask(EXPORT(Orvik_VerificaModoOperacao)), "1");
  char date[16] = "", time[16] = "";
  EXPECT_EQ(EXPORT(Orvik_DataHoraImpressora)(date, time), 1);
  EXPECT_STREQ(date, "150626");

  EXPECT_EQ(program.stop(), 0);
  const std::string state = read_text(dir / "qvx.state");
  EXPECT_NE(state.find("grand_total=1100\n"), std::string::npos) << state;
  EXPECT_NE(state.find(std::string("model=") + model + "\n"), std::string::npos);
  const std::string tape = read_text(dir / "tape.txt");
  EXPECT_NE(tape.find("Obrigado pela preferencia"), std::string::npos) << tape;
  EXPECT_NE(tape.find("TROCO 9,00"), std::string::npos) << tape;
  if (is820)
    EXPECT_NE(tape.find("12345678909"), std::string::npos);
  else
    EXPECT_EQ(tape.find("12345678909"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Models, FullCoupon, ::testing::Values("610", "820"));

TEST_F(QvxDriver, TheProgramWritesORVIKINIAndKeepsAnUnreadableStateUntouched) {
  {
    Program program("610", dir, {"--ini", (dir / "ORVIK.INI").string()});
    ASSERT_FALSE(program.slave().empty());
    const std::string ini = read_text(dir / "ORVIK.INI");
    EXPECT_NE(ini.find("ModeloImp=ORVIK_610"), std::string::npos) << ini;
    EXPECT_NE(ini.find("COM1=" + program.slave()), std::string::npos) << ini;
    EXPECT_EQ(program.stop(), 0);
  }
  std::ofstream(dir / "qvx.state") << "not a state\n";
  Program broken("610", dir);
  EXPECT_TRUE(broken.slave().empty());
  EXPECT_EQ(broken.stop(), 1);
  EXPECT_EQ(read_text(dir / "qvx.state"), "not a state\n");
  // A state of the other model is refused too.
  fs::remove(dir / "qvx.state");
  { Program first("820", dir); }
  Program other("610", dir);
  EXPECT_EQ(other.stop(), 1);
}

// The printer served in this process, so faults can be queued and its state read.
class InProcess : public QvxDriver {
 protected:
  void SetUp() override {
    QvxDriver::SetUp();
    std::string error;
    ASSERT_TRUE(server.open_pty(&error)) << error;
    server.start();
    Load("ORVIK_820", server.slave_path());
  }
  void TearDown() override {
    server.stop();
    QvxDriver::TearDown();
  }
  qvx_sim::Printer printer{qvx_sim::Model::k820};
  qvx_sim::Server server{printer};
};

TEST_F(InProcess, RepliesInPiecesWithNoiseOrTwoFramesAreRead) {
  using F = qvx_sim::Fault;
  const F faults[] = {
      {F::kSplit, 0, 4, 30, {}}, {F::kNoise, 0, 2, 0, "\x15\x02zz\x03"},
      {F::kDouble, 0, 2, 0, {}}, {F::kTrailing, 0, 2, 0, "\x15\x15"},
      {F::kSlow, 0, 2, 300, {}},
  };
  for (const F& f : faults) {
    server.inject(f);
    char coo[16] = "";
    EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(coo), 1) << static_cast<int>(f.kind) << last().second;
    EXPECT_STREQ(coo, "000000");
    EXPECT_EQ(last().first, 0);
  }
  EXPECT_EQ(server.wrong_line(), 0u);  // the driver's line is 9600 with CTS flow
}

TEST_F(InProcess, PrinterErrorsAndUnreadableRepliesLeaveTheirOwnCodes) {
  server.inject(fault(qvx_sim::Fault::kError, 22));
  EXPECT_EQ(EXPORT(Orvik_CancelaItemGenerico)("1"), 0);
  EXPECT_EQ(last(), std::make_pair(22, U("Necessário abrir cupom fiscal")));
  // A short reply is a communication failure, never the previous code.
  server.inject(fault(qvx_sim::Fault::kShort));
  EXPECT_EQ(EXPORT(Orvik_LeituraX)(), 0);
  EXPECT_EQ(last(), std::make_pair(-1, U("Falha de comunicação")));
  // A megabyte of noise ends as a failure too, within the time-out.
  server.inject({qvx_sim::Fault::kNoise, 0, 2, 0, std::string(1 << 20, 'x')});
  char coo[16] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(coo), 0);
  EXPECT_EQ(last().first, -1);
  EXPECT_STREQ(coo, "000000");
  // Afterwards the line works as before.
  EXPECT_EQ(EXPORT(Orvik_LeituraX)(), 1);
}

TEST_F(InProcess, AuthenticationGoesOnAfterError44) {
  {
    std::lock_guard lock(server.mutex());
    printer.state().doc = qvx_sim::Doc::kAuthentication;  // left pending by an earlier call
  }
  EXPECT_EQ(EXPORT(Orvik_Autenticacao)(), 1) << last().second;
  std::lock_guard lock(server.mutex());
  EXPECT_EQ(printer.state().doc, qvx_sim::Doc::kFree);
  EXPECT_EQ(printer.tape().back().rfind("AUT ", 0), 0u);
}

TEST_F(InProcess, SupplyAndWithdrawalReachTheirRegisters) {
  EXPECT_EQ(EXPORT(Orvik_Suprimento)("100,00", "0"), 1) << last().second;
  EXPECT_EQ(EXPORT(Orvik_Sangria)("30,00"), 1) << last().second;
  {
    std::lock_guard lock(server.mutex());
    EXPECT_EQ(printer.state().nonfiscal[0], 10000);
    EXPECT_EQ(printer.state().nonfiscal[1], 3000);
    EXPECT_EQ(printer.state().doc, qvx_sim::Doc::kFree);
  }
  // Refused at the register: the receipt is closed all the same and the first failure is
  // the answer (the opening passes, with a pause of nothing, the register is refused).
  server.inject(fault(qvx_sim::Fault::kSlow));
  server.inject(fault(qvx_sim::Fault::kError, 57));
  EXPECT_EQ(EXPORT(Orvik_Suprimento)("1,00", "0"), 0);
  EXPECT_EQ(last(), std::make_pair(57, U("Registrador não programado ou troco já realizado")));
  std::lock_guard lock(server.mutex());
  EXPECT_EQ(printer.state().doc, qvx_sim::Doc::kFree);
  EXPECT_EQ(printer.state().nonfiscal[0], 10000);
}

TEST_F(InProcess, BadInputNeverReachesThePrinter) {
  const auto before = server.served();
  EXPECT_EQ(EXPORT(Orvik_VendeItem)(nullptr, nullptr, nullptr, nullptr, nullptr, 0, nullptr,
                                    nullptr, nullptr),
            0);
  EXPECT_EQ(last(), std::make_pair(-6, U("Alíquota inválida")));
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "A", "FF", "UN", "12345678", 2, "1", "$", "0"), 0);
  EXPECT_EQ(last(), std::make_pair(-6, U("Quantidade inválida")));
  EXPECT_EQ(EXPORT(Orvik_EfetuaFormaPagamento)("1", "99999999999999999"), 0);
  EXPECT_EQ(last().first, -6);
  EXPECT_EQ(server.served(), before);
  // Control and 8-bit bytes in a text: blanks for the first, kept for the second.
  EXPECT_EQ(EXPORT(Orvik_AbreCupom)("a\x01\xe7"), 1) << last().second;
  std::lock_guard lock(server.mutex());
  EXPECT_EQ(printer.state().consumer_id, "a \xe7");
}

// A read waits its ten seconds (an X would wait sixty).
TEST_F(InProcess, SilenceIsATimeOut) {
  server.inject(fault(qvx_sim::Fault::kSilence));
  const auto start = std::chrono::steady_clock::now();
  char coo[16] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroCupom)(coo), 0);
  EXPECT_STREQ(coo, "000000");
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(last(), std::make_pair(-1, U("Falha de comunicação")));
}

TEST_F(QvxDriver, APortThatCannotOpenFailsAtOnce) {
  Load("ORVIK_610", (dir / "no-such-device").string());
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(EXPORT(Orvik_LeituraX)(), -5);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(last(), std::make_pair(-5, std::string("Erro Abertura Porta Serial")));
}

TEST_F(InProcess, ReportsVoucherDrawerAndTheDaysClose) {
  {
    std::lock_guard lock(server.mutex());
    printer.set_clock({2026, 6, 15, 18, 0, 0});
  }
  EXPECT_EQ(EXPORT(Orvik_AbreRelatorioGerencial)(), 1) << last().second;
  EXPECT_EQ(EXPORT(Orvik_RelatorioGerencial)("Fechamento do caixa 1"), 1) << last().second;
  EXPECT_EQ(EXPORT(Orvik_FechaRelatorioGerencial)(), 1) << last().second;
  // A voucher follows a coupon.
  EXPECT_EQ(EXPORT(Orvik_AbreCupom)(""), 1);
  EXPECT_EQ(EXPORT(Orvik_VendeItem)("1", "PAO", "1", "UN", "1000", 2, "100", "$", "0"), 1);
  EXPECT_EQ(EXPORT(Orvik_FechaCupom)("2", "A", "$", "0", "1,00", "Volte sempre"), 1)
      << last().second;  // paid by card (form 02) with what was left
  EXPECT_EQ(EXPORT(Orvik_AbreComprovanteNaoFiscalVinculado)("CARTAO", "1,00", ""), 1);
  EXPECT_EQ(EXPORT(Orvik_UsaComprovanteNaoFiscalVinculado)("Via do cliente"), 1);
  EXPECT_EQ(EXPORT(Orvik_FechaComprovanteNaoFiscalVinculado)(), 1);
  EXPECT_EQ(EXPORT(Orvik_AcionaGaveta)(), 1);
  int drawer = -1;
  EXPECT_EQ(EXPORT(Orvik_VerificaEstadoGaveta)(&drawer), 1);
  EXPECT_EQ(drawer, 1);
  EXPECT_EQ(ask(EXPORT(Orvik_VerificaSensorPoucoPapelMFD), 1), "0");

  EXPECT_EQ(EXPORT(Orvik_LeituraX)(), 1);
  EXPECT_EQ(EXPORT(Orvik_ReducaoZ)("", ""), 1) << last().second;
  EXPECT_EQ(EXPORT(Orvik_ReducaoZ)("", ""), 0);
  EXPECT_EQ(last(), std::make_pair(29, U("Fechamento do dia (Redução Z ) já executado")));
  char count[16] = "";
  EXPECT_EQ(EXPORT(Orvik_NumeroReducoes)(count), 1);
  EXPECT_STREQ(count, "0001");
  char date[32] = "", time[32] = "x";
  EXPECT_EQ(EXPORT(Orvik_DataHoraReducao)(date, time), 1);
  EXPECT_EQ(std::string(date).substr(0, 6), "150626");
  EXPECT_STREQ(time, "");
  int flags = -1;
  EXPECT_EQ(EXPORT(Orvik_FlagsFiscais)(&flags), 1);
  EXPECT_EQ(flags, 8);  // day closed
  // Dates in any of the accepted spellings reach the printer as ddmmyy.
  EXPECT_EQ(EXPORT(Orvik_LeituraMemoriaFiscalData)("01/06/2026", "150626", "c"), 1)
      << last().second;
  EXPECT_EQ(EXPORT(Orvik_LeituraMemoriaFiscalReducao)("1", "1", "c"), 1) << last().second;
  EXPECT_EQ(EXPORT(Orvik_LeituraMemoriaFiscalData)("15062026", "01062026", "c"), 0);
  EXPECT_EQ(last(), std::make_pair(7, U("O intervalo é inconsistente.")));
  std::lock_guard lock(server.mutex());
  const auto& tape = printer.tape();
  EXPECT_NE(std::find(tape.begin(), tape.end(), "Fechamento do caixa 1"), tape.end());
  EXPECT_NE(std::find(tape.begin(), tape.end(), "Via do cliente"), tape.end());
  EXPECT_NE(std::find(tape.begin(), tape.end(), "DE 010626 A 150626"), tape.end());
  EXPECT_EQ(printer.state().paid_by_form[2], 100);
}

// Exports the QVX printers lack answer on their exact labels, without touching the line.
TEST_F(InProcess, ExportsWithoutAQvxCommandNameThemselves) {
  char buffer[512] = "";
  int number = 0;
  const struct {
    std::function<int()> call;
    int code;
    const char* message;
  } cases[] = {
      {[&] { return EXPORT(Orvik_LeituraXSerial)(); }, -3, "Nao Implementado:Orvik_LeituraXSerial"},
      {[&] { return EXPORT(Orvik_ProgramaAliquota)("1800", 0); }, -3,
       "Nao Implementado:Orvik_ProgramaAliquota"},
      {[&] { return EXPORT(Orvik_FlagsFiscaisStr)(buffer); }, -3,
       "Nao Implementado:Orvik_FlagsFiscaisStr"},
      {[&] { return EXPORT(Orvik_VerificaTruncamento)(buffer); }, -3,
       "Nao Implementado:Orvik_VerificaTruncamento"},
      {[&] { return EXPORT(Orvik_VerificaStatusCheque)(&number); }, -3,
       "Nao Implementado:Orvik_VerificaStatusCheque"},
      {[&] { return EXPORT(Orvik_FechaPortaSerial)(); }, -3,
       "Nao Implementado:Orvik_FechaPortaSerial"},
      {[&] { return EXPORT(Orvik_TotalDocTroco)(buffer); }, -2,
       "Comando Inexistente para este modelo:ORVIK820_TotalDocTroco"},
      {[&] { return EXPORT(Orvik_TotalDiaTroco)(buffer); }, -2,
       "Comando Inexistente para este modelo:ORVIK820_TotalDiaTroco"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(), 0) << c.message;
    EXPECT_EQ(last(), std::make_pair(c.code, std::string(c.message)));
  }
  EXPECT_EQ(server.served(), 0u);
}

}  // namespace
