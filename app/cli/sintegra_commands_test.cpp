// The sintegra commands, run as the built program is run from a script.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sintegra/registros.h"
#include "sintegra/tipos.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string Pad(std::string line) {
  line.resize(126, ' ');
  return line;
}

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/sintegra_cli_XXXXXX";
    dir_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv_text = {TRIBUTARIUM_CLI};
    argv_text.insert(argv_text.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_text) argv.push_back(a.data());
    argv.push_back(nullptr);
    fs::path out = dir_ / "stdout.txt", err = dir_ / "stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Outcome o;
    int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
      ADD_FAILURE() << "could not start " << argv[0];
      return o;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    o.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    o.out = ReadAll(out);
    o.err = ReadAll(err);
    fs::remove(out);
    fs::remove(err);
    return o;
  }

  fs::path dir_;
};

const std::string kOwner =
    Pad("10"
        "11222333000181"
        "ISENTO        "
        "LOJA");
// "RUA SÃO JOÃO" in Windows-1252, as the file holds it.
const std::string kAddress =
    Pad("11"
        "RUA S\xC3O JO\xC3O");

TEST_F(CliTest, LerCountsEachKindPresentInKindOrder) {
  const std::string text = kOwner + "\r\n" + kAddress + "\r\n" + Pad("50") + "\r\n" + Pad("75") +
                           "\r\n" + Pad("50") + "\r\n" + Pad("60M") + "\r\n" + Pad("60A") + "\r\n" +
                           Pad("60A") + "\r\n" + Pad("90") + "\r\n";
  WriteAll(dir_ / "in.txt", text);
  Outcome o = Run({"sintegra", "ler", (dir_ / "in.txt").string()});
  EXPECT_EQ(o.code, 0);
  EXPECT_EQ(o.out, "10\t1\n11\t1\n50\t2\n60A\t2\n60M\t1\n75\t1\n90\t1\n");
  EXPECT_EQ(o.err, "");
}

TEST_F(CliTest, LerReportsTheLoadErrorInUtf8AndExits1) {
  const std::string path = (dir_ / "in.txt").string();
  WriteAll(path, Pad("50") + "\n" + Pad("60X") + "\n");
  Outcome o = Run({"sintegra", "ler", path});
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(o.err,
            "Erro ao carregar a linha 2 do arquivo " + path + " - Tipo do registro inválido.\n");

  Outcome missing = Run({"sintegra", "ler", (dir_ / "none.txt").string()});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.err.rfind("Não foi possível ler o arquivo ", 0), 0u) << missing.err;
}

TEST_F(CliTest, ReescreverWritesTheRecordsWithAFreshTrailer) {
  // Lines as the records render them, so that they come back byte for byte.
  sintegra::TRegTipo10 owner;
  owner.SetCnpj("11222333000181");
  owner.SetStateRegistration("ISENTO");
  owner.SetName("LOJA S\xC3O JO\xC3O");
  sintegra::TRegTipo50 invoice;
  invoice.SetTotalValue("12,5");
  sintegra::TRegTipo54 item;
  item.SetSituationCode("1");
  const std::string body = owner.RenderLine() + sintegra::TRegTipo11().RenderLine() +
                           invoice.RenderLine() + item.RenderLine() + item.RenderLine();
  const std::string old_trailer =
      Pad("90"
          "11222333000181"
          "ISENTO        "
          "5000000009");
  // The input may end its lines with LF only.
  std::string input = body + old_trailer + "\n";
  WriteAll(dir_ / "in.txt", input);
  fs::create_directory(dir_ / "out");
  WriteAll(dir_ / "out" / "Sintegra.txt", "previous\r\n");

  Outcome o = Run({"sintegra", "reescrever", (dir_ / "in.txt").string(), (dir_ / "out").string()});
  ASSERT_EQ(o.code, 0) << o.err;
  EXPECT_EQ(o.out, (dir_ / "out" / "Sintegra.txt").string() + "\n");
  const std::string trailer =
      "90"
      "11222333000181"
      "ISENTO        "
      "5000000001"
      "5400000002"
      "9900000006" +
      std::string(65, ' ') + "1\r\n";
  const std::string written = ReadAll(dir_ / "out" / "Sintegra.txt");
  EXPECT_EQ(written, body + trailer);

  // Rewriting the result in place gives the same file.
  Outcome again = Run({"sintegra", "reescrever", (dir_ / "out" / "Sintegra.txt").string(),
                       (dir_ / "out").string()});
  ASSERT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(ReadAll(dir_ / "out" / "Sintegra.txt"), written);
}

