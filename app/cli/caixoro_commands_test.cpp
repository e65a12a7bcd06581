// The caixoro commands run as scripts run them: the built program in a fresh folder, the
// point-of-sale tables written with shapelib, the products read back from the base.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/files.h"
#include "shell/testing/dbf_fixture.h"
#include "store/data_module.h"
#include "store/entities.h"
#include "store/firebird.h"

namespace {

namespace fs = std::filesystem;
using shell::testing::EscreveDbf;

struct Saida {
  int codigo = -1;
  std::string out, err;
};

class CaixoroCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/caixoro_cli_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    caixoro_ = dir_ / "Caixoro";
    fs::create_directories(caixoro_);
    ::setenv("LSAN_OPTIONS", "print_suppressions=0", 1);
    ::setenv("TRIBUTARIUM_LOGIN", "admin", 1);
    ::setenv("TRIBUTARIUM_SENHA", "admin", 1);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Saida Cli(std::vector<std::string> args) {
    fs::path out = dir_ / ".out", err = dir_ / ".err";
    args.insert(args.begin(), TRIBUTARIUM_CLI);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
      if (::chdir(dir_.c_str()) != 0) ::_exit(126);
      int fo = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int fe = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fo, 1);
      ::dup2(fe, 2);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    Saida s;
    s.codigo = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    s.out = common::read_file(out).value_or("");
    s.err = common::read_file(err).value_or("");
    return s;
  }
  void Base() {
    ASSERT_EQ(Cli({"init"}).codigo, 0);
    Saida s = Cli({"base", "criar", "Mercado"});
    ASSERT_EQ(s.codigo, 0) << s.err;
  }
  store::RowSet Produtos() {
    store::Connection db;
    db.DatabaseName = (dir_ / "Dados" / "Mercado" / "tributariumdados.fdb").string();
    db.Params = {"user_name=SYSDBA", "password=quernstab"};
    db.Connect();
    store::Transaction tr(db);
    store::Query q("q", tr,
                   "select CD_PRODUTO, TX_DESCRICAO, TX_QUANTIDADE, TX_VALOR_UNITARIO, "
                   "TX_ALIQUOTA, TX_TIPO_ALIQUOTA, TX_UNIDADE from PRODUTO order by ID_PRODUTO");
    q.Open();
    store::RowSet r = q.Rows();
    q.Close();
    db.Disconnect();
    return r;
  }
  void Tabelas() {
    EscreveDbf(caixoro_ / "QZAPRO.DBF",
               shell::testing::TabelaProdutos({{"10",
                                                "A\xE7\xFA"
                                                "car",
                                                "5", "", "4.99", "K", "T18"},
                                               {"20", "Sab\xE3o", "1.5", "3", "2.125", "", "S05"},
                                               {"30", "Vela", "", "", "", "O", "XXX"}}));
    EscreveDbf(caixoro_ / "Qzatrb.dbf",
               shell::testing::TabelaTributos({{"T18", "18", "T"}, {"S05", "5.00", "S"}}));
  }
  fs::path dir_, caixoro_;
};

TEST_F(CaixoroCliTest, ProprietarioPrintsTheValuesTheOwnerEditorWouldReceive) {
  EscreveDbf(caixoro_ / "qzaprm.dbf",
             shell::testing::TabelaDono({"11222333000181", "ISENTO", "Mercado S\xE3o Jos\xE9",
                                         "Manaus", "AM", "Rua Um", "S/N", "Centro", "", "69005",
                                         "141", "Ana", "(92)", "32345678", ""}));
  Saida s = Cli({"caixoro", "proprietario", caixoro_.string()});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(s.out,
            "CNPJ\t11222333000181\nInscrição Estadual\tISENTO\nRazão Social\tMercado São "
            "José\nCidade\tManaus\nEstado\tAM\nLogradouro\tRua Um\nNúmero\t0\nComplemento\t\n"
            "Bairro\tCentro\nNome do Contato\tAna\nCEP\t69005141\nTelefone\t9232345678\nFAX\t\n");
  EXPECT_EQ(s.err,
            "O número \"S/N\" do endereço não é um número; o campo \"Número\" ficou com 0.\n");
}

