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

}  // namespace