TEST_F(CliTest, ReescreverIntoAMissingFolderFailsAndSaysWhy) {
  WriteAll(dir_ / "in.txt", Pad("50") + "\r\n");
  Outcome o =
      Run({"sintegra", "reescrever", (dir_ / "in.txt").string(), (dir_ / "missing").string()});
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.out, "");
  EXPECT_EQ(
      o.err.rfind("Gravando Arquivo Sintegra.\nFalha na gravação no arquivo do Sintegra.\n", 0), 0u)
      << o.err;
}

// A line of the kind with these fields set, CR LF included.
std::string Line(sintegra::TTipoRegistros kind,
                 const std::vector<std::pair<int, std::string>>& fields) {
  auto r = sintegra::TRegistro::CriaRegistro(kind);
  for (const auto& [n, v] : fields) r->AtribuiValor(n, v);
  return r->RenderLine();
}

// A month of one invoice with one item and its product, every rule kept; the invoice's
// CNPJ comes from the caller.
std::string Month(const std::string& cnpj50) {
  using K = sintegra::TTipoRegistros;
  return Line(K::Tipo10, {{2, "11222333000181"},
                          {3, "110042490114"},
                          {4, "LOJA"},
                          {5, "CAMPINAS"},
                          {6, "SP"},
                          {8, "20240301"},
                          {9, "20240331"},
                          {10, "3"},
                          {11, "3"},
                          {12, "1"}}) +
         Line(K::Tipo11, {{2, "RUA A"}, {3, "1"}, {6, "13015002"}}) +
         Line(K::Tipo50, {{2, cnpj50},
                          {3, "526018151907"},
                          {4, "20240305"},
                          {5, "SP"},
                          {6, "01"},
                          {7, "1"},
                          {8, "123"},
                          {9, "1102"},
                          {10, "T"},
                          {11, "10000"},
                          {12, "10000"},
                          {16, "1800"},
                          {17, "N"}}) +
         Line(K::Tipo54, {{2, "11444777000161"},
                          {3, "01"},
                          {4, "1"},
                          {5, "123"},
                          {6, "1102"},
                          {7, "000"},
                          {8, "1"},
                          {9, "P1"},
                          {10, "1000"},
                          {11, "10000"},
                          {13, "10000"},
                          {16, "1800"}}) +
         Line(K::Tipo75, {{2, "20240301"}, {3, "20240331"}, {4, "P1"}, {6, "ARROZ"}, {7, "KG"}}) +
         Line(K::Tipo90, {{2, "11222333000181"},
                          {3, "110042490114"},
                          {6, "5000000001"},
                          {7, "5400000001"},
                          {8, "7500000001"},
                          {9, "9900000006"},
                          {16, "1"}});
}

TEST_F(CliTest, ValidarPassesACleanMonthAndCountsWarnings) {
  const std::string path = (dir_ / "Sintegra.txt").string();
  WriteAll(path, Month("11444777000161"));
  Outcome o = Run({"sintegra", "validar", path});
  EXPECT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_EQ(o.out, "0 erros e 0 avisos\n");
  // Another month asked for: the period and the invoice date are errors.
  Outcome abril = Run({"sintegra", "validar", path, "--mes", "4", "--ano", "2024"});
  EXPECT_EQ(abril.code, 1);
  EXPECT_NE(abril.out.find("Erro linha 1 registro 10 campo Data Inicial: "), std::string::npos)
      << abril.out;
  EXPECT_NE(abril.out.find("Erro linha 3 registro 50 campo Data de Emissão: data 05/03/2024 fora "
                           "do período de 01/04/2024 a 30/04/2024"),
            std::string::npos)
      << abril.out;
}

