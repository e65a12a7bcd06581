// A printer that stops answering in the middle of a capture: the capture ends at the
// engine's time-out for LeImpressao instead of waiting for ever.
#include <chrono>

#include "orvik/memfiles/capture.h"
#include "test_peer.h"

namespace orvik::memfiles {
namespace {

class SilentPrinter : public testing::Peer {};

TEST_F(SilentPrinter, ACaptureThatNeverEndsStopsAtTheTimeOut) {
  chunks = {"PARTE 1\n"};
  silent_after_chunks = true;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(CapturaImpressao(), 0);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(60));
  EXPECT_EQ(core::State().last_return_code, -1);
  EXPECT_EQ(folder.Read("IMPR.TXT"), "PARTE 1\n");
  EXPECT_TRUE(LogHas("cntBytes1(FALHA):8"));
  EXPECT_FALSE(core::State().keep_port_open);
  EXPECT_EQ(record.open_handles, 0);
}

}  // namespace
}  // namespace orvik::memfiles
