// Today's log list after each log line: exactly what reading its query afresh gives
// (rows, order, columns), while ordinary lines are not paid for with a whole reading.
#include <cstdlib>
#include <ctime>
#include <optional>

#include "common/clock.h"
#include "store_fixture.h"

namespace store::testing {
namespace {

// Writes log lines through a connection of its own, as another machine would.
struct OtherMachine {
  Connection db;
  Transaction tr{db, {"read_committed", "rec_version", "nowait"}};
  StoredProc sp{"spLogOperacao",
                tr,
                "LOG_OPERACAO",
                {"ID_USUARIO", "DATA", "HORA", "TX_OPERACAO"},
                {"ID_ITEMLOG"}};

  explicit OtherMachine(const std::string& catalogue) {
    db.DatabaseName = catalogue;
    db.Params = {"user_name=SYSDBA", "password=quernstab"};
    db.Connect();
  }
  // The line's key; committed only when asked.
  std::int64_t write(int user, const Date& day, const Time& hour, const std::string& text,
                     bool commit = true) {
    sp.ClearParams();
    sp.SetParam("ID_USUARIO", std::int64_t{user});
    sp.SetParam("DATA", day);
    sp.SetParam("HORA", hour);
    sp.SetParam("TX_OPERACAO", text);
    sp.ExecProc();
    if (commit) tr.CommitRetaining();
    return sp.OutputInt("ID_ITEMLOG");
  }
};

class TodaysLogTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (HasFatalFailure()) return;
    dm_->ConectaCatalogo();
    RowSet r = select(dm_->trCatalogo, "select current_date from rdb$database");
    ASSERT_TRUE(parse_date(r.rows.at(0).at(0), today_));
    dm_->OnLogError = [this](const std::string& m) { errors_.push_back(m); };
    token_ = dm_->tLog.Subscribe([this](const Query& q) { told_ += q.Active(); });
  }
  void TearDown() override {
    common::clock::reset();
    StoreTest::TearDown();
  }

  std::string catalogue() { return location(dir_ / kCatalogFile); }

  // GravaLog as if the program's clock read this hour of the engine's day.
  bool log_at(const Time& hour, const std::string& line) {
    common::clock::set_fixed(common::clock::from_local(
        {today_.year, today_.month, today_.day, hour.hour, hour.minute, hour.second}));
    return dm_->GravaLog(line);
  }

  // The list compared with a fresh reading of its own text.
  void expect_list_as_read_afresh(const std::string& when) {
    SCOPED_TRACE(when);
    ASSERT_TRUE(dm_->tLog.Active());
    RowSet afresh = select(dm_->trCatalogo, dm_->tLog.sql());
    const RowSet& list = dm_->tLog.Rows();
    EXPECT_EQ(list.columns, afresh.columns);
    EXPECT_EQ(list.nulls, afresh.nulls);
    ASSERT_EQ(list.size(), afresh.size());
    for (std::size_t i = 0; i < list.size(); ++i)
      EXPECT_EQ(list.rows[i], afresh.rows[i]) << "row " << i;
  }

  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < dm_->tLog.Rows().size(); ++i)
      out.push_back(dm_->tLog.Rows().at(i, "TX_OPERACAO"));
    return out;
  }

  int full_reads() { return dm_->todays_log().full_reads(); }

  Date today_;
  std::vector<std::string> errors_;
  int told_ = 0;
  int token_ = 0;
};

TEST_F(TodaysLogTest, EachLineLandsWhereAFreshReadingPutsItWithoutReadingTheDayAgain) {
  // Hours as the program's clock gives them, one machine's clock behind another's too.
  struct Case {
    Time hour;
    bool logged_in;
  } cases[] = {
      {{10, 0, 0}, false}, {{10, 0, 0}, false}, {{10, 0, 0}, true}, {{9, 59, 59}, true},
      {{10, 0, 1}, true},  {{10, 0, 0}, true},  {{8, 0, 0}, false}, {{23, 59, 59}, true},
      {{0, 0, 0}, true},   {{10, 0, 1}, true},
  };
  int reads = full_reads();
  ASSERT_EQ(reads, 1);  // ConectaCatalogo
  int n = 0;
  for (const Case& c : cases) {
    dm_->UsuarioLogado = c.logged_in ? 1 : 0;
    int told = told_;
    ASSERT_TRUE(log_at(c.hour, "linha " + std::to_string(++n)));
    EXPECT_EQ(told_, told + 1);  // windows are told once, with the list open
    expect_list_as_read_afresh("after line " + std::to_string(n));
  }
  EXPECT_EQ(dm_->tLog.Rows().size(), std::size(cases));
  // Newest first; lines of one second newest first too.
  EXPECT_EQ(texts(),
            (std::vector<std::string>{"linha 8", "linha 10", "linha 5", "linha 6", "linha 3",
                                      "linha 2", "linha 1", "linha 4", "linha 7", "linha 9"}));
  EXPECT_EQ(dm_->tLog.Rows().at(6, "NOME_USUARIO"), "");
  EXPECT_EQ(dm_->tLog.Rows().at(5, "NOME_USUARIO"), "");
  EXPECT_EQ(dm_->tLog.Rows().at(4, "NOME_USUARIO"), "Administrador");
  EXPECT_EQ(full_reads(), reads);
}

