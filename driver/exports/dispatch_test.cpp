// Routing of the exports by model family, as a host program sees it: the library is
// loaded with dlopen after the test has written its ORVIK.INI, so every case needs a
// process of its own (ctest runs each case alone).
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "orvik/orvik.h"

namespace fs = std::filesystem;

namespace {

class LoadedDriver : public ::testing::Test {
 public:
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // Writes ORVIK.INI for the model (the ports the tests name lead to devices that do
  // not exist, Path is a temporary folder), then loads the library.
  void Load(const std::string& model, const std::string& extra_lines = "") {
    ASSERT_EQ(dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr)
        << "the driver reads ORVIK.INI once per process: run each case alone";
    char pattern[] = "/tmp/orvik-exports-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    std::ofstream ini(dir_ / "ORVIK.INI", std::ios::binary);
    ini << "[Sistema]\r\nModeloImp=" << model << "\r\nPath=" << dir_.string() << "/\r\n"
        << "[Portas]\r\nCOM1=" << (dir_ / "no-such-tty").string()
        << "\r\nCOM12=" << (dir_ / "no-such-tty").string()
        << "\r\nLPT1=" << (dir_ / "no-such-lpt").string() << "\r\n"
        << extra_lines;
    ini.close();
    setenv("ORVIK_INI", (dir_ / "ORVIK.INI").c_str(), 1);
    handle_ = dlopen(ORVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }

  template <class F>
  F* Fn(const char* name) {
    void* symbol = handle_ ? dlsym(handle_, name) : nullptr;
    if (!symbol) throw std::runtime_error(std::string("missing export ") + name);
    return reinterpret_cast<F*>(symbol);
  }

  int Code() {
    int code = 12345;
    char message[1024] = "";
    Fn<decltype(::Orvik_RetornoImpressora)>("Orvik_RetornoImpressora")(&code, message);
    return code;
  }
  std::string Message() {
    int code = 0;
    char message[1024] = "";
    Fn<decltype(::Orvik_RetornoImpressora)>("Orvik_RetornoImpressora")(&code, message);
    return message;
  }
  std::string IniText() {
    std::ifstream in(dir_ / "ORVIK.INI", std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  // The one line of RETORNO.TXT in the Path folder.
  std::string ReturnFileLine() {
    std::ifstream in(dir_ / "RETORNO.TXT", std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

  fs::path dir_;
  void* handle_ = nullptr;
};

#define EXPORT(name) Fn<decltype(::name)>(#name)

TEST_F(LoadedDriver, QueryOnNonFiscalPrinterIsNotImplementedAndLeavesZeros) {
  Load("ORVIK_VUNO_LPT");
  char subtotal[64] = "previous answer 12345";
  EXPECT_EQ(EXPORT(Orvik_SubTotal)(subtotal), 0);
  EXPECT_EQ(Code(), -3);
  EXPECT_EQ(Message(), "Nao Implementado: Orvik_SubTotal");
  EXPECT_STREQ(subtotal, "00000000000000");
  EXPECT_EQ(ReturnFileLine(), "00000000000000");
}

// One export called on one model: the result, code and message it must leave.
struct RouteCase {
  const char* title;
  const char* model;
  std::function<int(LoadedDriver&)> call;
  int result;
  int code;
  const char* message;
};

#define CALL(body) [](LoadedDriver& d) { return d.body; }
#define FN(name) Fn<decltype(::name)>(#name)

const RouteCase kRouteCases[] = {
    {"QvxWithoutRoutineDropsTheBlank", "ORVIK_610", CALL(FN(Orvik_LeituraXSerial)()), 0, -3,
     "Nao Implementado:Orvik_LeituraXSerial"},
    {"QvxWithoutRoutineOnQuery", "ORVIK_820",
     [](LoadedDriver& d) {
       char cnpj[64] = "", ie[64] = "";
       return d.FN(Orvik_CNPJ_IE)(cnpj, ie);
     },
     0, -3, "Nao Implementado:Orvik_CNPJ_IE"},
    {"QvxAliasReportsTheExportItCalls", "ORVIK_610", CALL(FN(Orvik_RelatorioTipo60AnaliticoMFD)()),
     0, -3, "Nao Implementado:Orvik_RelatorioTipo60Analitico"},
    {"DadosSintegraOnLumvar", "ORVIK_KAP", CALL(FN(Orvik_DadosSintegra)()), 0, -3,
     "Nao Implementado:OrvikKAP_DadosSintegra "},
    {"DadosSintegraOnQvx", "ORVIK_610", CALL(FN(Orvik_DadosSintegra)()), 0, -3,
     "Nao Implementado:Orvik_DadosSintegra"},
    {"DadosSintegraOnNonFiscal", "ORVIK_VUNO_SERIAL", CALL(FN(Orvik_DadosSintegra)()), 0, -3,
     "Nao Implementado: Orvik_DadosSintegra"},
    {"NonFiscalSendOnFiscalPrinter", "ORVIK_KAP", CALL(FN(Vuno_EnviaBuffer)("texto")), 0, -2,
     "Comando Inexistente para este modelo:Funcoes da Impressora Vuno"},
    {"SecondNameOfNonFiscalSend", "ORVIK_820", CALL(FN(OrvikCupom_AcionaGaveta)()), 0, -2,
     "Comando Inexistente para este modelo:Funcoes da Impressora Vuno"},
    {"BitmapIsNotImplementedOnAnyModel", "ORVIK_VUNO_LPT",
     CALL(FN(OrvikCupom_ImprimeBmpEspecial)(1, 2, 3, 4)), 0, -3, "Nao Implementado:Vuno"},
    {"QvxChangeTotalIsMissing", "ORVIK_820",
     [](LoadedDriver& d) {
       char change[64] = "old";
       return d.FN(Orvik_TotalDocTroco)(change);
     },
     0, -2, "Comando Inexistente para este modelo:ORVIK820_TotalDocTroco"},
    {"PaymentFormsOnNonFiscalPrinterAreMissing", "ORVIK_VUNO_LPT",
     [](LoadedDriver& d) {
       char forms[64] = "";
       return d.FN(Orvik_VerificaFormasPagamento)(forms);
     },
     0, -2, "Comando Inexistente para este modelo: Orvik_VerificaFormasPagamento"},
    {"MfdPaymentFormsOnQvxAreMissing", "ORVIK_610",
     [](LoadedDriver& d) {
       char forms[64] = "";
       return d.FN(Orvik_VerificaFormasPagamentoMFD)(forms);
     },
     0, -2, "Comando Inexistente para este modelo:Orvik_VerificaFormasPagamentoMFD"},
    {"DownloadOnOtherFamilyNamesTheExport", "ORVIK_VUNO_SERIAL",
     CALL(FN(Orvik_DownloadMFD)("a.txt", "0", "", "", "")), 0, -3,
     "Nao Implementado:Orvik_DownloadMFD"},
    {"FiscalMemoryDownloadIsReserved", "ORVIK_KAP", CALL(FN(Orvik_DownloadMF)("x")), 0, -3,
     "Nao Implementado:Orvik_DownloadMF"},
    {"BarcodeAtCloseIsMissingEverywhere", "ORVIK_KAP",
     CALL(FN(Orvik_TerminaFechamentoCupomCodigoBarrasMFD)("", "", "", "", "", "", "", "", "", "")),
     0, -2, "Comando Inexistente para este modelo:Orvik_TerminaFechamentoCupomCodigoBarrasMFD"},
    {"Code128OnLumvarIsMissing", "ORVIK_KAP", CALL(FN(Orvik_CodigoBarrasCODE128MFD)("123")), 0, -2,
     "Comando Inexistente para este modelo:OrvikKAP_CodigoBarrasCODE128MFD "},
    {"ResetOnLumvarIsMissing", "ORVIK_R7", CALL(FN(Orvik_ResetaImpressora)()), 0, -2,
     "Comando Inexistente para este modelo:OrvikKAP_ResetaImpressora "},
};

// Test names and failure messages show the case by its title.
void PrintTo(const RouteCase& c, std::ostream* os) {
  *os << c.title;
}

class RouteTable : public LoadedDriver, public ::testing::WithParamInterface<RouteCase> {};

TEST_P(RouteTable, ResultCodeAndMessage) {
  const RouteCase& c = GetParam();
  Load(c.model);
  EXPECT_EQ(c.call(*this), c.result);
  EXPECT_EQ(Code(), c.code);
  EXPECT_EQ(Message(), c.message);
}

INSTANTIATE_TEST_SUITE_P(Exports, RouteTable, ::testing::ValuesIn(kRouteCases),
                         [](const auto& info) { return std::string(info.param.title); });

TEST_F(LoadedDriver, FirstLastPairOutsideLumvarAnswersZeroWithoutMessage) {
  Load("ORVIK_820");
  EXPECT_EQ(EXPORT(Orvik_DadosSintegra)(), 0);  // leaves a known last message
  const std::string before = Message();
  char initial[64] = "stale", current[64] = "stale";
  EXPECT_EQ(EXPORT(Orvik_InicioFimGTsMFD)(initial, current), 0);
  EXPECT_EQ(Message(), before);
  EXPECT_STREQ(initial, "000000000000000000");
  EXPECT_STREQ(current, "000000000000000000");
}

TEST_F(LoadedDriver, PafParametersStopAtTheFirstFailingQuery) {
  Load("ORVIK_VUNO_LPT");
  char cnpj[64] = "x", date[64] = "untouched", time[64] = "untouched", serial[64] = "x",
       till[64] = "untouched", total[64] = "untouched";
  EXPECT_EQ(EXPORT(Orvik_LeParametrosPAF)(cnpj, date, time, serial, till, total), 0);
  EXPECT_EQ(Message(), "Nao Implementado: Orvik_CNPJ_IE");
  EXPECT_EQ(std::string(cnpj), std::string(18, ' '));
  EXPECT_EQ(std::string(serial), std::string(15, ' '));
  EXPECT_STREQ(date, "untouched");
  EXPECT_STREQ(till, "untouched");
  EXPECT_STREQ(total, "untouched");
}

TEST_F(LoadedDriver, GerencialLineClearsTheOpenFlagWhateverTheFamily) {
  Load("ORVIK_VUNO_SERIAL", "[Flags]\r\nGerencial=1\r\n");
  EXPECT_EQ(EXPORT(Orvik_RelatorioGerencial)("linha"), 0);
  EXPECT_EQ(Code(), -3);
  EXPECT_NE(IniText().find("Gerencial=0"), std::string::npos) << IniText();
}

TEST_F(LoadedDriver, AnswerBufferMayAlsoBeTheInput) {
  // Arguments are copied before anything is written: the same buffer as input and answer
  // must not confuse the export.
  Load("ORVIK_VUNO_LPT");
  char buffer[64] = "ABCDEF";
  EXPECT_EQ(EXPORT(Orvik_ValorTotalizadorNaoFiscal)(buffer, buffer), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(Message(), "Nao Implementado: Orvik_ValorTotalizadorNaoFiscal");
}

// ---- Frame exports reach their routines with their arguments ----

struct FrameCase {
  const char* title;
  std::function<int(LoadedDriver&)> call;
  int result;
  const char* ini_line;  // what the routine must have written to ORVIK.INI
};

void PrintTo(const FrameCase& c, std::ostream* os) {
  *os << c.title;
}

const FrameCase kFrameCases[] = {
    {"LineSpacingIsCappedAt30", CALL(FN(Orvik_LinhasEntreCupons)(45)), 1,
     "EspacamentoDocumentos=30"},
    {"PortNumberFromText", CALL(FN(Orvik_IniciaPorta)("COM12")), -5, "Porta=COM12"},
    {"NullPortTextIsEmpty", CALL(FN(Orvik_IniciaPorta)(nullptr)), -5, "Porta=COM1"},
    {"ApplicationId", CALL(FN(Orvik_ProgramaIdAplicativoMFD)("PDV 2.1")), 1,
     "IdAplicativo=PDV 2.1"},
};

class FrameForwarding : public LoadedDriver, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameForwarding, RoutineSeesTheArguments) {
  Load("ORVIK_KAP");
  EXPECT_EQ(GetParam().call(*this), GetParam().result) << Message();
  EXPECT_NE(IniText().find(GetParam().ini_line), std::string::npos) << IniText();
}

INSTANTIATE_TEST_SUITE_P(Exports, FrameForwarding, ::testing::ValuesIn(kFrameCases),
                         [](const auto& info) { return std::string(info.param.title); });

TEST_F(LoadedDriver, LastResultSurvivesNullPointers) {
  Load("ORVIK_VUNO_LPT");
  EXPECT_EQ(EXPORT(Orvik_DadosSintegra)(), 0);
  EXPECT_EQ(EXPORT(Orvik_RetornoImpressora)(nullptr, nullptr), 1);
  EXPECT_EQ(EXPORT(OrvikCupom_RetornoImpressora)(nullptr, nullptr), 1);
  int code = 0;
  EXPECT_EQ(EXPORT(OrvikCupom_RetornoImpressora)(&code, nullptr), 1);
  EXPECT_EQ(code, -3);
}

// ---- Every export with null pointers and zeros ----

template <class F>
struct NullCall;
template <class... A>
struct NullCall<int ORVIK_CALL(A...)> {
  static int Call(void* symbol) { return reinterpret_cast<int(ORVIK_CALL*)(A...)>(symbol)(A{}...); }
};

struct NamedCall {
  const char* name;
  int (*call)(void*);
};

const NamedCall kEveryExport[] = {
#define ORVIK_EXPORT(group, name, params) {#name, &NullCall<decltype(::name)>::Call},
#include "orvik/exports.def"
#undef ORVIK_EXPORT
};

class NullArguments : public LoadedDriver, public ::testing::WithParamInterface<const char*> {};

TEST_P(NullArguments, EveryExportSurvivesNullPointersAndZeros) {
  Load(GetParam());
  int called = 0;
  for (const NamedCall& entry : kEveryExport) {
    void* symbol = dlsym(handle_, entry.name);
    ASSERT_NE(symbol, nullptr) << entry.name;
    entry.call(symbol);
    ++called;
  }
  EXPECT_EQ(called, ORVIK_EXPORT_COUNT);
  // The driver is still there to tell what happened last.
  int code = 0;
  char message[1024];
  EXPECT_EQ(EXPORT(Orvik_RetornoImpressora)(&code, message), 1);
}

INSTANTIATE_TEST_SUITE_P(Models, NullArguments,
                         ::testing::Values("ORVIK_KAP", "ORVIK_610", "ORVIK_VUNO_LPT",
                                           "ORVIK_VUNO_SERIAL"));

}  // namespace
