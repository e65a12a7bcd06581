#pragma once
// Serves a device on a Line: one thread (its own or the caller's) waits for bytes from the
// host and hands every chunk to the device's handler, which assembles its requests and
// writes its replies on the line.
#include <atomic>
#include <functional>
#include <string_view>
#include <thread>

#include "devkit/line.h"

namespace devkit {

class Server {
 public:
  using BytesHandler = std::function<void(std::string_view bytes)>;

  // The line must stay open while the server runs.
  Server(const Line& line, BytesHandler on_bytes);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Serves on a thread of its own until stop().
  void start();
  void stop();
  // Serves on the calling thread until stop() or request_stop().
  void run();
  // Asks run() to return within about 50 ms; safe from a signal handler.
  void request_stop() { stop_ = true; }

 private:
  const Line& line_;
  BytesHandler on_bytes_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace devkit
