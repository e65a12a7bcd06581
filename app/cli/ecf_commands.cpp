#include "ecf_commands.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "common/orvik_ini.h"
#include "ecf/gera_sintegra_thread.h"
#include "ecf/proprietario.h"
#include "generation/log_em_lote.h"
#include "generation/opcoes_geracao.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

constexpr int kSinaisDeFim[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<ecf::TGeraSintegraThread*> g_leitura{nullptr};
std::atomic<int> g_sinal{0};

extern "C" void CancelaLeitura(int sinal) {
  g_sinal.store(sinal);
  if (ecf::TGeraSintegraThread* t = g_leitura.load()) t->Cancela();
}

// Ctrl-C, SIGTERM and SIGHUP cancel a reading. The embedded database engine installs
// handlers of its own at its first connection; left in place they would shut the
// connections under the reading and leave the process waiting in the detach at exit, so
// the reading takes the signals back (as the windows program does after connecting) and
// hands them back to the engine when it ends. sigaction keeps the engine's flags, so its
// handlers come back exactly as they were.
class SinaisDaLeitura {
 public:
  explicit SinaisDaLeitura(ecf::TGeraSintegraThread& w) {
    g_sinal.store(0);
    g_leitura.store(&w);
    struct sigaction nova {};
    nova.sa_handler = CancelaLeitura;
    sigemptyset(&nova.sa_mask);
    nova.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSinaisDeFim); ++i)
      ::sigaction(kSinaisDeFim[i], &nova, &anteriores_[i]);
  }
  ~SinaisDaLeitura() {
    for (size_t i = 0; i < std::size(kSinaisDeFim); ++i)
      ::sigaction(kSinaisDeFim[i], &anteriores_[i], nullptr);
    g_leitura.store(nullptr);
  }
  SinaisDaLeitura(const SinaisDaLeitura&) = delete;
  SinaisDaLeitura& operator=(const SinaisDaLeitura&) = delete;

  // The signal that cancelled the reading, 0 when none came.
  static int Recebido() { return g_sinal.load(); }

 private:
  struct sigaction anteriores_[std::size(kSinaisDeFim)]{};
};

// How long a cancelled reading may take to stop. A driver call already under way (a
// printer that stopped answering in the middle of a command) is not cut short; the
// process then ends without waiting for it, keeping every earlier file as it was.
constexpr auto kPrazoDoCancelamento = std::chrono::milliseconds(1500);
constexpr const char kLeituraCancelada[] = "Leitura cancelada pelo usuário.";

// "--name value" pairs only.
std::map<std::string, std::string> Opcoes(const Arguments& args,
                                          const std::set<std::string>& conhecidas) {
  std::map<std::string, std::string> v;
  // Options come in pairs: name, value.
  for (size_t i = 0; i < args.size(); i += 2) {
    if (!conhecidas.count(args[i])) throw UsageError("argumento inesperado: " + args[i]);
    if (i + 1 >= args.size()) throw UsageError("falta o valor de " + args[i]);
    v[args[i]] = args[i + 1];
  }
  return v;
}

int Numero(const std::map<std::string, std::string>& o, const std::string& nome, int min, int max) {
  auto it = o.find(nome);
  if (it == o.end()) throw UsageError("falta " + nome);
  size_t usados = 0;
  int n = 0;
  try {
    n = std::stoi(it->second, &usados);
  } catch (const std::exception&) {
    usados = 0;
  }
  if (it->second.empty() || usados != it->second.size() || n < min || n > max)
    throw UsageError(nome + " deve ser um número de " + std::to_string(min) + " a " +
                     std::to_string(max) + ": " + it->second);
  return n;
}

int MascaraDe(const std::string& lista) {
  int m = 0;
  size_t inicio = 0;
  while (inicio <= lista.size()) {
    size_t fim = lista.find(',', inicio);
    if (fim == std::string::npos) fim = lista.size();
    std::string t = lista.substr(inicio, fim - inicio);
    if (t == "60D")
      m |= 4;
    else if (t == "60I")
      m |= 8;
    else if (t == "60R")
      m |= 16;
    else if (!t.empty())
      throw UsageError("--tipos aceita 60D, 60I e 60R: " + t);
    inicio = fim + 1;
  }
  return m;
}

int Portas(const Arguments& args, Context& c) {
  RequireArguments(args, 0);
  for (const std::string& p : ecf::ListaPortas(common::orvik_ini_path())) c.out << p << "\n";
  return kExitSuccess;
}

int Ler(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  auto o = Opcoes(args, {"--base", "--mes", "--ano", "--porta", "--tipos"});
  auto base = o.find("--base");
  if (base == o.end()) throw UsageError("falta --base");
  int mes = Numero(o, "--mes", 1, 12);
  int ano = Numero(o, "--ano", 2000, 3000);
  int mascara = o.count("--tipos") ? MascaraDe(o["--tipos"]) : 0;
  std::optional<std::string> porta;
  if (o.count("--porta")) porta = o["--porta"];

  Sessao s(g);
  s.ConectaCatalogo();
  s.Login();
  std::optional<Base> b = s.BuscaBase(base->second);
  if (!b) throw std::runtime_error("Base de dados não encontrada: \"" + base->second + "\".");
  s.AbreBase(*b);
  c.out << LeituraEcf(s, mes, ano, porta, mascara, c, g.progresso_no_terminal) << "\n";
  return kExitSuccess;
}

}  // namespace

