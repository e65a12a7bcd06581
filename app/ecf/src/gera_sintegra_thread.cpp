#include "ecf/gera_sintegra_thread.h"

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <thread>

#include "common/files.h"
#include "common/host_files.h"
#include "common/ini.h"
#include "common/orvik_ini.h"
#include "common/serial_devices.h"
#include "common/text1252.h"
#include "ecf/bibliotecas.h"
#include "ecf/tdm.h"

namespace ecf {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

using FnSemArgumentos = int (*)();
using FnNumeroSerie = int (*)(char*);
using FnRetorno = int (*)(int*, char*);
using FnRelatorio = int (*)(int, const char*, const char*, const char*, const char*, const char*,
                            const char*, const char*, const char*, const char*, const char*,
                            const char*, const char*);

// The driver for one reading, released when the reading ends however it ends.
class BibliotecaDriver {
 public:
  explicit BibliotecaDriver(const fs::path& caminho) {
    h_ = ::dlopen(caminho.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h_) {
      const char* erro = ::dlerror();
      throw std::runtime_error(std::string("Falha ao carregar a Dll.") +
                               (erro ? std::string("\n") + erro : std::string()));
    }
  }
  ~BibliotecaDriver() { ::dlclose(h_); }
  BibliotecaDriver(const BibliotecaDriver&) = delete;
  BibliotecaDriver& operator=(const BibliotecaDriver&) = delete;

  template <typename F>
  F Funcao(const char* nome) const {
    return reinterpret_cast<F>(::dlsym(h_, nome));
  }

