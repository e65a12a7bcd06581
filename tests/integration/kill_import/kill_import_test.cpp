// A process killed with SIGKILL in the middle of writing: the product import of
// tributarium-cli, and the invoice and item saves of the windows (invoice_child). Each
// case states what stays in the base; afterwards the next start opens it and works.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "common/files.h"
#include "shell/testing/dbf_fixture.h"
#include "store/firebird.h"

namespace {

namespace fs = std::filesystem;

// A child whose stdout or stderr is read line by line.
class Filho {
 public:
  // fd_lido: 1 to read stdout, 2 to read stderr (the other goes to `resto`).
  Filho(std::vector<std::string> args, const fs::path& pasta, int fd_lido, const fs::path& resto) {
    int p[2];
    if (::pipe(p) != 0) throw std::runtime_error("pipe");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
      if (::chdir(pasta.c_str()) != 0) ::_exit(126);
      int r = ::open(resto.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      ::dup2(p[1], fd_lido);
      ::dup2(r, fd_lido == 1 ? 2 : 1);
      ::close(p[0]);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(p[1]);
    fd_ = p[0];
  }
  ~Filho() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(fd_);
  }
  // The next line, or nothing when the child ended or `segundos` passed.
  std::optional<std::string> Linha(int segundos = 60) {
    const auto fim = std::chrono::steady_clock::now() + std::chrono::seconds(segundos);
    for (;;) {
      auto nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string l = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return l;
      }
      auto falta = std::chrono::duration_cast<std::chrono::milliseconds>(
          fim - std::chrono::steady_clock::now());
      if (falta.count() <= 0) return std::nullopt;
      pollfd f{fd_, POLLIN, 0};
      if (::poll(&f, 1, static_cast<int>(falta.count())) <= 0) return std::nullopt;
      char b[65536];
      ssize_t n = ::read(fd_, b, sizeof b);
      if (n <= 0) return std::nullopt;
      buffer_.append(b, static_cast<std::size_t>(n));
    }
  }
  void Mata() {
    ::kill(pid_, SIGKILL);
    int st = 0;
    ::waitpid(pid_, &st, 0);
    pid_ = -1;
    ASSERT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == SIGKILL) << "the child ended before the kill";
  }
  // Exit code after the end (-1 when killed).
  int Espera() {
    int st = 0;
    ::waitpid(pid_, &st, 0);
    pid_ = -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  }

 private:
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string buffer_;
};

class KilledWhileWriting : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kill_import_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    ::setenv("TRIBUTARIUM_LOGIN", "admin", 1);
    ::setenv("TRIBUTARIUM_SENHA", "admin", 1);
    ASSERT_EQ(Roda({TRIBUTARIUM_CLI, "init"}), 0);
    ASSERT_EQ(Roda({TRIBUTARIUM_CLI, "base", "criar", "Mercado"}), 0);
  }
  void TearDown() override { fs::remove_all(dir_); }

  int Roda(std::vector<std::string> args) {
    Filho f(std::move(args), dir_, 1, dir_ / "saida.txt");
    while (f.Linha()) {
    }
    return f.Espera();
  }
  store::RowSet Consulta(const std::string& sql) {
    store::Connection db;
    db.DatabaseName = (dir_ / "Dados" / "Mercado" / "tributariumdados.fdb").string();
    db.Params = {"user_name=SYSDBA", "password=quernstab"};
    db.Connect();
    store::Transaction tr(db);
    store::Query q("q", tr, sql);
    q.Open();
    store::RowSet r = q.Rows();
    q.Close();
    db.Disconnect();
    return r;
  }
  fs::path dir_;
};

// ---------------------------------------------------------------- the import

constexpr int kProdutos = 10500;  // ten whole batches and a part of one
constexpr int kLote = 1000;

std::vector<std::string> Esperado(int i) {
  // CD_PRODUTO, TX_DESCRICAO, TX_QUANTIDADE, TX_VALOR_UNITARIO, TX_ALIQUOTA, TX_TIPO_ALIQUOTA
  return {std::to_string(i),
          "Produto " + std::to_string(i),
          std::to_string(i % 50) + "000",
          std::to_string(100 + i),
          "1800",
          "ICMS"};
}