TEST_F(CaixoroCliTest, ProdutosListsTheReadValuesAsTsv) {
  Tabelas();
  Saida s = Cli({"caixoro", "produtos", caixoro_.string()});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(s.out,
            "Código\tDescrição\tQuantidade\tValor Unitário\tAlíquota\tTipo Aliquota\n"
            "10\tAçúcar\t5,000\t4,99\t18,00\tICMS\n"
            "20\tSabão\t1,500\t2,125\t5,00\tISS\n"
            "30\tVela\t0,000\t0,00\t\t\n");
}

TEST_F(CaixoroCliTest, ImportarInsertsTheChosenProductsAndReportsEachOne) {
  Base();
  Tabelas();
  Saida s =
      Cli({"caixoro", "importar", caixoro_.string(), "--base", "Mercado", "--codigos", "10,20"});
  ASSERT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(s.err, "importado\t10\tAçúcar\nimportado\t20\tSabão\n2 de 2 produtos importados.\n");
  store::RowSet r = Produtos();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r.rows[0],
            (std::vector<std::string>{"10", "Açúcar", "5000", "499", "1800", "ICMS", "KG"}));
  // Three decimals of price are rounded to the column's two.
  EXPECT_EQ(r.rows[1],
            (std::vector<std::string>{"20", "Sabão", "1500", "213", "500", "ISS", "UN"}));

  // The rest: the two already stored are refused by name, the third goes in; exit 1.
  s = Cli({"caixoro", "importar", caixoro_.string(), "--base", "Mercado", "--todos"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_EQ(s.err,
            "recusado\t10\tO item \"Açúcar\" já está cadastrado na base de dados.\nPara inseri-lo "
            "exclua-o da base de dados e execute essa operação novamente.\n"
            "recusado\t20\tO item \"Sabão\" já está cadastrado na base de dados.\nPara inseri-lo "
            "exclua-o da base de dados e execute essa operação novamente.\n"
            "importado\t30\tVela\n1 de 3 produtos importados, 2 recusados.\n");
  EXPECT_EQ(Produtos().size(), 3u);
}

TEST_F(CaixoroCliTest, BadTablesAndUnknownCodesImportNothingAndChangeNoFile) {
  Base();
  Tabelas();
  EscreveDbf(caixoro_ / "QZAPRO.DBF",
             shell::testing::TabelaProdutos(
                 {{"10", "A", "1", "", "1", "", ""}, {"10", "B", "1", "", "1", "", ""}}));
  std::string antes = *common::read_file(caixoro_ / "QZAPRO.DBF");
  Saida s = Cli({"caixoro", "importar", caixoro_.string(), "--base", "Mercado", "--todos"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_EQ(s.err,
            "A tabela \"Qzapro.dbf\" tem 1 registro que não pode ser importado; nada foi "
            "importado:\nregistro 2: PRO_PLU \"10\" repete o do registro 1\n");
  EXPECT_EQ(*common::read_file(caixoro_ / "QZAPRO.DBF"), antes);

  Tabelas();
  s = Cli({"caixoro", "importar", caixoro_.string(), "--base", "Mercado", "--codigos", "10,99"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_EQ(s.err, "Código não encontrado na tabela \"Qzapro.dbf\": 99. Nada foi importado.\n");
  EXPECT_EQ(Produtos().size(), 0u);

  fs::remove(caixoro_ / "Qzatrb.dbf");
  s = Cli({"caixoro", "produtos", caixoro_.string()});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_EQ(s.err,
            "A tabela \"Qzatrb.dbf\" não foi encontrada em \"" + caixoro_.string() + "\".\n");
  EXPECT_EQ(Cli({"caixoro", "importar", caixoro_.string(), "--base", "Mercado"}).codigo, 2);
}

// Two desks on one base through the private server (STORE_SERVER, "host/port"): this process
// saves an invoice item as the item editor does (the invoice, the item and the new product
// it registers in one group, not committed yet) while the command line imports the point of
// sale's products. The import finishes, the one product both write is refused as in use and
// goes in when tried again; the edit commits or is given up; nothing is lost or doubled.
class CaixoroServidorTest : public CaixoroCliTest {
 protected:
  void SetUp() override {
    CaixoroCliTest::SetUp();
    const char* s = std::getenv("STORE_SERVER");
    if (!s) GTEST_SKIP() << "needs the private server (STORE_SERVER)";
    servidor_ = s;
    fs::create_directories(dir_ / "Dados" / "Default");
    fs::copy_file(fs::path(STORE_SHARE_DIR) / "tributariumbase.fdb",
                  dir_ / "Dados" / "tributariumbase.fdb");
    fs::copy_file(fs::path(STORE_SHARE_DIR) / "Default" / "tributariumdados.fdb",
                  dir_ / "Dados" / "Default" / "tributariumdados.fdb");
    std::ofstream(dir_ / "Tributarium.ini")
        << "[Tributarium]\r\nPathBaseDados=" << Local(dir_ / "Dados")
        << "\r\n[Servidor]\r\nUsuario=SYSDBA\r\nSenha=quernstab\r\n";
    // Products 101..130 at the point of sale.
    std::vector<std::vector<std::string>> linhas;
    for (int c = 101; c <= 130; ++c)
      linhas.push_back(
          {std::to_string(c), "Caixa " + std::to_string(c), "1", "", "2.5", "", "T18"});
    EscreveDbf(caixoro_ / "QZAPRO.DBF", shell::testing::TabelaProdutos(linhas));
    EscreveDbf(caixoro_ / "Qzatrb.dbf", shell::testing::TabelaTributos({{"T18", "18", "T"}}));

    mesa_ = std::make_unique<store::TdmTributarium>();
    mesa_->ListaLogDoDia = false;
    mesa_->PathBaseDados = Local(dir_ / "Dados");
    mesa_->UsuarioServidor = "SYSDBA";
    mesa_->SenhaServidor = "quernstab";
    mesa_->ConectaCatalogo();
    mesa_->TrocarBanco("Default", Local(dir_ / "Dados" / "Default"));
    store::TNotaFiscal n;
    n.NB_NOTA = 7;
    n.TX_CNPJ = "11222333000181";
    n.TX_UF = "SP";
    n.DT_EMISSAO = {2024, 3, 5};
    n.TX_EMITENTE = "Próprio";
    n.TX_ALIQUOTA = "1800";
    n.TX_VALOR_TOTAL = "10000";
    ASSERT_TRUE(n.Inserir());
    nota_ = n;
  }
  void TearDown() override {
    mesa_.reset();
    CaixoroCliTest::TearDown();
  }

  std::string Local(const fs::path& p) const { return servidor_ + ":" + p.string(); }

  // Counted by a connection of its own: what is committed.
  std::int64_t Conta(const std::string& sql) {
    store::Connection db;
    db.DatabaseName = Local(dir_ / "Dados" / "Default" / "tributariumdados.fdb");
    db.Params = {"user_name=SYSDBA", "password=quernstab"};
    db.Connect();
    store::Transaction tr(db);
    store::Query q("q", tr, sql);
    q.Open();
    return q.Rows().integer(0, "N");
  }
  std::int64_t Produto(const std::string& codigo) {
    return Conta("select count(*) as N from PRODUTO where CD_PRODUTO = '" + codigo + "'");
  }

  // The item editor's save of an item whose product is new, up to its commit: the invoice
  // header, the item and the product in one group.
  void SalvaItem(store::WriteGroup&, const std::string& codigo) {
    store::TNotaFiscal n = nota_;
    n.TX_VALOR_TOTAL = "12500";
    ASSERT_TRUE(n.Alterar());
    store::TProdutoNotaFiscal item;
    item.CD_PRODUTO = codigo;
    item.NB_ITEM = ++itens_;
    item.TX_QUANTIDADE = "1000";
    item.TX_VALOR_ITEM = "2500";
    item.TX_ALIQUOTA = "1800";
    item.TX_DESCRICAO = "Da mesa";
    item.ID_NOTA = nota_.ID_NOTA;
    ASSERT_TRUE(item.Inserir());
    store::TProduto p;
    p.CD_PRODUTO = codigo;
    p.TX_DESCRICAO = "Da mesa";
    p.TX_UNIDADE = "UN";
    p.TX_TIPO_ALIQUOTA = "ICMS";
    p.TX_ALIQUOTA = "1800";
    p.TX_VALOR_UNITARIO = "000";
    p.TX_PRECO_COMPRA = "2500";
    p.TX_QUANTIDADE = "1000";
    ASSERT_TRUE(p.Inserir());
  }

  std::string servidor_;
  std::unique_ptr<store::TdmTributarium> mesa_;
  store::TNotaFiscal nota_;
  int itens_ = 0;
};

TEST_F(CaixoroServidorTest, ServidorImportBesideAnInvoiceEditFinishesBoth) {
  const std::string emUso = "Registro em uso por outro usuário. Tente novamente.";
  std::string todosMenosO130;
  for (int c = 101; c <= 129; ++c) todosMenosO130 += std::to_string(c) + ",";
  ASSERT_EQ(Conta("select count(*) as N from PRODUTO"), 0);

  // The edit commits after the import: the import's 28 others and the edit's product are in.
  {
    store::WriteGroup grupo(mesa_->trDados);
    SalvaItem(grupo, "115");
    Saida s = Cli({"caixoro", "importar", caixoro_.string(), "--base", "Default", "--codigos",
                   todosMenosO130});
    EXPECT_EQ(s.codigo, 1) << s.err;
    EXPECT_NE(s.err.find("recusado\t115\t" + emUso + "\n"), std::string::npos) << s.err;
    EXPECT_NE(s.err.find("\n28 de 29 produtos importados, 1 recusados.\n"), std::string::npos)
        << s.err;
    EXPECT_EQ(Produto("115"), 0) << "the edit is not committed yet";
    EXPECT_EQ(Conta("select count(*) as N from PRODUTO_NOTA"), 0);
    grupo.Commit();
  }
  EXPECT_EQ(Conta("select count(*) as N from PRODUTO"), 29);
  EXPECT_EQ(Conta("select count(*) as N from PRODUTO where TX_DESCRICAO = 'Da mesa'"), 1);
  EXPECT_EQ(Conta("select count(*) as N from PRODUTO_NOTA"), 1);
  EXPECT_EQ(Conta("select count(*) as N from NOTA_FISCAL where TX_VALOR_TOTAL = '12500'"), 1);
  // Tried again, the product the edit registered is refused by name, not doubled.
  Saida s =
      Cli({"caixoro", "importar", caixoro_.string(), "--base", "Default", "--codigos", "115"});
  EXPECT_EQ(s.codigo, 1);
  EXPECT_NE(s.err.find("recusado\t115\tO item \"Caixa 115\" já está cadastrado"), std::string::npos)
      << s.err;
  EXPECT_EQ(Produto("115"), 1);

  // The edit is given up after the import: tried again, the import brings the product.
  {
    store::WriteGroup grupo(mesa_->trDados);
    SalvaItem(grupo, "130");
    s = Cli({"caixoro", "importar", caixoro_.string(), "--base", "Default", "--codigos", "130"});
    EXPECT_EQ(s.codigo, 1) << s.err;
    EXPECT_EQ(s.err, "recusado\t130\t" + emUso + "\n0 de 1 produtos importados, 1 recusados.\n");
  }
  EXPECT_EQ(Produto("130"), 0);
  s = Cli({"caixoro", "importar", caixoro_.string(), "--base", "Default", "--codigos", "130"});
  EXPECT_EQ(s.codigo, 0) << s.err;
  EXPECT_EQ(s.err, "importado\t130\tCaixa 130\n1 de 1 produtos importados.\n");

  EXPECT_EQ(Conta("select count(*) as N from PRODUTO"), 30);
  EXPECT_EQ(Conta("select count(distinct CD_PRODUTO) as N from PRODUTO"), 30);
  EXPECT_EQ(Conta("select count(*) as N from PRODUTO_NOTA"), 1) << "the given-up item is gone";
  EXPECT_EQ(Conta("select count(*) as N from NOTA_FISCAL"), 1);
}

}  // namespace
