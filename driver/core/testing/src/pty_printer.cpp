#include "orvik/core/pty_printer.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace orvik::core {

PtyPrinter::PtyPrinter(Script script, bool hold_line) : script_(std::move(script)) {
  int slave = -1;
  char name[256] = {};
  if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0)
    throw std::runtime_error("openpty failed");
  slave_name_ = name;
  // Unless the line is held, the slave is closed here: the driver opens it per command.
  // While no slave is open the master reports a hang-up, which the reading loop waits out.
  if (hold_line) {
    held_slave_ = slave;
  } else {
    ::close(slave);
  }
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  thread_ = std::thread([this] { Run(); });
}

PtyPrinter::~PtyPrinter() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (held_slave_ != -1) ::close(held_slave_);
  ::close(master_);
}

std::vector<PtyPrinter::Frame> PtyPrinter::frames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return frames_;
}

std::vector<std::string> PtyPrinter::commands() const {
  std::vector<std::string> names;
  for (const Frame& f : frames()) names.push_back(f.command);
  return names;
}

void PtyPrinter::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  frames_.clear();
}

std::string PtyPrinter::Reply(const Frame& f, const std::string& code, const std::string& results) {
  const std::string body = f.packet + ";" + code + ";" + results + ";";
  return "{" + body + std::to_string(body.size()) + "}";
}

void PtyPrinter::Answer(const std::string& bytes) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  size_t done = 0;
  while (done < bytes.size() && !stop_ && std::chrono::steady_clock::now() < deadline) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      return;  // the driver has gone away
    } else {
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 5);
    }
  }
}

void PtyPrinter::Run() {
  std::string pending;
  char buf[4096];
  while (!stop_) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, 5) <= 0) continue;
    if (!(p.revents & POLLIN)) {
      // No slave open: nothing to read until the driver opens it again.
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      continue;
    }
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n <= 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      continue;
    }
    pending.append(buf, static_cast<size_t>(n));
    size_t close;
    while ((close = pending.find('}')) != std::string::npos) {
      Frame f;
      f.text = pending.substr(0, close + 1);
      pending.erase(0, close + 1);
      const size_t a = f.text.find(';');
      const size_t b = a == std::string::npos ? a : f.text.find(';', a + 1);
      const size_t c = f.text.rfind(';');
      if (a != std::string::npos && b != std::string::npos && c > b) {
        f.packet = f.text.substr(1, a - 1);
        f.command = f.text.substr(a + 1, b - a - 1);
        f.parameters = f.text.substr(b + 1, c - b - 1);
      }
      ::tcgetattr(master_, &f.line);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        frames_.push_back(f);
      }
      const std::string answer = script_ ? script_(f) : std::string();
      if (!answer.empty()) Answer(answer);
    }
  }
}

}  // namespace orvik::core
