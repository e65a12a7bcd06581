#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <shapefil.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QLabel>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "shell/import/caixoro.h"
#include "shell/import/caixoro_windows.h"
#include "shell/invoices/invoice_editor.h"
#include "shell/invoices/invoice_rules.h"
#include "shell/testing/dbf_fixture.h"
#include "shell/testing/principal_sem_janela.h"
#include "shell/widgets/principal.h"
#include "store/data_module.h"
#include "store/entities.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Pasta() {
  static fs::path p = [] {
    fs::path d = fs::temp_directory_path() / "caixoro-bench";
    fs::create_directories(d);
    std::vector<std::vector<std::string>> pro, trb;
    for (int i = 1; i <= 100000; ++i)
      pro.push_back({std::to_string(i), "Produto de teste " + std::to_string(i), "12.500", "",
                     "4.99", "K", "T" + std::to_string(i % 100)});
    for (int i = 0; i < 100; ++i) trb.push_back({"T" + std::to_string(i), "18.00", "T"});
    shell::testing::EscreveDbf(d / "Qzapro.dbf", shell::testing::TabelaProdutos(pro));
    shell::testing::EscreveDbf(d / "Qzatrb.dbf", shell::testing::TabelaTributos(trb));
    return d;
  }();
  return p;
}

void BM_LeProdutos(benchmark::State& s) {
  const fs::path& d = Pasta();
  for (auto _ : s) benchmark::DoNotOptimize(shell::caixoro::LeProdutos(d));
  s.SetItemsProcessed(s.iterations() * 100000);
}
BENCHMARK(BM_LeProdutos)->Unit(benchmark::kMillisecond);

// The bare loop: every field of the seven read as a string, nothing else.
void BM_ShapelibPuro(benchmark::State& s) {
  const std::string arquivo = (Pasta() / "Qzapro.dbf").string();
  for (auto _ : s) {
    DBFHandle h = DBFOpen(arquivo.c_str(), "rb");
    std::size_t n = 0;
    int campos[7];
    for (int f = 0; f < 7; ++f) campos[f] = f;
    for (int r = 0; r < DBFGetRecordCount(h); ++r) {
      if (DBFIsRecordDeleted(h, r)) continue;
      for (int f : campos) n += std::strlen(DBFReadStringAttribute(h, r, f));
    }
    DBFClose(h);
    benchmark::DoNotOptimize(n);
  }
  s.SetItemsProcessed(s.iterations() * 100000);
}
BENCHMARK(BM_ShapelibPuro)->Unit(benchmark::kMillisecond);

std::vector<shell::caixoro::ProdutoLido>& Lista() {
  static auto l = shell::caixoro::LeProdutos(Pasta());
  return l;
}

void BM_MarcarTodos(benchmark::State& s) {
  shell::TfrmImportarProdutos w(Lista());
  bool marca = true;
  for (auto _ : s) {
    w.MarcarTodos(marca);
    marca = !marca;
  }
}
BENCHMARK(BM_MarcarTodos)->Unit(benchmark::kMicrosecond);

void BM_TrocaDePagina(benchmark::State& s) {
  shell::TfrmImportarProdutos w(Lista());
  for (auto _ : s) {
    if (w.pagina() == w.paginas()) w.Primeiro();
    w.Proximo();
  }
}
BENCHMARK(BM_TrocaDePagina)->Unit(benchmark::kMicrosecond);

void BM_Totais999(benchmark::State& s) {
  std::vector<shell::ValoresItem> itens(999, {"123456", "1000", "500", "000", "1800"});
  for (auto _ : s) benchmark::DoNotOptimize(shell::CalculaTotais(itens, "100", "200"));
}
BENCHMARK(BM_Totais999)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------- writing to a base

// A fresh copy of the template data database, open in the data module.
struct BaseNova {
  fs::path pasta;
  store::TdmTributarium dm;
  explicit BaseNova(const std::string& nome) {
    pasta = fs::temp_directory_path() / "caixoro-bench" / nome;
    fs::remove_all(pasta);
    fs::create_directories(pasta);
    const fs::path share = STORE_SHARE_DIR;
    fs::copy_file(share / store::kCatalogFile, pasta / store::kCatalogFile);
    fs::create_directories(pasta / nome);
    fs::copy_file(share / store::kTemplateFolder / store::kDataFile,
                  pasta / nome / store::kDataFile);
    dm.PathBaseDados = pasta.string();
    dm.ConectaCatalogo();
    dm.TrocarBanco(nome, (pasta / nome).string());
  }
  ~BaseNova() {
    dm.dbDados.Disconnect();
    dm.dbCatalogo.Disconnect();
    fs::remove_all(pasta);
  }
};

