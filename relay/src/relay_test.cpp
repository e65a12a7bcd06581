#include "relay/relay.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "common/files.h"

namespace relay {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(CommandText, WholeLinesOnlyAndFramesOnly) {
  const struct {
    const char* content;
    bool whole;
    const char* frame;  // nullptr: none
  } cases[] = {
      {"{2;LeInteiro;NomeInteiro=\"COO\";25}\r\n", true, "{2;LeInteiro;NomeInteiro=\"COO\";25}"},
      {"{2;EmiteLeituraX;;16}\n", true, "{2;EmiteLeituraX;;16}"},
      {"{2;LeInteiro;NomeInteiro=\"CO", false, nullptr},  // still being written
      {"{2;EmiteLeituraX;;16}", false, nullptr},          // line end not yet there
      {"", false, nullptr},
      {"hello\r\n", true, nullptr},
      {"{2;x\r\n", true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.content);
    const CommandText t = ReadCommandText(c.content);
    EXPECT_EQ(t.whole, c.whole);
    EXPECT_EQ(t.frame.has_value(), c.frame != nullptr);
    if (c.frame && t.frame) {
      EXPECT_EQ(*t.frame, c.frame);
    }
  }
  EXPECT_EQ(PacketOf("{12;0;;4}"), "12");
  EXPECT_EQ(PacketOf("12;0"), "");
}

// A printer on the master side of a pseudo-terminal answering each frame with answer().
class RelayOverPty : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvik-relay-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    char name[256];
    int slave = -1;
    ASSERT_EQ(::openpty(&master_, &slave, name, nullptr, nullptr), 0);
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
    ::close(slave);  // the relay opens it by name
    slave_ = name;
    printer_ = std::thread([this] { Serve(); });
  }
  void TearDown() override {
    stop_printer_ = true;
    printer_.join();
    ::close(master_);
    fs::remove_all(dir_);
  }
  void Serve() {
    std::string got;
    while (!stop_printer_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
      char b[1024];
      const ssize_t n = ::read(master_, b, sizeof b);
      if (n <= 0) continue;
      got.append(b, static_cast<size_t>(n));
      const size_t close = got.find('}');
      if (close == std::string::npos) continue;
      const std::string frame = got.substr(0, close + 1);
      got.erase(0, close + 1);
      std::string reply;
      {
        std::lock_guard lock(mutex_);
        frames_.push_back(frame);
        reply = answer(frame);
      }
      if (!reply.empty() && ::write(master_, reply.data(), reply.size()) < 0) break;
    }
  }
  Options Opts() {
    Options o;
    o.folder = dir_;
    o.device = slave_;
    o.reply_limit = 300ms;
    return o;
  }
  void Command(const std::string& content) {
    std::ofstream(dir_ / "COMANDO.TXT", std::ios::binary) << content;
  }
  std::optional<std::string> Status() { return common::read_file(dir_ / "STATUS.TXT"); }

  fs::path dir_;
  int master_ = -1;
  std::string slave_;
  std::thread printer_;
  std::atomic<bool> stop_printer_{false};
  std::mutex mutex_;  // frames_ and answer, shared with the printer's thread
  std::vector<std::string> frames_;
  std::function<std::string(const std::string&)> answer = [](const std::string& f) {
    return "{" + PacketOf(f) + ";0;ValorInteiro=7;5}";
  };
  std::vector<std::string> log_;
  std::atomic<bool> stop_{false};
};

