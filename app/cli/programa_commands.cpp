#include "programa_commands.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>

#include "ecf_commands.h"
#include "generation/gera_thread.h"
#include "generation/log_em_lote.h"
#include "generation/opcoes_geracao.h"
#include "shell/program/base_files.h"
#include "sinais_parada.h"
#include "sintegra/tipos.h"
#include "store/entities.h"
#include "validacao_gerado.h"

namespace cli {

namespace {

namespace fs = std::filesystem;
using sintegra::TTipoRegistros;

// Options after the command's own words: "--name value" pairs and plain words.
struct Opcoes {
  std::map<std::string, std::string> valores;
  std::vector<std::string> palavras;

  Opcoes(const Arguments& args, const std::set<std::string>& conhecidas) {
    for (size_t i = 0; i < args.size(); ++i) {
      if (args[i].rfind("--", 0) != 0) {
        palavras.push_back(args[i]);
        continue;
      }
      if (!conhecidas.count(args[i])) throw UsageError("opção desconhecida: " + args[i]);
      if (i + 1 >= args.size()) throw UsageError("falta o valor de " + args[i]);
      valores[args[i]] = args[i + 1];
      ++i;
    }
  }
  std::optional<std::string> Valor(const std::string& nome) const {
    auto it = valores.find(nome);
    if (it == valores.end()) return std::nullopt;
    return it->second;
  }
  int Numero(const std::string& nome, int min, int max, std::optional<int> padrao) const {
    auto v = Valor(nome);
    if (!v) {
      if (!padrao) throw UsageError("falta " + nome);
      return *padrao;
    }
    size_t usados = 0;
    int n = 0;
    try {
      n = std::stoi(*v, &usados);
    } catch (const std::exception&) {
      usados = 0;
    }
    if (usados != v->size() || v->empty() || n < min || n > max)
      throw UsageError(nome + " deve ser um número de " + std::to_string(min) + " a " +
                       std::to_string(max) + ": " + *v);
    return n;
  }
};

std::string Absoluto(const std::string& p) {
  return p.empty() ? p : fs::absolute(p).lexically_normal().string();
}

// A base name becomes a folder name: refuse what cannot be one.
void ConfereNome(const std::string& nome) {
  if (nome.empty() || nome == "." || nome == ".." || nome.find('/') != std::string::npos)
    throw UsageError("nome de base inválido: \"" + nome + "\"");
  if (nome.size() > 40) throw UsageError("o nome da base tem mais de 40 caracteres");
}

// ---------------------------------------------------------------- init

int Init(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  RequireArguments(args, 0);
  Sessao s(g);
  std::string pasta = s.Configuracao().PathBaseDados();
  bool instalado = store::InstalaBasesEntregues(pasta);
  s.ConectaCatalogo();
  c.out << (instalado ? "Catálogo instalado em " : "Catálogo já existente em ") << pasta << "\n";
  return kExitSuccess;
}

// ---------------------------------------------------------------- bases

// The template folder copied to the new base's folder. An existing data database there
// is never overwritten.
bool CopiaModelo(const std::string& pasta_base_dados, const store::TBaseDados& base,
                 std::string& motivo) {
  if (LocalDeServidor(base.PATH) || LocalDeServidor(pasta_base_dados)) {
    motivo = "a cópia de arquivos só é possível numa pasta local";
    return false;
  }
  fs::path origem = fs::path(pasta_base_dados) / store::kTemplateFolder;
  fs::path destino = base.PATH;
  std::error_code ec;
  if (!fs::exists(origem / store::kDataFile, ec)) {
    motivo = "não há base modelo em " + origem.string();
    return false;
  }
  if (fs::exists(destino / store::kDataFile, ec)) {
    motivo = "já existe uma base de dados em " + destino.string();
    return false;
  }
  if (!shell::CopiaArquivos(pasta_base_dados, destino.string())) {
    motivo = "não foi possível copiar " + origem.string() + " para " + destino.string();
    return false;
  }
  return true;
}

int BaseCriar(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  Opcoes o(args, {"--pasta"});
  if (o.palavras.size() != 1) throw UsageError("informe o NOME da base");
  const std::string& nome = o.palavras[0];
  ConfereNome(nome);
  Sessao s(g);
  s.ConectaCatalogo();
  s.Login();
  if (s.BuscaBase(nome))
    throw std::runtime_error("Já existe uma base com o nome \"" + nome + "\".");
  std::string pasta = Absoluto(o.Valor("--pasta").value_or(s.Configuracao().PathBaseDados()));
  if (LocalDeServidor(s.Configuracao().PathBaseDados()) && !o.Valor("--pasta"))
    pasta = s.Configuracao().PathBaseDados();
  store::TBaseDados base(0, nullptr, pasta, nome);
  std::string motivo;
  std::string modelo = s.Configuracao().PathBaseDados();
  base.CopiaArquivos = [&](const store::TBaseDados& b) { return CopiaModelo(modelo, b, motivo); };
  if (!base.Inserir(true)) {
    throw std::runtime_error("Falha ao criar arquivos da base de dados!" +
                             (motivo.empty() ? std::string() : " (" + motivo + ")"));
  }
  c.out << base.PATH << "\n";
  return kExitSuccess;
}

int BaseImportar(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  RequireArguments(args, 2);
  const std::string& nome = args[0];
  if (nome.empty()) throw UsageError("informe o NOME da base");
  std::string pasta = LocalDeServidor(args[1]) ? args[1] : Absoluto(args[1]);
  Sessao s(g);
  s.ConectaCatalogo();
  s.Login();
  if (s.BuscaBase(nome))
    throw std::runtime_error("Já existe uma base com o nome \"" + nome + "\".");
  store::TBaseDados base(0, nullptr, pasta, nome);
  if (!base.Inserir(false))
    throw std::runtime_error("Não foi possível registrar a base \"" + nome + "\".");
  if (!LocalDeServidor(pasta) && !fs::exists(fs::path(pasta) / store::kDataFile))
    c.err << "Aviso: " << pasta << " não contém " << store::kDataFile << "\n";
  c.out << base.PATH << "\n";
  return kExitSuccess;
}

int BaseListar(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  RequireArguments(args, 0);
  Sessao s(g);
  s.ConectaCatalogo();
  store::Query& q = s.Modulo().tBaseDados;
  q.Refresh();
  const store::RowSet& r = q.Rows();
  for (size_t i = 0; i < r.size(); ++i)
    c.out << r.at(i, "ID_BASE_DADOS") << '\t' << r.at(i, "NOME_CLIENTE") << '\t' << r.at(i, "PATH")
          << '\n';
  return kExitSuccess;
}

int BaseExcluir(const OpcoesGlobais& g, const Arguments& args, Context&) {
  RequireArguments(args, 1);
  const std::string& nome = args[0];
  Sessao s(g);
  s.ConectaCatalogo();
  s.Login();
  std::optional<Base> b = s.BuscaBase(nome);
  if (!b) throw std::runtime_error("Base de dados não encontrada: \"" + nome + "\".");
  if (b->id == 1)
    throw std::runtime_error("A base \"" + b->nome +
                             "\" é o modelo das novas bases e não pode ser excluída.");
  if (b->nome == s.Configuracao().BaseSelecionada())
    throw std::runtime_error("A base \"" + b->nome +
                             "\" está selecionada na configuração (BaseSelecionada) e não pode "
                             "ser excluída.");
  store::TBaseDados base(b->id, nullptr, b->path, b->nome);
  // Only a subfolder named like the client (in any letter case) goes; the base's own
  // folder is left on disk.
  base.RemoveArquivos = [](const store::TBaseDados& x) {
    return LocalDeServidor(x.PATH) || shell::RemoveArquivos(x.PATH, x.NOME_CLIENTE);
  };
  if (!base.Excluir())
    throw std::runtime_error("Falha ao excluir a base \"" + nome +
                             "\" (Falha ao remover arquivos da base de dados!).");
  return kExitSuccess;
}

// ---------------------------------------------------------------- gerar

std::atomic<generation::TGeraThread*> g_em_execucao{nullptr};

extern "C" void PedeCancelamento(int) {
  if (generation::TGeraThread* t = g_em_execucao.load()) t->Cancela();
}

class ObservadorLinha : public generation::ObservadorGeracao {
 public:
  ObservadorLinha(store::TdmTributarium& dm, Context& c, bool terminal)
      : log_(dm, [&c](const std::string& m) { c.err << m << "\n"; }), c_(c), terminal_(terminal) {}
  ~ObservadorLinha() override { TerminaLinha(); }