TEST_F(TodaysLogTest, LinesOfAnotherMachineShowIncludingOnesCommittedLate) {
  OtherMachine other(catalogue());
  dm_->UsuarioLogado = 1;
  Date yesterday = today_;
  --yesterday.day;
  if (yesterday.day == 0) yesterday = {today_.year - 1, 12, 28};  // any other day will do
  int reads = full_reads();

  ASSERT_TRUE(log_at({11, 0, 0}, "nossa 1"));
  other.write(1, today_, {11, 0, 0}, "outra 1");
  other.write(0, today_, {10, 30, 0}, "outra atrasada no relógio");
  other.write(1, yesterday, {11, 0, 0}, "outra de ontem");
  ASSERT_TRUE(log_at({11, 0, 1}, "nossa 2"));
  expect_list_as_read_afresh("committed lines of the other machine");

  // A line whose key was handed out before ours but committed after our reading.
  other.write(1, today_, {11, 0, 1}, "outra demorada", false);
  ASSERT_TRUE(log_at({11, 0, 2}, "nossa 3"));
  expect_list_as_read_afresh("the other line still uncommitted");
  other.tr.CommitRetaining();
  ASSERT_TRUE(log_at({11, 0, 3}, "nossa 4"));
  expect_list_as_read_afresh("the other line committed late");
  EXPECT_EQ(texts(), (std::vector<std::string>{"nossa 4", "nossa 3", "outra demorada", "nossa 2",
                                               "outra 1", "nossa 1", "outra atrasada no relógio"}));
  EXPECT_EQ(full_reads(), reads);

  // A user renamed elsewhere: the names of earlier lines change too.
  ExecSQL(other.tr, "update USUARIOS set NOME_USUARIO = 'Chefe' where ID_USUARIO = 1");
  other.tr.CommitRetaining();
  ASSERT_TRUE(log_at({11, 0, 4}, "nossa 5"));
  expect_list_as_read_afresh("after a user was renamed");
  EXPECT_EQ(dm_->tLog.Rows().at(2, "NOME_USUARIO"), "Chefe");
  EXPECT_EQ(full_reads(), reads + 1);
}

TEST_F(TodaysLogTest, ALineUncommittedWhileTheListIsReadWholeShowsOnceCommitted) {
  OtherMachine other(catalogue());
  other.write(1, today_, {15, 0, 0}, "antes", true);
  other.write(1, today_, {15, 0, 1}, "em curso", false);
  dm_->ConectaCatalogo();
  int reads = full_reads();
  EXPECT_EQ(texts(), (std::vector<std::string>{"antes"}));
  other.tr.CommitRetaining();
  ASSERT_TRUE(log_at({15, 0, 2}, "nossa"));
  expect_list_as_read_afresh("after the other line was committed");
  EXPECT_EQ(texts(), (std::vector<std::string>{"nossa", "em curso", "antes"}));
  EXPECT_EQ(full_reads(), reads);
}

TEST_F(TodaysLogTest, LinesKeyedByHandAreShownToo) {
  OtherMachine other(catalogue());
  RowSet r = select(dm_->trCatalogo, "select gen_id(gen_log, 0) from rdb$database");
  std::int64_t ahead = r.integer(0, "GEN_ID") + 10 * TodaysLog::kPendingWindow;
  ExecSQL(other.tr,
          "insert into LOG (ID_ITEMLOG, ID_USUARIO, DATA, HORA, TX_OPERACAO) values (:id, 1, "
          ":dia, '14:00:00', 'à mão')",
          {{"id", ahead}, {"dia", today_}});
  other.tr.CommitRetaining();
  for (int i = 1; i <= 3; ++i) {
    ASSERT_TRUE(log_at({14, 0, i}, "linha " + std::to_string(i)));
    expect_list_as_read_afresh("line " + std::to_string(i));
  }
  EXPECT_EQ(texts(), (std::vector<std::string>{"linha 3", "linha 2", "linha 1", "à mão"}));
}

