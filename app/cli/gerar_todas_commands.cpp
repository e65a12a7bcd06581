#include "gerar_todas_commands.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>
#include <vector>

#include "generation/gera_thread.h"
#include "generation/log_em_lote.h"
#include "generation/opcoes_geracao.h"
#include "sinais_parada.h"
#include "sintegra/tipos.h"
#include "validacao_gerado.h"

namespace cli {

namespace {

namespace fs = std::filesystem;

// Set by Ctrl-C (and SIGTERM, SIGHUP): the base being made is finished, no other starts.
std::atomic<bool> g_parar{false};

extern "C" void PedeParada(int) {
  g_parar.store(true);
}

// Hears one base's run: its log lines go to the operation log in groups, its final
// message is kept for the table.
class Observador : public generation::ObservadorGeracao {
 public:
  Observador(store::TdmTributarium& dm, Context& c)
      : log_(dm, [&c](const std::string& m) { c.err << m << "\n"; }) {}
  void Progresso(const std::string&, int) override {}
  void Log(const std::string& linha) override { log_.Grava(linha); }
  void Fecha() override { log_.Confirma(); }
  void Mensagem(bool, const std::string&, const std::string& texto) override { texto_ = texto; }
  const std::string& Texto() const { return texto_; }

 private:
  generation::LogEmLote log_;
  std::string texto_;
};

struct Linha {
  std::string base, arquivo, registros, validacao, situacao;
  bool falhou = false;
};

// A base name as one folder name.
std::string NomeDePasta(const std::string& nome) {
  std::string s = nome;
  for (char& ch : s)
    if (ch == '/' || ch == '\\') ch = '_';
  if (s.empty() || s == "." || s == "..") s = "_" + s;
  return s;
}

std::string Resumo(const std::map<std::string, long>& contagem) {
  std::string s;
  for (const auto& [tipo, n] : contagem)
    s += (s.empty() ? "" : " ") + tipo + ":" + std::to_string(n);
  return s;
}

// Columns as wide as their widest cell, the last one left free.
void Tabela(std::ostream& out, const std::vector<Linha>& linhas) {
  std::vector<std::vector<std::string>> celulas = {
      {"BASE", "ARQUIVO", "REGISTROS", "VALIDAÇÃO", "SITUAÇÃO"}};
  for (const Linha& l : linhas)
    celulas.push_back({l.base, l.arquivo, l.registros, l.validacao, l.situacao});
  // Widths in characters, not bytes (the names carry accents).
  auto largura = [](const std::string& s) {
    size_t n = 0;
    for (unsigned char ch : s) n += (ch & 0xC0) != 0x80;
    return n;
  };
  const size_t livre = celulas[0].size() - 1;
  std::vector<size_t> w(livre, 0);
  for (const auto& linha : celulas)
    for (size_t i = 0; i < livre; ++i) w[i] = std::max(w[i], largura(linha[i]));
  for (const auto& linha : celulas) {
    for (size_t i = 0; i < livre; ++i)
      out << linha[i] << std::string(w[i] - largura(linha[i]) + 2, ' ');
    out << linha[livre] << "\n";
  }
}

// The validator's counts of a file just made, for its cell of the table.
std::string Validacao(const std::string& arquivo, int mes, int ano) {
  std::ostringstream descarte;  // the table tells the counts; the details are for validar
  sintegra::ContagemAchados n = ValidaArquivoGerado(arquivo, mes, ano, descarte);
  return std::to_string(n.erros) + (n.erros == 1 ? " erro, " : " erros, ") +
         std::to_string(n.avisos) + (n.avisos == 1 ? " aviso" : " avisos");
}

int GerarTodas(const OpcoesGlobais& g, const Arguments& args, Context& c) {
  std::map<std::string, std::string> v;
  const std::set<std::string> conhecidas = {"--mes",      "--ano",        "--tipos",
                                            "--natureza", "--finalidade", "--saida"};
  for (size_t i = 0; i < args.size(); i += 2) {
    if (!conhecidas.count(args[i])) throw UsageError("argumento inesperado: " + args[i]);
    if (i + 1 >= args.size()) throw UsageError("falta o valor de " + args[i]);
    v[args[i]] = args[i + 1];
  }
  auto numero = [&](const std::string& nome, int min, int max, std::optional<int> padrao) {
    auto it = v.find(nome);
    if (it == v.end()) {
      if (!padrao) throw UsageError("falta " + nome);
      return *padrao;
    }
    size_t usados = 0;
    int n = 0;
    try {
      n = std::stoi(it->second, &usados);
    } catch (const std::exception&) {
      usados = 0;
    }
    if (usados != it->second.size() || it->second.empty() || n < min || n > max)
      throw UsageError(nome + " deve ser um número de " + std::to_string(min) + " a " +
                       std::to_string(max) + ": " + it->second);
    return n;
  };
  int mes = numero("--mes", 1, 12, std::nullopt);
  int ano = numero("--ano", 2000, 3000, std::nullopt);
  int natureza = numero("--natureza", 1, 3, 3);
  int finalidade = numero("--finalidade", 1, 4, 1);
  std::set<sintegra::TTipoRegistros> escolhidos;
  std::string lista = v.count("--tipos") ? v["--tipos"] : "10,11,50,54,74,75,90";
  std::stringstream partes(lista);
  for (std::string nome; std::getline(partes, nome, ',');) {
    if (nome.empty()) continue;
    auto tipo = sintegra::KindFromName(nome);
    if (!tipo) throw UsageError("tipo de registro desconhecido: " + nome);
    // The printer's records come from one printer's file, which belongs to one base.
    if (nome.rfind("60", 0) == 0)
      throw UsageError("gerar --todas não lê registros tipo 60: use gerar --base");
    escolhidos.insert(*tipo);
  }
  sintegra::TListaTipoRegistros selecao = generation::SelecaoDoRun(escolhidos, natureza);
  if (auto recusa = generation::RecusaDoRun(selecao, "")) throw UsageError(*recusa);

  Sessao s(g);
  s.Modulo().ListaLogDoDia = false;
  s.ConectaCatalogo();
  s.Login();
  store::TdmTributarium& dm = s.Modulo();
  std::vector<Base> bases;
  {
    store::Query& q = dm.tBaseDados;
    q.Refresh();
    const store::RowSet& r = q.Rows();
    for (size_t i = 0; i < r.size(); ++i) {
      int id = static_cast<int>(r.integer(i, "ID_BASE_DADOS"));
      // Base 1 is the empty model of new bases, no client's.
      if (id == 1) continue;
      bases.push_back({id, r.at(i, "NOME_CLIENTE"), r.at(i, "PATH")});
    }
  }
  fs::path raiz =
      v.count("--saida")
          ? fs::absolute(v["--saida"]).lexically_normal()
          : fs::absolute(generation::PastaDaGeracao(s.Configuracao().PathSintegra(), ano, mes))
                .lexically_normal();

  g_parar.store(false);
  std::vector<Linha> linhas;
  bool alguma_falha = false;
  {
    SinaisDeParada sinais(PedeParada);
    for (const Base& b : bases) {
      Linha l;
      l.base = b.nome;
      if (g_parar.load()) {
        l.situacao = "não gerada (interrompido)";
        l.falhou = true;
        linhas.push_back(l);
        alguma_falha = true;
        continue;
      }
      if (g.progresso_no_terminal) c.err << "\r\33[K" << b.nome << " ..." << std::flush;
      fs::path saida = raiz / NomeDePasta(b.nome);
      try {
        s.AbreBase(b);
        if (!generation::CriaPasta(saida))
          throw std::runtime_error(std::string(generation::kFalhaPasta) + " " + saida.string());
        Observador observador(dm, c);
        observador.Log("--> Inicio da Geração do Sintegra.");
        generation::TGeraThread worker(observador);
        worker.Mes = static_cast<std::int16_t>(mes);
        worker.Ano = static_cast<std::int16_t>(ano);
        worker.NaturezaOperacao = natureza;
        worker.Finalidade = finalidade;
        worker.TiposSelecionados = selecao;
        worker.DiretorioSaida = saida.string();
        worker.PausaMs = 0;
        generation::ResultadoGeracao r = worker.Executa();
        observador.Log("<-- Fim da Geração do Sintegra.");
        observador.Fecha();
        if (r.situacao != generation::ResultadoGeracao::Situacao::Sucesso)
          throw std::runtime_error(r.erro.empty() ? observador.Texto() : r.erro);
        l.arquivo = r.arquivo;
        l.registros = Resumo(ContaRegistros(r.arquivo));
        l.validacao = Validacao(r.arquivo, mes, ano);
        l.situacao = "ok";
      } catch (const std::exception& e) {
        std::string m = e.what();
        for (char& ch : m)
          if (ch == '\n') ch = ' ';
        l.situacao = "FALHA: " + m;
        l.falhou = true;
        alguma_falha = true;
      }
      s.Modulo().dbDados.Disconnect();
      linhas.push_back(l);
    }
  }
  if (g.progresso_no_terminal) c.err << "\r\33[K" << std::flush;
  Tabela(c.out, linhas);
  if (g_parar.load()) c.err << "Interrompido: as bases seguintes não foram geradas.\n";
  return alguma_falha ? kExitFailure : kExitSuccess;
}

template <int (*F)(const OpcoesGlobais&, const Arguments&, Context&)>
std::function<int(const Arguments&, Context&)> Com(const OpcoesGlobais& g) {
  return [&g](const Arguments& a, Context& c) { return F(g, a, c); };
}

}  // namespace

std::map<std::string, long> ContaRegistros(const std::string& arquivo) {
  std::map<std::string, long> n;
  std::ifstream in(arquivo, std::ios::binary);
  for (std::string linha; std::getline(in, linha);)
    if (linha.size() >= 2) ++n[linha.substr(0, 2)];
  return n;
}

void AddGerarTodasCommands(Dispatcher& d, const OpcoesGlobais& g) {
  d.Add({{"gerar", "--todas"},
         "--mes M --ano AAAA [--tipos LISTA] [--natureza 1|2|3] [--finalidade 1|2|3|4] "
         "[--saida DIR]",
         "gera o mês de cada base do catálogo (menos a modelo), uma após a outra, em "
         "DIR/NOME (DIR padrão: a pasta do mês em PathSintegra); uma tabela por base; "
         "Ctrl-C para depois da base em curso",
         Com<GerarTodas>(g)});
}

}  // namespace cli
