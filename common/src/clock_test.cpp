#include "common/clock.h"

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

TEST(Clock, FixedRunningAndReal) {
  common::LocalDateTime t;
  ASSERT_TRUE(common::clock::parse("2026-03-01 23:59:58", t));
  auto tp = common::clock::from_local(t);

  common::clock::set_fixed(tp);
  std::this_thread::sleep_for(20ms);
  auto l = common::clock::local_now();
  EXPECT_EQ(std::tie(l.year, l.month, l.day, l.hour, l.minute, l.second),
            std::make_tuple(2026, 3, 1, 23, 59, 58));

  common::clock::set_running_from(tp);
  std::this_thread::sleep_for(20ms);
  EXPECT_GT(common::clock::now(), tp);
  EXPECT_LT(common::clock::now(), tp + 5s);

  common::clock::reset();
  EXPECT_GT(common::clock::local_now().year, 2025);
}

TEST(Clock, ParseRefusesOtherShapes) {
  common::LocalDateTime t;
  for (const char* bad :
       {"", "2026-13-01 00:00:00", "2026-01-01", "2026-01-01 10:00:00x", "01/02/2026 10:00:00"})
    EXPECT_FALSE(common::clock::parse(bad, t)) << bad;
}
