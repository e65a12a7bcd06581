// Backups through the engine's services, embedded and (as server.*) through the private
// test server.
#include "store/backup.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "store_fixture.h"

namespace store::testing {
namespace {

namespace fs = std::filesystem;

const ServerLogin kLogin{"SYSDBA", "quernstab"};
using Counts = std::pair<std::int64_t, std::int64_t>;

std::string bytes_of(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Files of a folder whose names start with `stem` (leftovers of a failed run).
std::vector<std::string> files_starting(const fs::path& dir, const std::string& stem) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename().string().rfind(stem, 0) == 0) out.push_back(e.path().filename());
  return out;
}

class BackupTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    base_ = make_base("ACME");
    db_ = location(base_ / kDataFile);
    dm_->ConectaCatalogo();
    dm_->TrocarBanco("ACME", location(base_));
    for (int i = 1; i <= 3; ++i) add_item(add_invoice({2024, 3, i}, i), std::to_string(i));
    dm_->dbDados.Disconnect();
  }

  // Invoices and items in the database at `where`, read by a connection of its own.
  std::pair<std::int64_t, std::int64_t> counts(const std::string& where) {
    Connection c;
    c.DatabaseName = where;
    c.Params = {"user_name=SYSDBA", "password=quernstab"};
    c.Connect();
    Transaction tr(c);
    return {count(tr, "NOTA_FISCAL"), count(tr, "PRODUTO_NOTA")};
  }

  void add_invoice_elsewhere() {
    dm_->TrocarBanco("ACME", location(base_));
    add_invoice({2024, 4, 1}, 99);
    dm_->dbDados.Disconnect();
  }

  fs::path base_;
  std::string db_;
};

TEST_F(BackupTest, BackupRestoresWithTheSystemToolAndRoundTrips) {
  fs::path file = dir_ / "acme.fbk";
  std::uint64_t last = 0;
  BackupDatabase(db_, kLogin, file, [&](std::uint64_t done, std::uint64_t) { last = done; });
  ASSERT_TRUE(fs::exists(file));
  EXPECT_EQ(last, fs::file_size(file));
  EXPECT_TRUE(files_starting(dir_, "acme.fbk.").empty());
  EXPECT_TRUE(files_starting(base_, std::string(kDataFile) + ".").empty())
      << "the verification database is removed";

  // Debian's own tool reads the file: the standard format.
  fs::path by_tool = dir_ / "gbak.fdb";
  std::string cmd = "gbak -c -user SYSDBA '" + file.string() + "' '" + by_tool.string() + "' >'" +
                    (dir_ / "gbak.log").string() + "' 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << bytes_of(dir_ / "gbak.log");
  EXPECT_EQ(counts(by_tool.string()), Counts(3, 3));

  add_invoice_elsewhere();
  EXPECT_EQ(counts(db_).first, 4);
  RestoreDatabase(file, db_, kLogin);
  EXPECT_EQ(counts(db_), Counts(3, 3));
  EXPECT_TRUE(files_starting(base_, std::string(kDataFile) + ".").empty());
}

TEST_F(BackupTest, RestoreRefusesABaseOpenElsewhere) {
  fs::path file = dir_ / "acme.fbk";
  BackupDatabase(db_, kLogin, file);
  add_invoice_elsewhere();
  dm_->TrocarBanco("ACME", location(base_));  // another desk has it open
  try {
    RestoreDatabase(file, db_, kLogin);
    FAIL() << "restored over an open base";
  } catch (const BackupError& e) {
    EXPECT_NE(std::string(e.what()).find("aberta em outro lugar"), std::string::npos) << e.what();
  }
  dm_->dbDados.Disconnect();
  EXPECT_EQ(counts(db_).first, 4);
}

TEST_F(BackupTest, BadBackupFilesFailNamingTheFileAndLeaveTheBase) {
  fs::path good = dir_ / "acme.fbk";
  BackupDatabase(db_, kLogin, good);
  std::string whole = bytes_of(good);
  add_invoice_elsewhere();

  struct Case {
    const char* name;
    std::string content;
  } cases[] = {
      {"truncated.fbk", whole.substr(0, whole.size() / 2)},
      {"header-only.fbk", whole.substr(0, 64)},
      {"text.fbk", "isto não é uma cópia de segurança\n"},
      {"empty.fbk", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::path file = dir_ / c.name;
    std::ofstream(file, std::ios::binary) << c.content;
    try {
      RestoreDatabase(file, db_, kLogin);
      ADD_FAILURE() << "restored a bad file";
    } catch (const BackupError& e) {
      EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
    }
    EXPECT_EQ(counts(db_).first, 4);
    EXPECT_EQ(files_starting(base_, std::string(kDataFile) + ".").size(), 0u);
  }
  EXPECT_EQ(counts(db_).first, 4);
}

TEST_F(BackupTest, AFailedBackupKeepsTheOlderFileOfThatName) {
  fs::path file = dir_ / "acme.fbk";
  std::ofstream(file) << "the older copy";
  EXPECT_THROW(BackupDatabase(location(dir_ / "missing" / kDataFile), kLogin, file), BackupError);
  EXPECT_EQ(bytes_of(file), "the older copy");
  EXPECT_EQ(files_starting(dir_, "acme.fbk.").size(), 0u);
}

// A server of its own, stopped while it sends the backup.
TEST_F(BackupTest, AServerStoppingMidBackupLeavesNoFile) {
  if (server_mode()) GTEST_SKIP() << "runs once, in the embedded pass, with a server of its own";
  fs::path srv = dir_ / "server";
  std::string start = "bash '" STORE_TEST_SERVER_SCRIPT "' start '" + srv.string() + "' 3057 >'" +
                      (dir_ / "srv.log").string() + "' 2>&1";
  ASSERT_EQ(std::system(start.c_str()), 0) << bytes_of(dir_ / "srv.log");
  struct Stop {
    std::string cmd;
    ~Stop() { std::system(cmd.c_str()); }
  } stop{"bash '" STORE_TEST_SERVER_SCRIPT "' stop '" + srv.string() + "'"};
  pid_t pid = std::stoi(bytes_of(srv / "server.pid"));
  // Enough rows that the backup comes in more than one piece.
  {
    Connection c;
    c.DatabaseName = "127.0.0.1/3057:" + (base_ / kDataFile).string();
    c.Params = {"user_name=SYSDBA", "password=quernstab"};
    c.Connect();
    Transaction tr(c);
    ExecSQL(tr,
            "insert into PRODUTO (ID_PRODUTO, CD_PRODUTO, TX_DESCRICAO, TX_VALOR_UNITARIO, "
            "TX_PRECO_COMPRA, TX_UNIDADE, TX_TIPO_ALIQUOTA, CS_CONTROLA_ESTOQUE) "
            "select n + 1000, n + 1000, lpad('', 200, 'x'), '100', '100', 'UN', 'T', 0 "
            "from (select row_number() over () as n from rdb$types a, rdb$types b rows 20000)");
    tr.CommitRetaining();
  }
  fs::path file = dir_ / "acme.fbk";
  bool killed = false;
  try {
    BackupDatabase("127.0.0.1/3057:" + (base_ / kDataFile).string(), kLogin, file,
                   [&](std::uint64_t, std::uint64_t) {
                     if (!killed) kill(pid, SIGKILL);
                     killed = true;
                   });
    ADD_FAILURE() << "a backup cut short was reported done";
  } catch (const BackupError& e) {
    EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
  }
  EXPECT_TRUE(killed);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(files_starting(dir_, "acme.fbk").size(), 0u);
}

}  // namespace
}  // namespace store::testing