 private:
  void* h_ = nullptr;
};

// Text of a driver buffer: up to its first NUL, never past its end.
std::string TextoDoBuffer(const std::vector<char>& b) {
  size_t n = 0;
  while (n < b.size() && b[n] != '\0') ++n;
  return std::string(b.data(), n);
}

void RemoveDireita(std::string& s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
}

// A call result of 1 is success; any other asks the driver for its last return code, and
// only a non-zero code is a failure.
void VerificaRetorno(int resultado, FnRetorno retorno) {
  if (resultado == 1) return;
  if (!retorno)
    throw std::runtime_error("Falha ao carregar a função Orvik_RetornoImpressora da DLL");
  int codigo = 0;
  // The driver does not know the buffer's size: far more than its longest message.
  std::vector<char> texto(4096, '\0');
  retorno(&codigo, texto.data());
  if (codigo == 0) return;
  std::string t = TextoDoBuffer(texto);
  RemoveDireita(t);
  throw std::runtime_error("Erro na execução da função. Erro nº " + std::to_string(codigo) + " - " +
                           common::cp1252_to_utf8(t));
}

std::string Data(int ano, int mes, int dia) {
  char b[16];
  std::snprintf(b, sizeof b, "%04d%02d%02d", ano, mes, dia);
  return b;
}

int UltimoDia(int ano, int mes) {
  static const int dias[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (mes == 2 && ((ano % 4 == 0 && ano % 100 != 0) || ano % 400 == 0)) return 29;
  return dias[(mes - 1) % 12];
}

int Numero(const std::string& texto, const char* nome, int min, int max) {
  char* fim = nullptr;
  long n = std::strtol(texto.c_str(), &fim, 10);
  if (texto.empty() || *fim != '\0' || n < min || n > max)
    throw std::runtime_error(std::string(nome) + " inválido: \"" + texto + "\".");
  return static_cast<int>(n);
}

bool MesmoConteudo(const Instantaneo& a, const Instantaneo& b) {
  return a.Status == b.Status && a.Retorno == b.Retorno && a.Total == b.Total &&
         a.Atual == b.Atual && a.Mensagem == b.Mensagem;
}

std::string FalhaDaLeitura(const Instantaneo& s) {
  std::string m = s.Mensagem.empty() ? "Falha na leitura das memórias do ECF." : s.Mensagem;
  return m + " (Erro nº " + std::to_string(s.Retorno) + ")";
}

// The library's text of the file system's refusal.
[[noreturn]] void FalhaArquivo(const std::error_code& ec, const std::string& o_que) {
  throw std::runtime_error(o_que + ": " + ec.message());
}

}  // namespace

std::string NomeArquivoSaida(int mes, int ano) {
  return "Sintegra-" + std::to_string(mes) + "_" + std::to_string(ano) + ".txt";
}

SituacaoLeitura TGeraSintegraThread::Situacao() const {
  std::lock_guard lock(m_);
  return situacao_;
}

void TGeraSintegraThread::Define(int status, const std::string& mensagem, int percentual) {
  std::lock_guard lock(m_);
  situacao_.Status = static_cast<std::int16_t>(status);
  situacao_.MensagemStatus = mensagem;
  if (percentual >= 0) situacao_.Percentual = percentual;
}

void TGeraSintegraThread::Executa() {
  resultado_.store(true);
  try {
    Corre();
  } catch (const std::exception& e) {
    resultado_.store(false);
    Define(kRFDErro, e.what());
  }
  std::lock_guard lock(m_);
  situacao_.Terminado = true;
}

void TGeraSintegraThread::Corre() {
  const int mes = Numero(Mes, "Mês", 1, 12);
  const int ano = Numero(Ano, "Ano", 1, 9999);
  const std::string nome_saida = ArquivoSaida;
  fs::path programa = PastaPrograma.empty() ? common::host_files_folder() : PastaPrograma;

  // The Sintegra folder becomes the driver's working folder (its RETORNO.TXT, the TDM and
  // Ato 17 files): a new installation may not have it yet, and the driver then fails its
  // very first call.
  {
    std::error_code ec;
    fs::create_directories(DiretorioSintegra, ec);
    if (ec) FalhaArquivo(ec, "Não foi possível criar a pasta " + DiretorioSintegra);
  }

  // 1. The driver's configuration: the file the driver itself will read, and only when
  // it is already set up.
  {
    common::IniFile ini(common::orvik_ini_path());
    std::vector<std::string> secoes = ini.sections();
    bool tem_sistema = std::any_of(secoes.begin(), secoes.end(), [](const std::string& s) {
      return common::iequals(s, "Sistema");
    });
    if (tem_sistema &&
        !(ini.write("Sistema", "Porta", Porta) && ini.write("Sistema", "Path", DiretorioSintegra) &&
          ini.write("Sistema", "PathRFD", DiretorioSintegra)))
      throw std::runtime_error("Não foi possível gravar a configuração do driver em " +
                               ini.path().string() + ".");
  }

  // 2. The driver for this reading and its entry points; a missing one counts only
  // where it is needed.
  const fs::path caminho_driver = Driver.empty() ? DriverPadrao() : Driver;
  BibliotecaDriver driver(caminho_driver);
  auto abre = driver.Funcao<FnSemArgumentos>("Orvik_AbrePortaSerial");
  driver.Funcao<FnRelatorio>("Orvik_RelatorioSintegraMFD");
  auto relatorio = driver.Funcao<FnRelatorio>("Orvik_RelatorioSintegraMFDBinario");
  auto numero_serie = driver.Funcao<FnNumeroSerie>("Orvik_NumeroSerie");
  auto retorno = driver.Funcao<FnRetorno>("Orvik_RetornoImpressora");
  auto ligada = driver.Funcao<FnSemArgumentos>("Orvik_VerificaImpressoraLigada");

  // 3. Port test.
  if (!abre) throw std::runtime_error("Falha ao carregar a função Orvik_AbrePortaSerial da DLL");
  VerificaRetorno(abre(), retorno);
  ParaSeCancelada();
  // 4. The printer-on check only requires the entry point.
  if (!ligada)
    throw std::runtime_error("Falha ao carregar a função Orvik_VerificaImpressoraLigada da DLL");
  // 5.
  if (!relatorio)
    throw std::runtime_error("Falha ao carregar a função Orvik_RelatorioSintegraMFDBinario da DLL");
  // 6. Serial number: 21 blanks, in a buffer far larger than any answer.
  if (!numero_serie)
    throw std::runtime_error("Falha ao carregar a função Orvik_NumeroSerieECF da DLL");
  std::vector<char> buffer(1024, '\0');
  std::memset(buffer.data(), ' ', 21);
  int r = numero_serie(buffer.data());
  std::string serie = TextoDoBuffer(buffer);
  RemoveDireita(serie);
  VerificaRetorno(r, retorno);
  serie = std::string(common::trim(serie));
  if (serie.empty()) throw std::runtime_error("O ECF não informou o seu número de série.");
  ParaSeCancelada();

  // 7. Period.
  const std::string inicio = Data(ano, mes, 1);
  const std::string fim = Data(ano, mes, UltimoDia(ano, mes));

  // 8. Memory reading and conversion.
  const Bibliotecas& bib = CarregaBibliotecas(caminho_driver.parent_path());
  std::string ato17;
  {
    TTDM tdm(bib, Porta, serie, serie + ".TDM", DiretorioSintegra, IntervaloStatusMs);
    // A TDM left by an earlier reading must not pass for this one's.
    std::error_code ec;
    const fs::path arquivo_tdm = tdm.Diretorio() + tdm.ArquivoTDM();
    fs::remove(arquivo_tdm, ec);
    tdm.LeituraFlag = false;
    int lm = tdm.LeMemorias();
    if (lm != 0) {
      Instantaneo s = tdm.Atual();
      throw std::runtime_error("A leitura das memórias do ECF não pôde começar. Erro nº " +
                               std::to_string(lm) +
                               (s.Mensagem.empty() ? std::string() : " - " + s.Mensagem));
    }
    AguardaLeitura(tdm, arquivo_tdm);
    tdm.GeraArquivoAto17(1, inicio, fim);
    AguardaConversao(tdm);
    ato17 = tdm.Diretorio() + tdm.ArquivoGerado();
  }

  // 9.
  Define(kGerandoRFD, "Gerando arquivo sintegra...", 0);

  // 10. The Ato 17 file, and a copy of it in the program's folder.
  std::error_code ec;
  const fs::path arquivo_ato17 = ato17;
  if (!fs::is_regular_file(arquivo_ato17, ec))
    throw std::runtime_error("O arquivo " + ato17 + " não foi gerado.");
  fs::copy_file(arquivo_ato17, programa / arquivo_ato17.filename(),
                fs::copy_options::overwrite_existing, ec);
  if (ec) FalhaArquivo(ec, "Não foi possível copiar " + ato17 + " para " + programa.string());

  // 11. The driver's working folders in the program's folder, without stale results.
  fs::create_directories(programa / "RFD", ec);
  if (ec) FalhaArquivo(ec, "Não foi possível criar " + (programa / "RFD").string());
  const fs::path rfdtemp = programa / "RFDTEMP";
  if (fs::is_directory(rfdtemp, ec)) {
    for (const char* nome : {"SINTEGRA.TXT", "SINT.TXT"}) {
      if (auto f = common::find_case_blind(rfdtemp, nome)) {
        fs::remove(*f, ec);
        if (ec) FalhaArquivo(ec, "Não foi possível apagar " + f->string());
      }
    }
  } else {
    fs::create_directories(rfdtemp, ec);
    if (ec) FalhaArquivo(ec, "Não foi possível criar " + rfdtemp.string());
  }

  // 12. The output goes into the folder that holds the Sintegra folder.
  std::string pasta = DiretorioSintegra;
  while (pasta.size() > 1 && pasta.back() == '/') pasta.pop_back();
  const fs::path saida = fs::path(pasta).parent_path() / nome_saida;
  // A file left by an earlier reading must not pass for this one's.
  fs::remove(saida, ec);

  // 13. The last point at which a cancel is heard: the driver's report runs to its end.
  ParaSeCancelada();
  auto cp = [](const std::string& t) { return common::utf8_to_cp1252(t); };
  const TextosProprietario& p = Proprietario;
  const std::string t[] = {cp(p.RazaoSocial), cp(p.Logradouro), cp(p.Numero), cp(p.Complemento),
                           cp(p.Bairro),      cp(p.Cidade),     cp(p.Cep),    cp(p.Telefone),
                           cp(p.Fax),         cp(p.Contato)};
  r = relatorio(MascaraRegistros, ato17.c_str(), saida.c_str(), t[0].c_str(), t[1].c_str(),
                t[2].c_str(), t[3].c_str(), t[4].c_str(), t[5].c_str(), t[6].c_str(), t[7].c_str(),
                t[8].c_str(), t[9].c_str());
  Define(kRFDTerminado, "Gerando arquivo sintegra...", 100);
  VerificaRetorno(r, retorno);
  if (!fs::is_regular_file(saida, ec) || fs::file_size(saida, ec) == 0 || ec)
    throw std::runtime_error("O driver não gerou o arquivo " + saida.string() + ".");
  ArquivoSaida = saida.string();
  Define(kRFDTerminado, "Sintegra gerado com sucesso!", 100);
}

void TGeraSintegraThread::ParaSeCancelada() const {
  if (cancelar_.load()) throw std::runtime_error("Leitura cancelada pelo usuário.");
}

void TGeraSintegraThread::Acompanha(const Instantaneo& s) {
  Define(s.Status, s.Mensagem, s.Percentual());
}

void TGeraSintegraThread::AguardaLeitura(TTDM& tdm, const fs::path& arquivo_tdm) {
  const Instantaneo antes = tdm.AntesDaLeitura();
  bool em_andamento = false;
  Instantaneo ultimo = antes;
  auto mudou = Clock::now();
  const auto inicio = Clock::now();
  for (;;) {
    Instantaneo s = tdm.Atual();
    // Only what this reading reported counts: a status equal in every member to the one
    // found before it started may be an earlier reading's.
    const bool novo = em_andamento || !MesmoConteudo(s, antes);
    if (!MesmoConteudo(s, ultimo)) {
      ultimo = s;
      mudou = Clock::now();
    }
    // The TDM was removed before the reading: once it is there, a done status is this
    // reading's even when it repeats the previous one in every member.
    if (s.Status == kLido1 || s.Status == kLido2) {
      std::error_code ec;
      if (fs::is_regular_file(arquivo_tdm, ec)) {
        Acompanha(s);
        return;
      }
    }
    if (novo) {
      Acompanha(s);
      if (s.Retorno != 0) {
        tdm.CancelaLeitura();
        throw std::runtime_error(FalhaDaLeitura(s));
      }
      if (s.Status == kLendo1 || s.Status == kLendo2) em_andamento = true;
      if (s.Status == kLido1 || s.Status == kLido2)
        throw std::runtime_error("A leitura terminou sem gravar o arquivo " + arquivo_tdm.string() +
                                 ".");
    }
    if (cancelar_.load()) {
      tdm.CancelaLeitura();
      throw std::runtime_error("Leitura cancelada pelo usuário.");
    }
    const auto agora = Clock::now();
    if (!em_andamento && agora - inicio > std::chrono::milliseconds(LimiteInicioMs)) {
      tdm.CancelaLeitura();
      throw std::runtime_error(
          "A leitura das memórias do ECF não começou: verifique a "
          "impressora e o cabo." +
          (s.Mensagem.empty() ? std::string() : " (" + s.Mensagem + ")"));
    }
    if (em_andamento && agora - mudou > std::chrono::milliseconds(LimiteSilencioMs)) {
      tdm.CancelaLeitura();
      throw std::runtime_error(
          "A impressora parou de responder durante a leitura das memórias "
          "do ECF.");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, IntervaloStatusMs)));
  }
}