  void Progresso(const std::string& tarefa, int percentual) override {
    if (!terminal_) return;
    // One line, rewritten in place; the first line of the task is enough.
    std::string texto = tarefa.substr(0, tarefa.find('\n'));
    c_.err << "\r\33[K" << percentual << "% " << texto << std::flush;
    linha_aberta_ = true;
  }
  void Log(const std::string& linha) override { log_.Grava(linha); }
  void Fecha() override { log_.Confirma(); }
  void Mensagem(bool, const std::string&, const std::string& texto) override { texto_ = texto; }
  void TerminaLinha() {
    if (linha_aberta_) c_.err << "\n" << std::flush;
    linha_aberta_ = false;
  }
  const std::string& Texto() const { return texto_; }

 private:
  generation::LogEmLote log_;
  Context& c_;
  bool terminal_;
  bool linha_aberta_ = false;
  std::string texto_;
};

int Gerar(const OpcoesGlobais& g, const Arguments& todos, Context& c) {
  // --ler-ecf is the one option without a value.
  Arguments args;
  bool ler_ecf = false;
  for (const std::string& a : todos) {
    if (a == "--ler-ecf")
      ler_ecf = true;
    else
      args.push_back(a);
  }
  Opcoes o(args, {"--base", "--mes", "--ano", "--tipos", "--arquivo-60-75", "--natureza",
                  "--finalidade", "--saida", "--porta"});
  if (!o.palavras.empty()) throw UsageError("argumento inesperado: " + o.palavras[0]);
  auto nome = o.Valor("--base");
  if (!nome) throw UsageError("falta --base");
  int mes = o.Numero("--mes", 1, 12, std::nullopt);
  int ano = o.Numero("--ano", 2000, 3000, std::nullopt);
  int natureza = o.Numero("--natureza", 1, 3, 3);
  int finalidade = o.Numero("--finalidade", 1, 4, 1);

  std::set<TTipoRegistros> escolhidos;
  std::string lista = o.Valor("--tipos").value_or("10,11,50,54,74,75,90");
  size_t inicio = 0;
  while (inicio <= lista.size()) {
    size_t fim = lista.find(',', inicio);
    if (fim == std::string::npos) fim = lista.size();
    std::string nome_tipo = lista.substr(inicio, fim - inicio);
    if (!nome_tipo.empty()) {
      auto tipo = sintegra::KindFromName(nome_tipo);
      if (!tipo) throw UsageError("tipo de registro desconhecido: " + nome_tipo);
      escolhidos.insert(*tipo);
    }
    inicio = fim + 1;
  }
  sintegra::TListaTipoRegistros selecao = generation::SelecaoDoRun(escolhidos, natureza);
  std::string arquivo60 = Absoluto(o.Valor("--arquivo-60-75").value_or(""));
  if (ler_ecf) {
    if (!arquivo60.empty()) throw UsageError("--ler-ecf e --arquivo-60-75 não se combinam");
    if (!generation::AlgumTipo60(selecao))
      throw UsageError("--ler-ecf pede ao menos um tipo 60 em --tipos (e --natureza 3)");
  } else if (o.Valor("--porta")) {
    throw UsageError("--porta só vale com --ler-ecf");
  }
  if (auto recusa = generation::RecusaDoRun(selecao, ler_ecf ? "ECF" : arquivo60))
    throw UsageError(*recusa);

  Sessao s(g);
  // No window shows today's log here; the run's lines go in through LogEmLote.
  s.Modulo().ListaLogDoDia = false;
  s.ConectaCatalogo();
  s.Login();
  store::TdmTributarium& dm = s.Modulo();
  std::optional<Base> base = s.BuscaBase(*nome);
  if (!base) throw std::runtime_error("Base de dados não encontrada: \"" + *nome + "\".");
  s.AbreBase(*base);
  if (ler_ecf)
    arquivo60 = LeituraEcf(s, mes, ano, o.Valor("--porta"), generation::MascaraSubtipos(selecao), c,
                           g.progresso_no_terminal);

  fs::path saida;
  if (auto dir = o.Valor("--saida"))
    saida = Absoluto(*dir);
  else
    saida = fs::absolute(generation::PastaDaGeracao(s.Configuracao().PathSintegra(), ano, mes))
                .lexically_normal();
  ObservadorLinha observador(dm, c, g.progresso_no_terminal);
  observador.Log("--> Inicio da Geração do Sintegra.");
  if (!generation::CriaPasta(saida)) {
    observador.Log("<-- Fim da Geração do Sintegra.");
    throw std::runtime_error(std::string(generation::kFalhaPasta) + "\n" + saida.string());
  }

  generation::TGeraThread worker(observador);
  worker.Mes = static_cast<std::int16_t>(mes);
  worker.Ano = static_cast<std::int16_t>(ano);
  worker.NaturezaOperacao = natureza;
  worker.Finalidade = finalidade;
  worker.TiposSelecionados = selecao;
  worker.ArquivoRegistros60e75 = arquivo60;
  worker.DiretorioSaida = saida.string();
  // The pauses between steps let the status window show each task; here they only wait.
  worker.PausaMs = 0;
  // Ctrl-C, SIGTERM and SIGHUP ask the run to stop between rows; nothing is written
  // then and the previous file stays. These handlers stand in for the database
  // engine's own, which would shut the connections under the run.
  g_em_execucao.store(&worker);
  generation::ResultadoGeracao r;
  {
    SinaisDeParada sinais(PedeCancelamento);
    r = worker.Executa();
    observador.Fecha();
  }
  g_em_execucao.store(nullptr);
  observador.TerminaLinha();
  observador.Log("<-- Fim da Geração do Sintegra.");
  switch (r.situacao) {
    case generation::ResultadoGeracao::Situacao::Sucesso:
      c.out << r.arquivo << "\n";
      ValidaArquivoGerado(r.arquivo, mes, ano, c.err);
      return kExitSuccess;
    case generation::ResultadoGeracao::Situacao::Cancelada:
      c.err << "Geração cancelada: nenhum arquivo foi gravado.\n";
      return kExitFailure;
    default:
      c.err << observador.Texto() << "\n";
      return kExitFailure;
  }
}

template <int (*F)(const OpcoesGlobais&, const Arguments&, Context&)>
std::function<int(const Arguments&, Context&)> Com(const OpcoesGlobais& g) {
  return [&g](const Arguments& a, Context& c) { return F(g, a, c); };
}

}  // namespace

void AddProgramaCommands(Dispatcher& d, const OpcoesGlobais& g) {
  d.Add({{"init"},
         "",
         "repara a configuração e, se PathBaseDados não tem catálogo, instala o catálogo e a "
         "base modelo",
         Com<Init>(g)});
  d.Add({{"base", "criar"},
         "NOME [--pasta DIR]",
         "nova base: DIR/NOME (DIR padrão: PathBaseDados) com a cópia da base modelo",
         Com<BaseCriar>(g)});
  d.Add({{"base", "importar"},
         "NOME DIR",
         "registra a base que já está em DIR",
         Com<BaseImportar>(g)});
  d.Add({{"base", "listar"}, "", "uma linha por base: ID, NOME e PATH", Com<BaseListar>(g)});
  d.Add({{"base", "excluir"}, "NOME", "exclui a base do catálogo", Com<BaseExcluir>(g)});
  d.Add({{"gerar"},
         "--base NOME --mes M --ano AAAA [--tipos LISTA] [--arquivo-60-75 ARQUIVO] "
         "[--natureza 1|2|3] [--finalidade 1|2|3|4] [--saida DIR] [--ler-ecf [--porta COMn]]",
         "gera o Sintegra.txt do mês; LISTA entre 10,11,50,54,60A,60D,60I,60M,60R,74,75,90 "
         "(padrão 10,11,50,54,74,75,90); --ler-ecf lê os registros 60 e 75 da impressora "
         "fiscal",
         Com<Gerar>(g)});
}

}  // namespace cli