TEST_F(RelayOverPty, CarriesAWholeCommandAndLeavesOnlyTheReply) {
  Relay r(Opts(), [this](const std::string& l) { log_.push_back(l); });
  ASSERT_TRUE(r.Start(nullptr));
  Command("{9;LeInteiro;NomeInteiro=\"COO\";25}\r\n");
  EXPECT_TRUE(r.HandleCommand(stop_));
  EXPECT_EQ(Status(), "{9;0;ValorInteiro=7;5}\r\n");
  EXPECT_FALSE(fs::exists(dir_ / "COMANDO.TXT"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  std::lock_guard lock(mutex_);
  ASSERT_EQ(frames_.size(), 1u);
  EXPECT_EQ(frames_[0], "{9;LeInteiro;NomeInteiro=\"COO\";25}");
  EXPECT_NE(log_.back().find("-> {9;LeInteiro"), std::string::npos);
}

TEST_F(RelayOverPty, HalfWrittenCommandWaitsUntilItsLineIsWhole) {
  Relay r(Opts(), [this](const std::string& l) { log_.push_back(l); });
  ASSERT_TRUE(r.Start(nullptr));
  Command("{3;LeInteiro;Nome");
  EXPECT_FALSE(r.HandleCommand(stop_));
  EXPECT_TRUE(fs::exists(dir_ / "COMANDO.TXT"));
  EXPECT_FALSE(Status());
  {
    std::lock_guard lock(mutex_);
    EXPECT_TRUE(frames_.empty());
  }
  Command("{3;LeInteiro;NomeInteiro=\"COO\";25}\r\n");
  EXPECT_TRUE(r.HandleCommand(stop_));
  EXPECT_EQ(Status(), "{3;0;ValorInteiro=7;5}\r\n");
}

// No STATUS.TXT for anything the relay did not send and see answered.
TEST_F(RelayOverPty, NoStatusForACommandNotSentOrNotAnswered) {
  Relay r(Opts(), [this](const std::string& l) { log_.push_back(l); });
  ASSERT_TRUE(r.Start(nullptr));

  Command("not a frame\r\n");  // taken away, never sent
  EXPECT_TRUE(r.HandleCommand(stop_));
  EXPECT_FALSE(fs::exists(dir_ / "COMANDO.TXT"));

  std::unique_lock lock(mutex_);
  answer = [](const std::string&) { return std::string(); };  // silent printer
  lock.unlock();
  Command("{4;EmiteLeituraX;;16}\r\n");
  EXPECT_TRUE(r.HandleCommand(stop_));

  lock.lock();
  answer = [](const std::string&) { return std::string("{77;0;;5}"); };  // another packet's
  lock.unlock();
  Command("{5;EmiteLeituraX;;16}\r\n");
  EXPECT_TRUE(r.HandleCommand(stop_));
  EXPECT_FALSE(Status());
  lock.lock();
  EXPECT_EQ(frames_.size(), 2u);

  // The driver gave up and wrote its next command while the printer was still answering.
  answer = [this](const std::string& f) {
    Command("{7;LeInteiro;NomeInteiro=\"COO\";25}\r\n");
    return "{" + PacketOf(f) + ";0;;5}";
  };
  lock.unlock();
  Command("{6;EmiteLeituraX;;16}\r\n");
  EXPECT_TRUE(r.HandleCommand(stop_));
  EXPECT_FALSE(Status());
  EXPECT_TRUE(fs::exists(dir_ / "COMANDO.TXT"));
}

TEST_F(RelayOverPty, MissingFolderAtStartIsRefusedAndOneThatGoesAwayIsWaitedFor) {
  Options o = Opts();
  o.folder = dir_ / "absent";
  std::string error;
  Relay absent(o, [](const std::string&) {});
  EXPECT_FALSE(absent.Start(&error));
  EXPECT_NE(error.find("absent"), std::string::npos);

  o.folder = dir_ / "shared";
  fs::create_directory(o.folder);
  Relay r(o, [this](const std::string& l) { log_.push_back(l); });
  ASSERT_TRUE(r.Start(nullptr));
  fs::remove(o.folder);
  EXPECT_FALSE(r.HandleCommand(stop_));
  fs::create_directory(o.folder);
  std::ofstream(o.folder / "COMANDO.TXT", std::ios::binary) << "{8;EmiteLeituraX;;16}\r\n";
  EXPECT_TRUE(r.HandleCommand(stop_));
  EXPECT_TRUE(fs::exists(o.folder / "STATUS.TXT"));
}

TEST_F(RelayOverPty, DeviceThatCannotBeOpenedSendsNothingAndSaysWhy) {
  Options o = Opts();
  o.device = (dir_ / "ttyUSB7").string();
  Relay r(o, [this](const std::string& l) { log_.push_back(l); });
  ASSERT_TRUE(r.Start(nullptr));
  Command("{9;EmiteLeituraX;;16}\r\n");
  EXPECT_TRUE(r.HandleCommand(stop_));
  EXPECT_FALSE(Status());
  bool said = false;
  for (const std::string& l : log_)
    said = said || l.find("dispositivo inexistente") != std::string::npos;
  EXPECT_TRUE(said);
}

}  // namespace
}  // namespace relay