std::string LeituraEcf(Sessao& s, int mes, int ano, const std::optional<std::string>& porta,
                       int mascara, Context& c, bool terminal) {
  generation::LogEmLote log(s.Modulo(), [&c](const std::string& m) { c.err << m << "\n"; });
  log.Grava("--> Iniciando leitura de dados da ECF.");

  ecf::TGeraSintegraThread w;
  if (porta) {
    w.Porta = *porta;
  } else {
    // As the dialog: a single port is taken; otherwise none, and the port test says so.
    std::vector<std::string> portas = ecf::ListaPortas(common::orvik_ini_path());
    if (portas.size() == 1) w.Porta = portas[0];
  }
  w.MascaraRegistros = mascara;
  w.Mes = std::to_string(mes);
  w.Ano = std::to_string(ano);
  w.Proprietario = ecf::TextosDoProprietario();
  w.ArquivoSaida = ecf::NomeArquivoSaida(mes, ano);
  const fs::path path_sintegra = fs::absolute(s.Configuracao().PathSintegra()).lexically_normal();
  w.DiretorioSintegra = path_sintegra.string();
  while (w.DiretorioSintegra.size() > 1 && w.DiretorioSintegra.back() == '/')
    w.DiretorioSintegra.pop_back();

  bool linha = false;
  {
    SinaisDaLeitura sinais(w);
    std::thread t([&w] { w.Executa(); });
    std::optional<std::chrono::steady_clock::time_point> cancelada_em;
    while (!w.Situacao().Terminado) {
      std::this_thread::sleep_for(std::chrono::milliseconds(terminal ? 200 : 20));
      if (SinaisDaLeitura::Recebido() != 0) {
        const auto agora = std::chrono::steady_clock::now();
        if (!cancelada_em) cancelada_em = agora;
        if (agora - *cancelada_em > kPrazoDoCancelamento) {
          c.err << (linha ? "\n" : "") << kLeituraCancelada << "\n" << std::flush;
          std::_Exit(kExitFailure);
        }
      }
      if (!terminal) continue;
      ecf::SituacaoLeitura st = w.Situacao();
      c.err << "\r\33[K" << st.Percentual << "% " << st.MensagemStatus << std::flush;
      linha = true;
    }
    t.join();
  }
  if (linha) c.err << "\n" << std::flush;

  // A signal cancels the reading whatever step it came in: a reading that still ended
  // well is not used, and the month's folder keeps what it had. The process then ends
  // here, once the log lines are committed: a signal that reached one of the embedded
  // engine's threads can leave its detach waiting for ever, and nothing is left to save.
  if (SinaisDaLeitura::Recebido() != 0) {
    log.Grava(std::string("--> Geração do sintegra da ECF concluido com erro. Erro: ") +
              kLeituraCancelada);
    log.Grava("--> Fim da leitura de dados da ECF.");
    log.Confirma();
    c.err << kLeituraCancelada << "\n" << std::flush;
    c.out << std::flush;
    std::_Exit(kExitFailure);
  }

  const std::string mensagem = w.Situacao().MensagemStatus;
  if (!w.Resultado()) {
    log.Grava("--> Geração do sintegra da ECF concluido com erro. Erro: " + mensagem);
    log.Grava("--> Fim da leitura de dados da ECF.");
    throw std::runtime_error(
        "Ocorreu um erro durante a execução dessa operação.\nPor favor, entre em contato com o "
        "administrador do sistema.\n\nErro:\n" +
        mensagem);
  }
  log.Grava("--> Geração do sintegra da ECF concluido com sucesso.");
  log.Grava("--> Fim da leitura de dados da ECF.");

  // Into the month's folder, as the generation screen does; when that folder cannot be
  // made the file stays where the reading left it.
  fs::path arquivo = w.ArquivoSaida;
  fs::path pasta = generation::PastaDaGeracao(path_sintegra, ano, mes);
  if (!generation::CriaPasta(pasta)) {
    c.err << generation::kFalhaPasta << "\n" << pasta.string() << "\n";
    return arquivo.string();
  }
  return generation::MoveArquivo(arquivo, pasta).string();
}

void AddEcfCommands(Dispatcher& d, const OpcoesGlobais& g) {
  d.Add({{"ecf", "portas"},
         "",
         "as portas seriais oferecidas para a leitura da impressora fiscal",
         [](const Arguments& a, Context& c) { return Portas(a, c); }});
  d.Add({{"ecf", "ler"},
         "--base NOME --mes M --ano AAAA [--porta COMn] [--tipos 60D,60I,60R]",
         "lê o mês da impressora fiscal e grava os registros tipo 60 e 75 na pasta do mês; "
         "mostra o caminho do arquivo",
         [&g](const Arguments& a, Context& c) { return Ler(g, a, c); }});
}

}  // namespace cli