class KilledImport : public KilledWhileWriting {
 protected:
  void SetUp() override {
    KilledWhileWriting::SetUp();
    pasta_ = dir_ / "Caixoro";
    fs::create_directories(pasta_);
    std::vector<std::vector<std::string>> pro;
    for (int i = 1; i <= kProdutos; ++i) {
      const std::string preco = std::to_string(100 + i);
      pro.push_back({std::to_string(i), "Produto " + std::to_string(i), std::to_string(i % 50), "",
                     preco.substr(0, preco.size() - 2) + "." + preco.substr(preco.size() - 2), "",
                     "T18"});
    }
    shell::testing::EscreveDbf(pasta_ / "Qzapro.dbf", shell::testing::TabelaProdutos(pro));
    shell::testing::EscreveDbf(pasta_ / "Qzatrb.dbf",
                               shell::testing::TabelaTributos({{"T18", "18.00", "T"}}));
  }
  std::vector<std::string> Importar() {
    return {TRIBUTARIUM_CLI, "caixoro", "importar", pasta_.string(),
            "--base",        "Mercado", "--todos"};
  }
  // The stored products, each checked whole against the table; their codes in key order.
  std::vector<int> Guardados() {
    store::RowSet r = Consulta(
        "select CD_PRODUTO, TX_DESCRICAO, TX_QUANTIDADE, TX_VALOR_UNITARIO, TX_ALIQUOTA, "
        "TX_TIPO_ALIQUOTA from PRODUTO order by ID_PRODUTO");
    std::vector<int> codigos;
    for (const auto& l : r.rows) {
      int i = std::stoi(l[0]);
      EXPECT_EQ(l, Esperado(i));
      codigos.push_back(i);
    }
    return codigos;
  }
  fs::path pasta_;
};

TEST_F(KilledImport, AKilledImportKeepsWholeBatchesOnlyAndTheNextRunCompletesIt) {
  // Killed once the first batch was reported, and once halfway through the run.
  for (int linhas : {1, 1500}) {
    SCOPED_TRACE(linhas);
    const std::size_t antes = Guardados().size();
    std::set<int> relatados;
    {
      Filho f(Importar(), dir_, 2, dir_ / "saida.txt");
      int lidas = 0;
      while (lidas < linhas) {
        auto l = f.Linha();
        ASSERT_TRUE(l) << "the import ended early";
        if (l->rfind("importado\t", 0) == 0) {
          relatados.insert(std::stoi(l->substr(10)));
          ++lidas;
        }
      }
      f.Mata();
    }
    // What stays: whole batches, in table order, every product reported as imported
    // among them; no product of the batch that was being written.
    std::vector<int> guardados = Guardados();
    ASSERT_GE(guardados.size(), antes + relatados.size());
    ASSERT_LT(guardados.size(), static_cast<std::size_t>(kProdutos));
    EXPECT_EQ(guardados.size() % kLote, 0u);
    for (std::size_t k = 0; k < guardados.size(); ++k) EXPECT_EQ(guardados[k], int(k) + 1);
    for (int c : relatados) EXPECT_LE(c, static_cast<int>(guardados.size()));
  }
  // The next run opens the base, refuses what is there by name and imports the rest.
  Filho f(Importar(), dir_, 2, dir_ / "saida.txt");
  std::optional<std::string> l, ultima;
  int recusados = 0;
  while ((l = f.Linha())) {
    if (l->rfind("recusado\t", 0) == 0) ++recusados;
    ultima = l;
  }
  EXPECT_EQ(f.Espera(), 1);
  const std::vector<int> guardados = Guardados();
  ASSERT_EQ(guardados.size(), static_cast<std::size_t>(kProdutos));
  ASSERT_TRUE(ultima);
  EXPECT_EQ(*ultima, std::to_string(kProdutos - recusados) + " de " + std::to_string(kProdutos) +
                         " produtos importados, " + std::to_string(recusados) + " recusados.");
}

// ---------------------------------------------------------------- invoices and items

