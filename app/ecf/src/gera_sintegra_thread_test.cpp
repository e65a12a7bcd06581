#include "ecf/gera_sintegra_thread.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "common/files.h"
#include "common/ini.h"

namespace ecf {
namespace {

namespace fs = std::filesystem;

const fs::path kStubs = ECF_STUBS;

// The outside stand-ins are loaded once per process, as the worker loads them; the test
// reaches their control functions through the same handles.
void* Stub(const char* nome) {
  void* h = ::dlopen((kStubs / nome).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (!h) h = ::dlopen((kStubs / nome).c_str(), RTLD_NOW);
  return h;
}
template <typename F>
F Controle(const char* lib, const char* nome) {
  return reinterpret_cast<F>(::dlsym(Stub(lib), nome));
}
void CenarioLeitura(const char* c) {
  Controle<void (*)(const char*)>("libleitura.so", "StubLeitura_Cenario")(c);
}
std::string ChamadaLeitura() {
  return Controle<const char* (*)()>("libleitura.so", "StubLeitura_Chamada")();
}
bool LeituraCancelada() {
  return Controle<int (*)()>("libleitura.so", "StubLeitura_Cancelada")() != 0;
}
void ResultadoAto17(int r, int demora_ms = 0) {
  Controle<void (*)(int, int)>("libato17.so", "StubAto17_Resultado")(r, demora_ms);
}
std::string ChamadaAto17() {
  return Controle<const char* (*)()>("libato17.so", "StubAto17_Chamada")();
}

std::string Le(const fs::path& f) {
  return common::read_file(f).value_or("");
}

class Leitura : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("ecf_leitura_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "app" / "Sintegra");
    fs::create_directories(dir_ / "programa");
    ini_ = dir_ / "ORVIK.INI";
    std::ofstream(ini_) << "[Sistema]\r\nPorta=COM1\r\nModeloImp=0\r\n";
    ::setenv("ORVIK_INI", ini_.c_str(), 1);
    ::setenv("STUB_ORVIK_LOG", (dir_ / "driver.log").c_str(), 1);
    for (const char* v :
         {"STUB_ORVIK_ABRE", "STUB_ORVIK_RETORNO_CODIGO", "STUB_ORVIK_RETORNO_TEXTO",
          "STUB_ORVIK_SERIE", "STUB_ORVIK_SERIE_RESULTADO", "STUB_ORVIK_RELATORIO"})
      ::unsetenv(v);
    // Back to the plain scenario, without loading the stand-ins before the worker does.
    if (::dlopen((kStubs / "libleitura.so").c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      CenarioLeitura("ok");
      ResultadoAto17(0);
    }

    w_.Porta = "COM7";
    w_.MascaraRegistros = 4 + 16;
    w_.Mes = "3";
    w_.Ano = "2008";
    w_.ArquivoSaida = NomeArquivoSaida(3, 2008);
    w_.DiretorioSintegra = (dir_ / "app" / "Sintegra").string();
    w_.Driver = kStubs / "libecf_stub_driver_completo.so";
    w_.PastaPrograma = dir_ / "programa";
    w_.Proprietario = {"Padaria São João", "Rua das Flores", "12",         "", "Centro",
                       "Niterói",          "24000000",       "2133334444", "", "José"};
    w_.IntervaloStatusMs = 20;
  }
  void TearDown() override {
    ::unsetenv("ORVIK_INI");
    fs::remove_all(dir_);
  }

  std::string Falha() {
    w_.Executa();
    EXPECT_FALSE(w_.Resultado());
    EXPECT_TRUE(w_.Situacao().Terminado);
    EXPECT_EQ(w_.Situacao().Status, 1030);
    return w_.Situacao().MensagemStatus;
  }

  fs::path dir_, ini_;
  TGeraSintegraThread w_;
};

TEST_F(Leitura, SuccessReadsConvertsAndLeavesTheFileAboveTheSintegraFolder) {
  // Stale driver results in the working folder go before the report.
  fs::create_directories(dir_ / "programa" / "RFDTEMP");
  std::ofstream(dir_ / "programa" / "RFDTEMP" / "SINTEGRA.TXT") << "old";
  std::ofstream(dir_ / "programa" / "RFDTEMP" / "sint.txt") << "old";

  w_.Executa();
  ASSERT_TRUE(w_.Resultado()) << w_.Situacao().MensagemStatus;
  EXPECT_EQ(w_.Situacao().Status, 1029);
  EXPECT_EQ(w_.Situacao().MensagemStatus, "Sintegra gerado com sucesso!");
  const fs::path saida = dir_ / "app" / "Sintegra-3_2008.txt";
  EXPECT_EQ(w_.ArquivoSaida, saida.string());
  EXPECT_TRUE(fs::file_size(saida) > 0);

  common::IniFile ini(ini_);
  EXPECT_EQ(ini.read("Sistema", "Porta"), "COM7");
  EXPECT_EQ(ini.read("Sistema", "Path"), w_.DiretorioSintegra);
  EXPECT_EQ(ini.read("Sistema", "PathRFD"), w_.DiretorioSintegra);
  EXPECT_EQ(ini.read("Sistema", "ModeloImp"), "0");

  const std::string pasta = w_.DiretorioSintegra + "/";
  EXPECT_EQ(ChamadaLeitura(), "COM7|" + pasta + "AB1234567890.TDM|AB1234567890|0");
  EXPECT_EQ(ChamadaAto17(),
            pasta + "AB1234567890.TDM|" + pasta + "AB167890.txt|20080301|20080331|M|01|TDM");
  EXPECT_TRUE(fs::exists(dir_ / "programa" / "AB167890.txt"));
  EXPECT_TRUE(fs::is_directory(dir_ / "programa" / "RFD"));
  EXPECT_FALSE(fs::exists(dir_ / "programa" / "RFDTEMP" / "SINTEGRA.TXT"));
  EXPECT_FALSE(fs::exists(dir_ / "programa" / "RFDTEMP" / "sint.txt"));

  // The owner's texts reach the driver in Windows-1252; the serial buffer held 21 blanks.
  std::string log = Le(dir_ / "driver.log");
  EXPECT_NE(log.find("NumeroSerie brancos=21"), std::string::npos) << log;
  EXPECT_NE(log.find("RelatorioSintegraMFDBinario 20|" + pasta + "AB167890.txt|" + saida.string() +
                     "|Padaria S\xe3o Jo\xe3o|Rua das Flores|12||Centro|Niter\xf3i|"
                     "24000000|2133334444||Jos\xe9"),
            std::string::npos)
      << log;
}

TEST_F(Leitura, ConfigurationWithoutSistemaIsLeftUntouched) {
  std::ofstream(ini_, std::ios::trunc) << "[Outra]\r\nX=1\r\n";
  w_.Executa();
  ASSERT_TRUE(w_.Resultado()) << w_.Situacao().MensagemStatus;
  EXPECT_EQ(Le(ini_), "[Outra]\r\nX=1\r\n");
}

TEST_F(Leitura, FailedCallWhoseLastCodeIsZeroCountsAsSuccess) {
  ::setenv("STUB_ORVIK_ABRE", "0", 1);
  w_.Executa();
  EXPECT_TRUE(w_.Resultado()) << w_.Situacao().MensagemStatus;
}

TEST_F(Leitura, ShortSerialNamesTheFileWithWhatItHas) {
  ::setenv("STUB_ORVIK_SERIE", "AB123", 1);
  w_.Executa();
  ASSERT_TRUE(w_.Resultado()) << w_.Situacao().MensagemStatus;
  EXPECT_NE(ChamadaAto17().find("/AB123.txt|"), std::string::npos) << ChamadaAto17();
}

struct Caso {
  const char* nome;
  std::function<void(TGeraSintegraThread&)> prepara;
  const char* mensagem;  // the start of the failure text
};

TEST_F(Leitura, EachFailureEndsWithItsMessageAndNoFile) {
  const Caso casos[] = {
      {"driver ausente", [](TGeraSintegraThread& w) { w.Driver = kStubs / "libnao_existe.so"; },
       "Falha ao carregar a Dll."},
      {"sem AbrePortaSerial",
       [](TGeraSintegraThread& w) { w.Driver = kStubs / "libecf_stub_driver_sem_abre.so"; },
       "Falha ao carregar a função Orvik_AbrePortaSerial da DLL"},
      {"sem VerificaImpressoraLigada",
       [](TGeraSintegraThread& w) { w.Driver = kStubs / "libecf_stub_driver_sem_verifica.so"; },
       "Falha ao carregar a função Orvik_VerificaImpressoraLigada da DLL"},
      {"sem NumeroSerie",
       [](TGeraSintegraThread& w) { w.Driver = kStubs / "libecf_stub_driver_sem_numero_serie.so"; },
       "Falha ao carregar a função Orvik_NumeroSerieECF da DLL"},
      {"sem RelatorioSintegraMFDBinario",
       [](TGeraSintegraThread& w) { w.Driver = kStubs / "libecf_stub_driver_sem_binario.so"; },
       "Falha ao carregar a função Orvik_RelatorioSintegraMFDBinario da DLL"},
      {"porta",
       [](TGeraSintegraThread&) {
         ::setenv("STUB_ORVIK_ABRE", "0", 1);
         ::setenv("STUB_ORVIK_RETORNO_CODIGO", "-5", 1);
         ::setenv("STUB_ORVIK_RETORNO_TEXTO", "Porta n\xe3o pode ser aberta", 1);
       },
       "Erro na execução da função. Erro nº -5 - Porta não pode ser aberta"},
      {"serie vazia", [](TGeraSintegraThread&) { ::setenv("STUB_ORVIK_SERIE", "", 1); },
       "O ECF não informou o seu número de série."},
      {"leitura recusada", [](TGeraSintegraThread&) { CenarioLeitura("recusa"); },
       "A leitura das memórias do ECF não pôde começar. Erro nº 9"},
      {"falha da leitura", [](TGeraSintegraThread&) { CenarioLeitura("falha"); },
       "ECF nao responde (Erro nº 5)"},
      {"leitura que não começa",
       [](TGeraSintegraThread& w) {
         CenarioLeitura("parado");
         w.LimiteInicioMs = 300;
       },
       "A leitura das memórias do ECF não começou"},
      {"impressora que para de responder",
       [](TGeraSintegraThread& w) {
         CenarioLeitura("mudo");
         w.LimiteSilencioMs = 300;
       },
       "A impressora parou de responder durante a leitura das memórias do ECF."},
      {"conversão com Retorno 2", [](TGeraSintegraThread&) { ResultadoAto17(2); },
       "Arquivo RFD gerado com falha."},
      {"erro dentro da conversão", [](TGeraSintegraThread&) { ResultadoAto17(-99); },
       "TDM ilegivel"},
      {"conversão sem fim",
       [](TGeraSintegraThread& w) {
         ResultadoAto17(0, 1500);
         w.LimiteConversaoMs = 200;
       },
       "A conversão do arquivo TDM não terminou no tempo esperado."},
      {"relatório falha",
       [](TGeraSintegraThread&) {
         ::setenv("STUB_ORVIK_RELATORIO", "falha", 1);
         ::setenv("STUB_ORVIK_RETORNO_CODIGO", "-8", 1);
         ::setenv("STUB_ORVIK_RETORNO_TEXTO", "Erro no Arquivo Origem", 1);
       },
       "Erro na execução da função. Erro nº -8 - Erro no Arquivo Origem"},
      {"relatório sem arquivo",
       [](TGeraSintegraThread&) { ::setenv("STUB_ORVIK_RELATORIO", "vazio", 1); },
       "O driver não gerou o arquivo"},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    TearDown();
    SetUp();
    c.prepara(w_);
    std::string m = Falha();
    EXPECT_EQ(m.rfind(c.mensagem, 0), 0u) << m;
    EXPECT_FALSE(fs::exists(dir_ / "app" / "Sintegra-3_2008.txt"));
  }
}

TEST_F(Leitura, MissingOutsideLibraryIsNamed) {
  // The libraries stay loaded once a reading found them: only a fresh process can tell.
  if (::dlopen((kStubs / "libleitura.so").c_str(), RTLD_NOW | RTLD_NOLOAD))
    GTEST_SKIP() << "the outside libraries are already loaded in this process";
  fs::create_directories(dir_ / "sozinho");
  fs::copy_file(kStubs / "libecf_stub_driver_completo.so", dir_ / "sozinho" / "liborvik.so.1");
  w_.Driver = dir_ / "sozinho" / "liborvik.so.1";
  std::string m = Falha();
  EXPECT_EQ(m.rfind("A biblioteca libleitura.so não foi encontrada.", 0), 0u) << m;
}

TEST_F(Leitura, StaleDoneStatusNeverConvertsAnOldTdm) {
  // The previous reading ended at 256 and left its TDM; this one never starts.
  std::ofstream(dir_ / "app" / "Sintegra" / "AB1234567890.TDM") << "old";
  CenarioLeitura("velho256");
  w_.LimiteInicioMs = 400;
  std::string m = Falha();
  EXPECT_EQ(m.rfind("A leitura das memórias do ECF não começou", 0), 0u) << m;
  EXPECT_EQ(ChamadaAto17(), "");
}

TEST_F(Leitura, CancelStopsTheReadingInTheLibrary) {
  CenarioLeitura("mudo");
  std::thread t([this] { w_.Executa(); });
  while (w_.Situacao().Status != 112) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(w_.Situacao().Percentual, 25);
  w_.Cancela();
  t.join();
  EXPECT_FALSE(w_.Resultado());
  EXPECT_EQ(w_.Situacao().MensagemStatus, "Leitura cancelada pelo usuário.");
  EXPECT_TRUE(LeituraCancelada());
}

}  // namespace
}  // namespace ecf