TEST_F(CliTest, ValidarNamesEachFindingAndExits1OnErrors) {
  const std::string path = (dir_ / "Sintegra.txt").string();
  WriteAll(path, Month("11444777000162"));
  Outcome o = Run({"sintegra", "validar", path});
  EXPECT_EQ(o.code, 1);
  EXPECT_EQ(o.out,
            "Erro linha 3 registro 50 campo CNPJ: CNPJ/CPF inválido: \"11444777000162\" (dígitos "
            "verificadores não conferem)\n"
            "Erro linha 4 registro 54: item sem o registro 50 da sua nota (mesmo CNPJ, modelo, "
            "série, número e CFOP)\n"
            "2 erros e 0 avisos\n");

  Outcome j = Run({"sintegra", "validar", "--json", path});
  EXPECT_EQ(j.code, 1);
  EXPECT_EQ(j.out,
            "[\n  {\"linha\": 3, \"registro\": \"50\", \"campo\": \"CNPJ\", \"coluna_inicial\": 3, "
            "\"coluna_final\": 16, \"severidade\": \"erro\", \"regra\": \"cnpj\", \"mensagem\": "
            "\"CNPJ/CPF inválido: \\\"11444777000162\\\" (dígitos verificadores não conferem)\"},\n"
            "  {\"linha\": 4, \"registro\": \"54\", \"campo\": \"\", \"coluna_inicial\": 0, "
            "\"coluna_final\": 0, \"severidade\": \"erro\", \"regra\": \"54.sem-50\", "
            "\"mensagem\": \"item sem o registro 50 da sua nota (mesmo CNPJ, modelo, série, "
            "número e CFOP)\"}\n]\n");
  EXPECT_EQ(j.err, "2 erros e 0 avisos\n");

  WriteAll(path, Month("11444777000161"));
  Outcome limpo = Run({"sintegra", "validar", "--json", path});
  EXPECT_EQ(limpo.code, 0);
  EXPECT_EQ(limpo.out, "[]\n");
}

TEST_F(CliTest, ValidarExits2ForUsageAndUnreadableFiles) {
  const std::vector<std::vector<std::string>> cases = {
      {"sintegra", "validar"},
      {"sintegra", "validar", "a", "b"},
      {"sintegra", "validar", "a", "--mes", "3"},
      {"sintegra", "validar", "a", "--mes", "13", "--ano", "2024"},
      {"sintegra", "validar", "a", "--cor"},
  };
  for (const auto& args : cases) {
    Outcome o = Run(args);
    EXPECT_EQ(o.code, 2) << args.back();
    EXPECT_NE(o.err.find("uso: tributarium-cli sintegra validar"), std::string::npos) << o.err;
  }
  Outcome missing = Run({"sintegra", "validar", (dir_ / "none.txt").string()});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err.rfind("Não foi possível abrir o arquivo ", 0), 0u) << missing.err;
}

TEST_F(CliTest, WrongUsageExits2WithTheUsageOnStandardError) {
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"sintegra"},
      {"sintegra", "ler"},
      {"sintegra", "ler", "a", "b"},
      {"sintegra", "reescrever", "a"},
      {"sintegra", "apagar", "a"},
      {"gerar"},
      {"--cor", "x.ini", "sintegra", "ler", "a"},
      {"--config"},
  };
  for (const auto& args : cases) {
    Outcome o = Run(args);
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(o.code, 2) << shown;
    EXPECT_EQ(o.out, "") << shown;
    EXPECT_NE(o.err.find("uso: tributarium-cli"), std::string::npos) << shown;
  }
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("sintegra reescrever ARQUIVO PASTA"), std::string::npos);
}

}  // namespace
