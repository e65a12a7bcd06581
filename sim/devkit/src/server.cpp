#include "devkit/server.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace devkit {

Server::Server(const Line& line, BytesHandler on_bytes)
    : line_(line), on_bytes_(std::move(on_bytes)) {}

Server::~Server() {
  stop();
}

void Server::start() {
  stop_ = false;
  thread_ = std::thread([this] { run(); });
}

void Server::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void Server::run() {
  char buf[4096];
  while (!stop_) {
    pollfd p{line_.fd(), POLLIN, 0};
    int n = ::poll(&p, 1, 50);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (n == 0) continue;
    if (p.revents & (POLLHUP | POLLERR)) {
      // No host has the line open (only possible on a device we did not create).
      sleep_ms(20);
      if (!(p.revents & POLLIN)) continue;
    }
    ssize_t got = ::read(line_.fd(), buf, sizeof buf);
    if (got <= 0) {
      if (got < 0 && errno == EINTR) continue;
      sleep_ms(20);
      continue;
    }
    on_bytes_(std::string_view(buf, static_cast<std::size_t>(got)));
  }
}

}  // namespace devkit