class KilledInvoice : public KilledWhileWriting {
 protected:
  void SetUp() override {
    KilledWhileWriting::SetUp();
    ASSERT_EQ(Roda(Filho_("preparar")), 0);
  }
  std::vector<std::string> Filho_(const std::string& modo, const std::string& n = "") {
    std::vector<std::string> a = {INVOICE_CHILD, (dir_ / "Dados").string(), "Mercado", modo};
    if (!n.empty()) a.push_back(n);
    return a;
  }
  struct Estado {
    int notas = 0, itens = 0;
  };
  // Every invoice and item whole, the stock of each product the sum of its items, and
  // the inventory row the stock.
  Estado Confere() {
    Estado e;
    store::RowSet n = Consulta(
        "select ID_NOTA, NB_NOTA, TX_CNPJ, TX_IE, TX_UF, NB_MODELO, TX_SERIE, NB_CFOP, "
        "TX_EMITENTE, TX_SITUACAO from NOTA_FISCAL");
    std::set<std::string> chaves, numeros;
    for (std::size_t i = 0; i < n.size(); ++i) {
      chaves.insert(n.at(i, "ID_NOTA"));
      EXPECT_TRUE(numeros.insert(n.at(i, "NB_NOTA")).second);
      EXPECT_EQ(n.rows[i][2], "04252011000110    ");  // CHAR(18)
      EXPECT_EQ(std::vector<std::string>(n.rows[i].begin() + 3, n.rows[i].end()),
                (std::vector<std::string>{"123", "RJ", "1", "1  ", "1102", "Terceiro", "N"}));
    }
    e.notas = static_cast<int>(n.size());
    store::RowSet it = Consulta(
        "select ID_NOTA, CD_PRODUTO, TX_QUANTIDADE, TX_BASE_ICMS, TX_DESCRICAO from PRODUTO_NOTA");
    std::map<std::string, long long> soma;
    for (std::size_t i = 0; i < it.size(); ++i) {
      EXPECT_TRUE(chaves.count(it.at(i, "ID_NOTA"))) << "an item without its invoice";
      const long long q = std::stoll(it.at(i, "TX_QUANTIDADE"));
      EXPECT_EQ(it.at(i, "TX_BASE_ICMS"), it.at(i, "TX_QUANTIDADE"));  // quantity x 10,00
      EXPECT_EQ(it.at(i, "TX_DESCRICAO"), "Parafuso");
      soma[it.at(i, "CD_PRODUTO")] += q;
    }
    e.itens = static_cast<int>(it.size());
    store::RowSet p = Consulta(
        "select p.CD_PRODUTO, p.TX_QUANTIDADE, i.QUANTIDADE from PRODUTO p left join INVENTARIO "
        "i on i.ID_PRODUTO = p.ID_PRODUTO order by p.CD_PRODUTO");
    EXPECT_EQ(p.size(), 2u) << "only the two prepared products";
    for (const auto& l : p.rows) {
      SCOPED_TRACE(l[0]);
      EXPECT_EQ(std::stoll(l[1]), soma[l[0]]);
      EXPECT_EQ(l[2], l[1]);
    }
    return e;
  }
};

TEST_F(KilledInvoice, KilledBeforeAnItemsWritesCommitLeavesNoTraceOfTheItem) {
  // At the product dialog of an unregistered code (nothing written yet), and while the
  // item, its product and inventory row are written but not committed.
  for (const char* modo : {"dialogo", "grupo"}) {
    SCOPED_TRACE(modo);
    const Estado antes = Confere();
    {
      Filho f(Filho_(modo), dir_, 1, dir_ / "saida.txt");
      ASSERT_EQ(f.Linha(), std::optional<std::string>("nota " + std::to_string(antes.notas + 1)));
      ASSERT_EQ(f.Linha(), std::optional<std::string>(modo));
      f.Mata();
    }
    const Estado depois = Confere();
    EXPECT_EQ(depois.notas, antes.notas + 1);
    EXPECT_EQ(depois.itens, antes.itens);
  }
  // The next start opens the base and saves invoices and items.
  ASSERT_EQ(Roda(Filho_("notas", "2")), 0);
  const Estado fim = Confere();
  EXPECT_EQ(fim.notas, 4);
  EXPECT_EQ(fim.itens, 4);
}

TEST_F(KilledInvoice, KilledAtAnyPointOfASeriesOfSavesLeavesOnlyWholeRows) {
  // Killed after a number of reported saves and a pause that lands anywhere in the next.
  const std::pair<int, int> pontos[] = {{1, 0}, {4, 3}, {7, 11}, {10, 23}, {13, 37}};
  int notas = 0;
  for (auto [saves, ms] : pontos) {
    SCOPED_TRACE(saves);
    {
      Filho f(Filho_("notas", "50"), dir_, 1, dir_ / "saida.txt");
      for (int i = 0; i < saves; ++i) ASSERT_TRUE(f.Linha());
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      f.Mata();
    }
    const Estado e = Confere();
    EXPECT_GE(e.notas, notas);
    notas = e.notas;
  }
  ASSERT_EQ(Roda(Filho_("notas", "1")), 0);
  const Estado fim = Confere();
  EXPECT_EQ(fim.notas, notas + 1);
}

}  // namespace
