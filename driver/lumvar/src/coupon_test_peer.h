#pragma once
// A scripted printer for the coupon tests: records every command and answers from a
// queue per command (then success with no results), with no timing involved.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::lumvar::coupon_testing {

struct Command {
  std::string name, parameters;
  bool operator==(const Command&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Command& c) {
  return os << c.name << " [" << c.parameters << "]";
}

class CouponPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetTransport(std::make_unique<core::FakeTransport>(&record));
    record.responder = [this](const std::string& bytes) -> std::string {
      // A long frame arrives in two writes.
      partial += bytes;
      if (partial.empty() || partial.back() != '}') return {};
      const std::string frame = std::move(partial);
      partial.clear();
      const size_t a = frame.find(';');
      const size_t b = frame.find(';', a + 1);
      const size_t c = frame.rfind(';');
      const Command command{frame.substr(a + 1, b - a - 1), frame.substr(b + 1, c - b - 1)};
      sent.push_back(command);
      std::string body = "0;";
      auto& queue = answers[command.name];
      if (!queue.empty()) {
        body = queue.front();
        queue.pop_front();
      }
      // Appended: "{" + temporary trips a g++ 12 -O3 -Wrestrict false alarm.
      std::string reply(1, '{');
      reply += frame.substr(1, a - 1);
      reply += ';';
      reply += body;
      reply += ";9}";
      return reply;
    };
    StartWith("");
  }
  void TearDown() override { core::SetTransport(nullptr); }

  // A fresh driver state from the given [Sistema] lines (no paper fed unless asked).
  void StartWith(const std::string& sistema, const std::string& more = "") {
    // The first of two equal keys counts, so the given lines come before the defaults.
    folder.WriteIni("[Sistema]\r\n" + sistema + "Path=" + folder.slash() +
                    "\r\nEspacamentoDocumentos=0\r\n" + more);
    core::Startup();
    sent.clear();
  }
  // The next answers to a command, in order: "0;results" or "code;results".
  void Then(const std::string& command, const std::string& body) {
    answers[command].push_back(body);
  }
  void Refuse(const std::string& command, int code) {
    Then(command, std::to_string(code) + ";NomeErro=\"E\" Circunstancia=\"recusado\"");
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const Command& c : sent) names.push_back(c.name);
    return names;
  }
  bool Exists(const std::string& name) const {
    return std::filesystem::exists(folder.path() / name);
  }

  core::TestFolder folder;
  core::FakeTransport::Record record;
  std::map<std::string, std::deque<std::string>> answers;
  std::vector<Command> sent;
  std::string partial;
};

}  // namespace orvik::lumvar::coupon_testing