void TGeraSintegraThread::AguardaConversao(TTDM& tdm) {
  TStatusAtoCotep* c = tdm.Conversao();
  const auto inicio = Clock::now();
  while (!c->AguardaFim(50)) {
    Acompanha(tdm.Atual());
    if (cancelar_.load()) {
      c->Abandona();
      throw std::runtime_error("Leitura cancelada pelo usuário.");
    }
    if (Clock::now() - inicio > std::chrono::milliseconds(LimiteConversaoMs)) {
      c->Abandona();
      throw std::runtime_error("A conversão do arquivo TDM não terminou no tempo esperado.");
    }
  }
  Instantaneo s = c->Le();
  Acompanha(s);
  // The error of the conversion counts even when the end status followed it at once.
  if (auto erro = c->Erro()) throw std::runtime_error(*erro);
  if (s.Retorno != 0) throw std::runtime_error("Arquivo RFD gerado com falha.");
}

std::vector<std::string> ListaPortas(const fs::path& orvik_ini, const fs::path& dev) {
  std::vector<std::string> portas;
  auto acrescenta = [&](const std::string& nome) {
    for (const std::string& p : portas)
      if (common::iequals(p, nome)) return;
    portas.push_back(nome);
  };
  common::IniFile ini(orvik_ini);
  for (const std::string& chave : ini.keys("Portas"))
    if (chave.size() > 3 && common::iequals(chave.substr(0, 3), "COM")) acrescenta(chave);
  std::vector<int> numeros;
  std::error_code ec;
  for (fs::directory_iterator it(dev, ec), fim; !ec && it != fim; it.increment(ec)) {
    std::string nome = it->path().filename().string();
    if (nome.size() <= 4 || nome.rfind("ttyS", 0) != 0) continue;
    std::string resto = nome.substr(4);
    if (resto.size() > 3 || resto.find_first_not_of("0123456789") != std::string::npos) continue;
    numeros.push_back(std::stoi(resto) + 1);
  }
  std::sort(numeros.begin(), numeros.end());
  for (int n : numeros) acrescenta("COM" + std::to_string(n));
  // USB adapters and lines without a COM name are offered by their device path, which
  // the driver and the reading library take as it is.
  for (const std::string& d : common::serial_devices(dev))
    if (fs::path(d).filename().string().rfind("ttyS", 0) != 0) acrescenta(d);
  return portas;
}

fs::path DriverPadrao() {
  if (const char* e = std::getenv("ORVIK_DRIVER"); e && *e) return e;
  std::error_code ec;
  fs::path ao_lado = common::executable_folder().parent_path() / "lib" / "liborvik.so.1";
  if (fs::exists(ao_lado, ec)) return ao_lado;
  return "liborvik.so.1";
}

}  // namespace ecf
