#include "orvik/qvx/engine.h"

#include <gtest/gtest.h>

#include "common/text1252.h"
#include "orvik/core/fake_transport.h"
#include "orvik/core/port.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/qvx/reply.h"

namespace orvik::qvx {
namespace {

using core::FakeTransport;
using core::State;

const std::string STX(1, kStx), ETX(1, kEtx);

std::string U(const char* utf8) {
  return common::utf8_to_cp1252(utf8);
}

class QvxEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.WriteIni("[Sistema]\r\nModeloImp=ORVIK_820\r\nBAUD=115200\r\n");
    core::Startup();
    core::SetTransport(std::make_unique<FakeTransport>(&record));
    record.responder = [this](const std::string&) { return answer; };
  }
  void TearDown() override { core::SetTransport(nullptr); }

  core::TestFolder folder;
  FakeTransport::Record record;
  std::string answer = STX + "+1000" + "00" + ETX;
};

TEST(QvxFrame, BytesAndTimeouts) {
  EXPECT_EQ(BuildQvxFrame("150"), std::string("\x02\x1b$150\x03"));
  EXPECT_EQ(BuildQvxFrame("34M41"), std::string("\x02\x1b$34M41\x03"));
  struct {
    int command, seconds;
  } cases[] = {{3, 60}, {15, 60}, {16, 60}, {8, 20}, {14, 20}, {11, 10}, {34, 10}, {0, 10}};
  for (const auto& c : cases) EXPECT_EQ(QvxTimeoutFor(c.command), c.seconds) << c.command;
}

TEST_F(QvxEngine, SendsOneFrameAt9600WithCtsAndClosesThePort) {
  EXPECT_EQ(ExecuteQvx("150"), 1);
  ASSERT_EQ(record.writes.size(), 1u);
  EXPECT_EQ(record.writes[0], std::string("\x02\x1b$150\x03"));
  ASSERT_EQ(record.settings.size(), 1u);
  EXPECT_EQ(record.settings[0].speed, "9600");  // whatever BAUD says
  EXPECT_EQ(record.settings[0].parity, core::Parity::kNone);
  EXPECT_TRUE(record.settings[0].cts_flow);
  EXPECT_EQ(record.open_handles, 0);
  EXPECT_EQ(State().port1.handle, -1);
  EXPECT_FALSE(State().busy);
  EXPECT_EQ(State().last_return_code, 0);
  EXPECT_EQ(State().ack, 6);
}

TEST_F(QvxEngine, PrinterErrorsKeepTheirNumberAndTableText) {
  struct {
    std::string reply;
    int code;
    const char* message;
  } cases[] = {
      {STX + "-1000" + "22" + ETX, 22, "Necessário abrir cupom fiscal"},
      {STX + "-1000" + "26" + ETX, 26, "O  relógio já está em horário de verão"},
      {STX + "-1000" + "77" + ETX, 77, "Erro retornado pelo ECF: 77"},
      {STX + "-1000" + "AB" + ETX, 9999, "Erro retornado pelo ECF: AB"},
  };
  for (const auto& c : cases) {
    answer = c.reply;
    EXPECT_EQ(ExecuteQvx("10"), 0);
    EXPECT_EQ(State().last_return_code, c.code);
    EXPECT_EQ(State().last_message, U(c.message));
  }
}

TEST_F(QvxEngine, ReadsTakeTheirDataAndSetCodeZero) {
  State().last_return_code = 33;
  answer = STX + "S1000" + "0000000123" + ETX;
  EXPECT_EQ(ReadQvxRegister(41), 1);
  EXPECT_EQ(record.writes.back(), std::string("\x02\x1b$34M41\x03"));
  EXPECT_EQ(State().read_value, "0000000123");
  EXPECT_EQ(State().last_return_code, 0);
  EXPECT_TRUE(State().last_message.empty());
  // A failed read stores its own number and message, and leaves no value behind.
  answer = STX + "-1000" + "10" + ETX;
  EXPECT_EQ(ExecuteQvx("34M99"), 0);
  EXPECT_EQ(State().last_return_code, 10);
  EXPECT_EQ(State().last_message, U("A sintaxe do comando está errada"));
  EXPECT_EQ(State().read_value, "");
  // Noise before the STX does not shift the data.
  answer = "\x15" + STX + "q" + STX + "S1000" + "0000000456" + ETX;
  EXPECT_EQ(ExecuteQvx("34M41"), 1);
  EXPECT_EQ(State().read_value, "0000000456");
}

TEST_F(QvxEngine, RepliesThatHoldNoAnswerAreCommunicationFailures) {
  for (const std::string& bad :
       {std::string("\x15\x15") + ETX, STX + "+1" + ETX, std::string(ETX)}) {
    State().last_return_code = 44;  // never left over
    answer = bad;
    EXPECT_EQ(ExecuteQvx("15"), 0);
    EXPECT_EQ(State().last_return_code, -1);
    EXPECT_EQ(State().last_message, U("Falha de comunicação"));
  }
}

TEST_F(QvxEngine, APortThatCannotOpenFailsAtOnce) {
  record.fail_open = true;
  EXPECT_EQ(ExecuteQvx("150"), -5);
  EXPECT_EQ(State().last_return_code, -5);
  EXPECT_EQ(State().last_message, "Erro Abertura Porta Serial");
  EXPECT_TRUE(record.writes.empty());
  EXPECT_FALSE(State().busy);
}

TEST_F(QvxEngine, ABusyEngineSendsNothing) {
  State().busy = true;
  EXPECT_EQ(ExecuteQvx("150"), 0);
  EXPECT_TRUE(record.writes.empty());
  State().busy = false;
}

TEST_F(QvxEngine, ALateReplyOfAnEarlierCommandIsDropped) {
  record.pending = STX + "-1000" + "33" + ETX;  // left on the line
  EXPECT_EQ(ExecuteQvx("150"), 1);
  EXPECT_EQ(State().last_return_code, 0);
}

}  // namespace
}  // namespace orvik::qvx
