// Cases that wait out a reply time-out (TimeOutComandos at its floor of 5 seconds).
#include <gtest/gtest.h>

#include <chrono>

#include "orvik/core/pty_printer.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/lumvar/engine.h"

namespace {

using orvik::core::PtyPrinter;
using orvik::core::State;
using orvik::lumvar::ExecuteLumvar;

struct SilenceCase {
  const char* name;
  std::string reply;  // what the printer sends back
};

TEST(ReplyTimeOut, NoCompleteReplyIsACommunicationFailure) {
  const SilenceCase cases[] = {
      {"silent", ""},
      {"truncated", "{2;0;ValorInteiro=5"},
  };
  for (const SilenceCase& c : cases) {
    SCOPED_TRACE(c.name);
    PtyPrinter printer([&](const PtyPrinter::Frame&) { return c.reply; });
    orvik::core::TestFolder folder;
    folder.WriteIni("[Sistema]\r\nTimeOutComandos=5\r\n[Portas]\r\nCOM1=" + printer.slave_name() +
                    "\r\n");
    orvik::core::Startup();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ExecuteLumvar("LeInteiro", ""), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::seconds(5));
    EXPECT_LT(took, std::chrono::seconds(7));
    EXPECT_EQ(State().last_return_code, -1);
    EXPECT_EQ(State().last_message, "Falha de comunica\xe7\xe3o");
    EXPECT_FALSE(State().busy);
    EXPECT_EQ(State().port1.handle, -1);
    EXPECT_EQ(printer.frames().size(), 1u);
  }
}

TEST(ReplyTimeOut, EndlessNoiseIsCutShort) {
  // A line that never stops sending and never closes a frame.
  PtyPrinter printer([](const PtyPrinter::Frame&) { return std::string(1500000, 'n'); });
  orvik::core::TestFolder folder;
  folder.WriteIni("[Sistema]\r\nTimeOutComandos=5\r\n[Portas]\r\nCOM1=" + printer.slave_name() +
                  "\r\n");
  orvik::core::Startup();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ExecuteLumvar("LeInteiro", ""), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
  EXPECT_EQ(State().last_return_code, -1);
  EXPECT_EQ(State().port1.handle, -1);
}

}  // namespace
