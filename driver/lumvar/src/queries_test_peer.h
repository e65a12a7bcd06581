#pragma once
// A scripted printer for the tests of the query routines: answers every frame from a
// table keyed by command and parameters (or by command alone), records what was sent.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"

namespace orvik::lumvar::testing {

struct Sent {
  std::string command, parameters;
  bool operator==(const Sent&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Sent& s) {
  return os << s.command << " " << s.parameters;
}

class ScriptedPeer : public ::testing::Test {
 protected:
  void SetUp() override {
    core::SetTransport(std::make_unique<core::FakeTransport>(&record));
    record.responder = [this](const std::string& frame) -> std::string {
      if (frame.empty() || frame.back() != '}') return {};
      const size_t a = frame.find(';');
      const size_t b = frame.find(';', a + 1);
      const size_t c = frame.rfind(';');
      const std::string packet = frame.substr(1, a - 1);
      Sent s{frame.substr(a + 1, b - a - 1), frame.substr(b + 1, c - b - 1)};
      sent.push_back(s);
      return "{" + packet + ";" + Answer(s) + ";9}";
    };
    folder.WriteIni("[Sistema]\r\nPath=" + folder.slash() + "\r\n");
    core::Startup();
  }
  void TearDown() override { core::SetTransport(nullptr); }

  // "code;results" for a command: exact parameters first, then the command alone, then
  // success with no results.
  std::string Answer(const Sent& s) {
    if (auto it = exact.find(s.command + " " + s.parameters); it != exact.end()) return it->second;
    if (auto it = by_command.find(s.command); it != by_command.end()) return it->second;
    return "0;";
  }

  // Scripts a successful read of one value.
  void Ok(const std::string& command, const std::string& parameters, const std::string& results) {
    exact[command + " " + parameters] = "0;" + results;
  }
  // Scripts a printer error.
  void Error(const std::string& command, const std::string& parameters, int code) {
    exact[command + " " + parameters] =
        std::to_string(code) + ";Erro=\"E" + std::to_string(code) + "\" Desc=\"falha\"";
  }

  core::TestFolder folder;
  core::FakeTransport::Record record;
  std::map<std::string, std::string> exact;       // "Command Parameters" -> "code;results"
  std::map<std::string, std::string> by_command;  // "Command" -> "code;results"
  std::vector<Sent> sent;
};

}  // namespace orvik::lumvar::testing
