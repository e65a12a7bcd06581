#include "vuno_sim/device.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "inpout32/link.h"

namespace vuno_sim {

using Clock = std::chrono::steady_clock;

void Device::apply_control_file() {
  if (!control_.enabled()) return;
  for (const devkit::ControlLine& line : control_.take()) {
    const std::string& w = line.word;
    std::lock_guard lock(mutex_);
    if (w == "silent") {
      inject(Fault{Fault::kSilent}, line.number(0, 1));
    } else if (w == "slow") {
      inject(Fault{Fault::kSlow, line.number(0, 500)}, line.number(1, 1));
    } else if (w == "stall") {
      stall_next_ms = line.number(0, 3000);
    } else if (w == "garbage") {
      inject(Fault{Fault::kGarbage, 0, line.text_arg(0, "\xAA\x55")}, line.number(1, 1));
    } else if (w == "paper-low") {
      printer_.set_paper_low(true);
    } else if (w == "paper-out") {
      printer_.set_paper_out(true);
    } else if (w == "paper-ok") {
      printer_.set_paper_low(false);
      printer_.set_paper_out(false);
    } else if (w == "drawer-open") {
      printer_.set_drawer_open(true);
    } else if (w == "drawer-closed") {
      printer_.set_drawer_open(false);
    } else if (w == "offline") {
      offline = true;
    } else if (w == "online") {
      offline = false;
    } else if (w == "stuck-busy") {
      stuck_busy = true;
    } else if (w == "busy-free") {
      stuck_busy = false;
    } else if (w == "busy-us") {
      busy_us = line.number(0, 0);
    } else if (w == "clear") {
      clear_faults();
    }
  }
}

void Device::flush_journal() {
  if (journal_file_.empty()) return;
  std::string added;
  {
    std::lock_guard lock(mutex_);
    const std::string& journal = printer_.journal_text();
    if (journal.size() < journal_written_) journal_written_ = 0;  // the printer was cleared
    if (journal.size() == journal_written_) return;
    added = journal.substr(journal_written_);
    journal_written_ = journal.size();
  }
  std::ofstream out(journal_file_, std::ios::binary | std::ios::app);
  out.write(added.data(), static_cast<std::streamsize>(added.size()));
}

// ---- Serial ----

SerialServer::SerialServer(Device& device)
    : device_(device), server_(line_, [this](std::string_view b) { on_bytes(b); }) {}

SerialServer::~SerialServer() {
  server_.stop();
}

void SerialServer::on_bytes(std::string_view bytes) {
  device_.apply_control_file();
  if (device_.offline) return;
  // Holding the thread keeps the line unread; the host's bytes wait in its buffers.
  if (const int stall = device_.stall_next_ms.exchange(0); stall > 0) devkit::sleep_ms(stall);
  std::string reply;
  {
    std::lock_guard lock(device_.mutex());
    const std::optional<devkit::LineSettings> host = line_.host_settings();
    if (host && !(*host == expected_)) {
      device_.printer().garbage(bytes);
    } else {
      reply = device_.printer().feed(bytes);
    }
  }
  device_.flush_journal();
  if (reply.empty()) return;
  if (const std::optional<Fault> fault = device_.take_fault()) {
    switch (fault->kind) {
      case Fault::kSilent:
        return;
      case Fault::kSlow:
        devkit::sleep_ms(fault->ms);
        break;
      case Fault::kGarbage:
        reply += fault->bytes;
        break;
    }
  }
  line_.write_all(reply);
}

// ---- Parallel ----

ParallelServer::~ParallelServer() {
  stop();
  if (listener_ >= 0) ::close(listener_);
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool ParallelServer::listen(const std::filesystem::path& socket, std::string* error) {
  sockaddr_un addr{};
  const std::string path = socket.string();
  if (path.size() >= sizeof(addr.sun_path)) {
    if (error) *error = path + ": path too long for a socket";
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    if (error) *error = std::string("socket: ") + std::strerror(errno);
    return false;
  }
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
  ::unlink(path.c_str());
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 4) != 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  listener_ = fd;
  path_ = socket;
  return true;
}

void ParallelServer::start() {
  stop_ = false;
  thread_ = std::thread([this] { run(); });
}

void ParallelServer::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void ParallelServer::run() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    const int n = ::poll(&p, 1, 50);
    if (n <= 0) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    serve_client(client);
    ::close(client);
  }
}

void ParallelServer::serve_client(int fd) {
  unsigned char request[3];
  size_t got = 0;
  while (!stop_) {
    pollfd p{fd, POLLIN, 0};
    const int n = ::poll(&p, 1, 50);
    if (n < 0 && errno != EINTR) return;
    if (n <= 0) continue;
    const ssize_t r = ::recv(fd, request + got, sizeof request - got, 0);
    if (r <= 0) {
      if (r < 0 && errno == EINTR) continue;
      return;  // the host closed its end
    }
    got += static_cast<size_t>(r);
    if (got < sizeof request) continue;
    got = 0;
    ++requests_;
    unsigned char reply[2];
    const bool answer = handle(request, reply);
    device_.flush_journal();
    if (!answer) continue;
    if (::send(fd, reply, sizeof reply, MSG_NOSIGNAL) != 2) return;
  }
}

uint8_t ParallelServer::status() {
  using namespace inpout32;
  Printer& printer = device_.printer();
  const bool online = !device_.offline;
  const bool paper_out = printer.paper_out();
  const bool busy = device_.stuck_busy || !online || paper_out || Clock::now() < busy_until_;
  uint8_t s = 0;
  if (!busy) s |= kStatusReady;
  // nAck pulses low once when the printer is done with a byte.
  if (busy || !ack_pending_) s |= kStatusAck;
  if (!busy) ack_pending_ = false;
  if (paper_out) s |= kStatusPaperOut;
  if (online) s |= kStatusSelect;
  if (online && !paper_out) s |= kStatusError;
  return s;
}

bool ParallelServer::handle(const unsigned char request[3], unsigned char reply[2]) {
  using namespace inpout32;
  device_.apply_control_file();
  std::lock_guard lock(device_.mutex());
  reply[0] = kOk;
  reply[1] = 0;
  const char op = static_cast<char>(request[0]);
  const int reg = request[1];
  const uint8_t value = request[2];
  if (op == kWrite && reg == kData) {
    data_ = value;
    reply[1] = value;
  } else if (op == kWrite && reg == kControl) {
    const bool strobe_now = value & kControlStrobe;
    const bool strobe_before = control_ & kControlStrobe;
    control_ = value;
    reply[1] = value;
    if (strobe_now && !strobe_before) {
      // A byte strobed while the printer cannot take it is lost.
      if (!(status() & kStatusReady)) {
        device_.printer().garbage(std::string(1, static_cast<char>(data_)));
      } else {
        device_.printer().feed(std::string(1, static_cast<char>(data_)));
        int busy = device_.busy_us;
        if (std::optional<Fault> f = device_.take_fault()) {
          if (f->kind == Fault::kSlow) busy = f->ms * 1000;
          if (f->kind == Fault::kSilent) return false;
        }
        busy_until_ = Clock::now() + std::chrono::microseconds(busy);
        ack_pending_ = true;
      }
    }
  } else if (op == kRead && reg == kStatus) {
    reply[1] = status();
  } else if (op == kRead && reg == kData) {
    reply[1] = data_;
  } else if (op == kRead && reg == kControl) {
    reply[1] = control_;
  } else {
    reply[0] = kRefused;
    device_.printer().garbage(std::string(reinterpret_cast<const char*>(request), 3));
  }
  return true;
}

}  // namespace vuno_sim
