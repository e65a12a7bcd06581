#pragma once
// An in-process stand-in for a device, for unit tests of the engines: it records what
// is written and answers through a scripted responder, without any timing.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "orvik/core/port.h"

namespace orvik::core {

class FakeTransport final : public Transport {
 public:
  // Everything the fake saw, shared with the test after the transport is installed.
  struct Record {
    std::vector<std::string> opened;     // device of every successful open
    std::vector<std::string> writes;     // every Write call, one entry each
    std::vector<LineSettings> settings;  // every Configure call
    int closes = 0;
    int open_handles = 0;
    bool fail_open = false;
    bool cts = true;
    // Bytes the device takes before it stops taking any (a write cut short); -1: no limit.
    long accept_bytes = -1;
    // Called with each written frame; returns the bytes the device answers (may be empty).
    std::function<std::string(const std::string&)> responder;
    std::string pending;  // bytes waiting to be read
  };

  explicit FakeTransport(Record* record) : r_(record) {}

  int Open(const std::string& device) override {
    if (r_->fail_open) return -1;
    r_->opened.push_back(device);
    ++r_->open_handles;
    return 100 + static_cast<int>(r_->opened.size());
  }
  bool Configure(int, const LineSettings& s) override {
    r_->settings.push_back(s);
    return true;
  }
  long Write(int, std::string_view bytes) override {
    if (r_->accept_bytes >= 0 && static_cast<long>(bytes.size()) > r_->accept_bytes) {
      bytes = bytes.substr(0, static_cast<size_t>(r_->accept_bytes));
      r_->accept_bytes = 0;
    } else if (r_->accept_bytes >= 0) {
      r_->accept_bytes -= static_cast<long>(bytes.size());
    }
    r_->writes.emplace_back(bytes);
    if (r_->responder) r_->pending += r_->responder(r_->writes.back());
    return static_cast<long>(bytes.size());
  }
  std::string ReadChunk(int, size_t max, int) override {
    std::string out = r_->pending.substr(0, max);
    r_->pending.erase(0, out.size());
    return out;
  }
  bool Cts(int) override { return r_->cts; }
  void Close(int) override {
    ++r_->closes;
    --r_->open_handles;
  }

 private:
  Record* r_;
};

}  // namespace orvik::core
