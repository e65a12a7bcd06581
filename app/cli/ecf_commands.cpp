#include "ecf_commands.h"

#include <signal.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
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

std::atomic<ecf::TGeraSintegraThread*> g_leitura{nullptr};

extern "C" void CancelaLeitura(int) {
  if (ecf::TGeraSintegraThread* t = g_leitura.load()) t->Cancela();
}

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

  // Ctrl-C cancels the reading in the library; the run then fails as cancelled.
  g_leitura.store(&w);
  // sigaction keeps the flags of the handler in place (the database engine's), so it
  // comes back exactly as it was.
  struct sigaction nova {
  }, anterior{};
  nova.sa_handler = CancelaLeitura;
  sigemptyset(&nova.sa_mask);
  ::sigaction(SIGINT, &nova, &anterior);
  std::thread t([&w] { w.Executa(); });
  bool linha = false;
  while (!w.Situacao().Terminado) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    if (!terminal) continue;
    ecf::SituacaoLeitura st = w.Situacao();
    c.err << "\r\33[K" << st.Percentual << "% " << st.MensagemStatus << std::flush;
    linha = true;
  }
  t.join();
  ::sigaction(SIGINT, &anterior, nullptr);
  g_leitura.store(nullptr);
  if (linha) c.err << "\n" << std::flush;

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
