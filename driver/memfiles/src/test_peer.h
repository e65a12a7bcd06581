#pragma once
// A scripted printer for the memory-file tests: LeImpressao answers the queued chunks in
// order (then empty texts), every other command answers from a table or with success.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "orvik/core/fake_transport.h"
#include "orvik/core/state.h"
#include "orvik/core/test_folder.h"
#include "orvik/memfiles/working_folder.h"

namespace orvik::memfiles::testing {

struct Sent {
  std::string command, parameters;
};

class Peer : public ::testing::Test {
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
      if (s.command == "LeImpressao") {
        if (silent_after_chunks && chunks.empty()) return {};
        std::string text;
        if (!chunks.empty()) {
          text = chunks.front();
          chunks.pop_front();
        }
        return "{" + packet + ";0;TextoImpressao=\"" + text + "\";9}";
      }
      auto it = answers.find(s.command);
      return "{" + packet + ";" + (it == answers.end() ? "0;" : it->second) + ";9}";
    };
    folder.WriteIni("[Sistema]\r\nPath=" + folder.slash() + "\r\nHomologar=1\r\n");
    core::Startup();
    SetHostFolderOverride(folder.path());
  }
  void TearDown() override {
    SetHostFolderOverride(std::nullopt);
    core::SetTransport(nullptr);
  }
  std::vector<std::string> Commands() const {
    std::vector<std::string> out;
    for (const Sent& s : sent) out.push_back(s.command);
    return out;
  }
  bool LogHas(const std::string& text) const {
    return folder.Read("LOG.DAT").find(text) != std::string::npos;
  }

  core::TestFolder folder;
  core::FakeTransport::Record record;
  std::deque<std::string> chunks;              // LeImpressao texts, in order
  bool silent_after_chunks = false;            // no reply once the chunks are used up
  std::map<std::string, std::string> answers;  // command -> "code;results"
  std::vector<Sent> sent;
};

}  // namespace orvik::memfiles::testing