// The import as the products editor and the cli run it: 100,000 chosen products.
void BM_ImportaProdutos(benchmark::State& s) {
  const auto& lista = Lista();
  const store::TListaSelecao todos(lista.size(), true);
  for (auto _ : s) {
    s.PauseTiming();
    {
      BaseNova b("importa");
      s.ResumeTiming();
      auto r = shell::caixoro::ImportaProdutos(lista, todos);
      s.PauseTiming();
      if (r.importados != static_cast<int>(lista.size())) s.SkipWithError("import incomplete");
    }
    s.ResumeTiming();
  }
  s.SetItemsProcessed(s.iterations() * static_cast<int64_t>(lista.size()));
}
BENCHMARK(BM_ImportaProdutos)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The floor: the same procedure calls in one transaction, one commit, nothing else.
void BM_InsercoesPuras(benchmark::State& s) {
  const auto& lista = Lista();
  for (auto _ : s) {
    s.PauseTiming();
    {
      BaseNova b("puras");
      store::StoredProc& sp = b.dm.spInserirProduto;
      s.ResumeTiming();
      b.dm.trDados.StartTransaction();
      for (const auto& p : lista) {
        sp.ClearParams();
        sp.SetParam("CD_PRODUTO", p.produto.CD_PRODUTO);
        sp.SetParam("TX_DESCRICAO", p.produto.TX_DESCRICAO);
        sp.SetParam("TX_VALOR_UNITARIO", p.preco);
        sp.SetParam("TX_PRECO_COMPRA", std::string("000"));
        sp.SetParam("TX_UNIDADE", p.produto.TX_UNIDADE);
        sp.SetParam("TX_ALIQUOTA", p.aliquota);
        sp.SetParam("TX_TIPO_ALIQUOTA", p.produto.TX_TIPO_ALIQUOTA);
        sp.SetParam("CS_CONTROLA_ESTOQUE", std::int64_t{0});
        sp.SetParam("TX_QUANTIDADE", p.quantidade);
        sp.ExecProc();
      }
      b.dm.trDados.CommitRetaining();
      s.PauseTiming();
    }
    s.ResumeTiming();
  }
  s.SetItemsProcessed(s.iterations() * static_cast<int64_t>(Lista().size()));
}
BENCHMARK(BM_InsercoesPuras)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One commit per product, as the import did before: 2,000 of them.
void BM_UmCommitPorProduto(benchmark::State& s) {
  const std::vector<shell::caixoro::ProdutoLido> lista(Lista().begin(), Lista().begin() + 2000);
  const store::TListaSelecao todos(lista.size(), true);
  for (auto _ : s) {
    s.PauseTiming();
    {
      BaseNova b("um-a-um");
      s.ResumeTiming();
      shell::caixoro::ImportaProdutos(lista, todos, {}, {}, {}, 1);
      s.PauseTiming();
    }
    s.ResumeTiming();
  }
  s.SetItemsProcessed(s.iterations() * static_cast<int64_t>(lista.size()));
}
BENCHMARK(BM_UmCommitPorProduto)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int Roda(std::vector<std::string> args, const fs::path& pasta, const fs::path& erros) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(pasta.c_str()) != 0) ::_exit(126);
    int fd = ::open(erros.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(fd, 1);
    ::dup2(fd, 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int st = 0;
  ::waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// The whole command: start, login, reading both tables, 100,000 inserts, the report of
// each product on stderr (into a file).
void BM_TributariumCliImportar(benchmark::State& s) {
  const fs::path tabelas = Pasta();
  for (auto _ : s) {
    s.PauseTiming();
    const fs::path dir = fs::temp_directory_path() / "caixoro-bench" / "cli";
    fs::remove_all(dir);
    fs::create_directories(dir);
    setenv("TRIBUTARIUM_LOGIN", "admin", 1);
    setenv("TRIBUTARIUM_SENHA", "admin", 1);
    if (Roda({TRIBUTARIUM_CLI, "init"}, dir, dir / "init.txt") != 0 ||
        Roda({TRIBUTARIUM_CLI, "base", "criar", "Bench"}, dir, dir / "base.txt") != 0) {
      s.SkipWithError("no base");
      break;
    }
    s.ResumeTiming();
    int codigo = Roda(
        {TRIBUTARIUM_CLI, "caixoro", "importar", tabelas.string(), "--base", "Bench", "--todos"},
        dir, dir / "importar.txt");
    s.PauseTiming();
    if (codigo != 0) s.SkipWithError("import failed");
    fs::remove_all(dir);
    s.ResumeTiming();
  }
  s.SetItemsProcessed(s.iterations() * 100000);
}
BENCHMARK(BM_TributariumCliImportar)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// ---------------------------------------------------------------- totals on show

// What showing an invoice of 999 items costs: its items read from the base, the totals
// computed and put in the editor.
void BM_TotaisNaTela999(benchmark::State& s) {
  BaseNova b("totais");
  store::TNotaFiscal n;
  n.NB_NOTA = 1;
  n.TX_CNPJ = "04252011000110";
  n.TX_UF = "RJ";
  n.DT_EMISSAO = {2026, 5, 20};
  n.NB_MODELO = 1;
  n.TX_SERIE = "1";
  n.NB_CFOP = 1102;
  n.TX_EMITENTE = "Terceiro";
  n.TX_SITUACAO = "N";
  if (!n.Inserir()) {
    s.SkipWithError("no invoice");
    return;
  }
  {
    store::WriteGroup g(b.dm.trDados);
    for (int i = 1; i <= 999; ++i) {
      store::TProdutoNotaFiscal it;
      it.CD_PRODUTO = std::to_string(i);
      it.NB_ITEM = i;
      it.TX_QUANTIDADE = "1000";
      it.TX_VALOR_ITEM = "123456";
      it.TX_VALOR_DESCONTO = "1000";
      it.TX_BASE_ICMS = "123456";
      it.TX_BASE_SUBSTITUICAO = "000";
      it.TX_VALOR_IPI = "500";
      it.TX_ALIQUOTA = "1800";
      it.TX_DESCRICAO = "Item " + std::to_string(i);
      it.ID_NOTA = n.ID_NOTA;
      it.Inserir();
    }
    g.Commit();
  }
  shell::testing::PrincipalSemJanela principal(b.dm, false);
  shell::TfrmNotaFiscal e(principal);
  b.dm.tNotaFiscal.Refresh();
  e.Carrega(b.dm.tNotaFiscal.Rows(), 0);
  for (auto _ : s) e.RecalculaTotais();
  if (e.lblNumProdutos()->text() != QStringLiteral("Número de Produtos: 999"))
    s.SkipWithError("items not read");
}
BENCHMARK(BM_TotaisNaTela999)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  fs::remove_all(fs::temp_directory_path() / "caixoro-bench");
  return 0;
}