TEST_F(TodaysLogTest, FailedLinesLeaveTheListRight) {
  // A line the table refuses after its key was handed out.
  ExecSQL(dm_->trCatalogo, "CREATE EXCEPTION LINHA_RECUSADA 'linha recusada'");
  dm_->trCatalogo.CommitRetaining();
  ExecSQL(dm_->trCatalogo,
          "CREATE TRIGGER LOG_RECUSA FOR LOG BEFORE INSERT AS BEGIN "
          "IF (NEW.TX_OPERACAO STARTING WITH 'recusada') THEN EXCEPTION LINHA_RECUSADA; END");
  dm_->trCatalogo.CommitRetaining();
  dm_->dbCatalogo.ReleaseStatements();
  int reads = full_reads();

  ASSERT_TRUE(log_at({12, 0, 0}, "aceita 1"));
  EXPECT_FALSE(log_at({12, 0, 0}, "recusada 1"));
  ASSERT_EQ(errors_.size(), 1u);
  EXPECT_EQ(errors_[0].rfind("Erro ao gravar log: ", 0), 0u) << errors_[0];
  expect_list_as_read_afresh("after a refused line");
  ASSERT_TRUE(log_at({12, 0, 1}, "aceita 2"));
  EXPECT_FALSE(log_at({12, 0, 1}, "recusada 2"));
  ASSERT_TRUE(log_at({12, 0, 1}, "aceita 3"));
  expect_list_as_read_afresh("after lines around refused ones");
  EXPECT_EQ(texts(), (std::vector<std::string>{"aceita 3", "aceita 2", "aceita 1"}));
  EXPECT_EQ(full_reads(), reads);

  // The catalogue gone: the line fails, the list stays closed, and comes back whole.
  dm_->dbCatalogo.Disconnect();
  EXPECT_FALSE(log_at({12, 0, 2}, "sem catálogo"));
  EXPECT_FALSE(dm_->tLog.Active());
  dm_->dbCatalogo.Connect();
  ASSERT_TRUE(log_at({12, 0, 3}, "aceita 4"));
  expect_list_as_read_afresh("after the catalogue came back");
  EXPECT_EQ(texts().front(), "aceita 4");
  EXPECT_EQ(full_reads(), reads + 1);
}

TEST_F(TodaysLogTest, ListReopenedByOtherHandsIsReadWholeOnceThenFollowed) {
  ASSERT_TRUE(log_at({13, 0, 0}, "um"));
  int reads = full_reads();
  dm_->tLog.Close();
  dm_->tLog.Open();
  ASSERT_TRUE(log_at({13, 0, 0}, "dois"));
  ASSERT_TRUE(log_at({13, 0, 0}, "três"));
  expect_list_as_read_afresh("after the reopening");
  EXPECT_EQ(texts(), (std::vector<std::string>{"três", "dois", "um"}));
  EXPECT_EQ(full_reads(), reads + 1);
  // Switching the client base leaves the open list as it is.
  dm_->TrocarBanco("Default", location(dir_ / kTemplateFolder));
  ASSERT_TRUE(log_at({13, 0, 1}, "quatro"));
  expect_list_as_read_afresh("after a switch of base");
  EXPECT_EQ(full_reads(), reads + 1);
}

// The process's time zone for a while.
class Zone {
 public:
  explicit Zone(const char* zone) {
    if (const char* t = std::getenv("TZ")) before_ = t;
    set(zone);
  }
  ~Zone() {
    if (before_)
      set(before_->c_str());
    else {
      unsetenv("TZ");
      tzset();
    }
  }
  static void set(const char* zone) {
    setenv("TZ", zone, 1);
    tzset();
  }

 private:
  std::optional<std::string> before_;
};

// The engine's day follows the process's time zone when it runs embedded; a server
// keeps its own, which a test cannot move.
TEST_F(TodaysLogTest, ANewDayShowsOnlyItsOwnLines) {
  if (server_mode()) GTEST_SKIP() << "the server's day cannot be moved from here";
  common::clock::reset();
  auto engine_day = [this] {
    return select(dm_->trCatalogo, "select current_date from rdb$database").rows.at(0).at(0);
  };
  // Twenty-six hours apart: the two zones never share a date.
  Zone zone("UTC+12");
  std::string first = engine_day();
  ASSERT_TRUE(dm_->GravaLog("ontem 1"));
  ASSERT_TRUE(dm_->GravaLog("ontem 2"));
  expect_list_as_read_afresh("on the first day");
  EXPECT_EQ(dm_->tLog.Rows().size(), 2u);
  int reads = full_reads();

  Zone::set("UTC-14");
  ASSERT_NE(engine_day(), first) << "the engine's day did not follow the time zone";
  ASSERT_TRUE(dm_->GravaLog("hoje 1"));
  expect_list_as_read_afresh("on the new day");
  EXPECT_EQ(texts(), (std::vector<std::string>{"hoje 1"}));
  EXPECT_EQ(full_reads(), reads + 1);
  ASSERT_TRUE(dm_->GravaLog("hoje 2"));
  expect_list_as_read_afresh("later on the new day");
  EXPECT_EQ(texts(), (std::vector<std::string>{"hoje 2", "hoje 1"}));
  EXPECT_EQ(full_reads(), reads + 1);
}

TEST_F(TodaysLogTest, AmendingAClosedListIsRefused) {
  dm_->tLog.Close();
  EXPECT_THROW(dm_->tLog.Amend([](RowSet&) {}), std::logic_error);
  RowSet taken = dm_->tLog.TakeRows();
  EXPECT_TRUE(taken.columns.empty());
}

}  // namespace
}  // namespace store::testing
