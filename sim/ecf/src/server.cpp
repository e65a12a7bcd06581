#include "ecf_sim/server.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

namespace ecf_sim {

namespace {

void make_raw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return;
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
}

void sleep_ms(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

Server::Server(Printer& printer) : printer_(printer) {}

Server::~Server() {
  stop();
  if (fd_ >= 0) ::close(fd_);
  if (keep_open_ >= 0) ::close(keep_open_);
}

bool Server::open_pty(std::string* error) {
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    if (error) *error = std::string("openpty: ") + std::strerror(errno);
    return false;
  }
  // Raw from the start: no echo of requests back to us, no line-end translation.
  make_raw(slave);
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(slave, F_SETFD, FD_CLOEXEC);
  fd_ = master;
  keep_open_ = slave;
  slave_path_ = name;
  return true;
}

bool Server::open_device(const std::string& path, std::string* error) {
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return false;
  }
  make_raw(fd);
  fd_ = fd;
  slave_path_ = path;
  return true;
}

void Server::start() {
  stop_ = false;
  thread_ = std::thread([this] { run(); });
}

void Server::stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void Server::inject(const Fault& f, int count) {
  std::lock_guard lock(faults_mutex_);
  for (int i = 0; i < count; ++i) faults_.push_back(f);
}

void Server::clear_faults() {
  std::lock_guard lock(faults_mutex_);
  faults_.clear();
}

void Server::run() {
  char buf[4096];
  while (!stop_) {
    pollfd p{fd_, POLLIN, 0};
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
    ssize_t got = ::read(fd_, buf, sizeof buf);
    if (got <= 0) {
      if (got < 0 && errno == EINTR) continue;
      sleep_ms(20);
      continue;
    }
    assembler_.feed(std::string_view(buf, static_cast<std::size_t>(got)));
    while (auto req = assembler_.next()) handle(*req);
  }
}

bool Server::write_all(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        sleep_ms(1);
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

void Server::apply_control_file() {
  if (control_file_.empty()) return;
  std::ifstream in(control_file_);
  if (!in) return;
  std::string line;
  std::vector<std::string> lines;
  while (std::getline(in, line)) lines.push_back(line);
  in.close();
  std::filesystem::remove(control_file_);
  for (const auto& l : lines) {
    std::istringstream ss(l);
    std::string word;
    ss >> word;
    Fault f;
    int count = 1;
    if (word == "error") {
      f.kind = Fault::kError;
      ss >> f.code >> count;
    } else if (word == "silent") {
      f.kind = Fault::kSilence;
      ss >> count;
    } else if (word == "split") {
      f.kind = Fault::kSplit;
      f.delay_ms = 20;
      ss >> f.parts >> f.delay_ms >> count;
    } else if (word == "noise") {
      f.kind = Fault::kNoise;
      ss >> f.noise >> count;
    } else if (word == "slow") {
      f.kind = Fault::kSlow;
      ss >> f.delay_ms >> count;
    } else if (word == "paper-out" || word == "paper-ok" || word == "paper-low") {
      std::lock_guard lock(mutex_);
      printer_.state().paper_out = word == "paper-out";
      printer_.state().paper_near_end = word == "paper-low";
      continue;
    } else if (word == "cheque-in" || word == "cheque-out" || word == "intervention-on" ||
               word == "intervention-off") {
      std::lock_guard lock(mutex_);
      if (word.rfind("cheque", 0) == 0)
        printer_.state().cheque_present = word == "cheque-in";
      else
        printer_.set_technical_intervention(word == "intervention-on");
      continue;
    } else if (word == "clear") {
      clear_faults();
      continue;
    } else {
      if (!word.empty()) std::cerr << "orvik-ecf-sim: linha de controle ignorada: " << l << "\n";
      continue;
    }
    if (count < 1) count = 1;
    inject(f, count);
  }
}

void Server::handle(const Request& r) {
  apply_control_file();
  std::optional<Fault> fault;
  {
    std::lock_guard lock(faults_mutex_);
    if (!faults_.empty()) {
      fault = faults_.front();
      faults_.pop_front();
    }
  }
  ++served_;
  if (fault && fault->kind == Fault::kSilence) return;
  std::string reply;
  bool save = false;
  {
    std::lock_guard lock(mutex_);
    Reply rep;
    if (fault && fault->kind == Fault::kError) {
      auto [name, text] = Printer::describe_error(fault->code);
      rep = Reply{fault->code, "NomeErro=\"" + name + "\" Circunstancia=\"" + text + "\""};
    } else {
      rep = printer_.execute(r.command, r.params);
    }
    reply = build_reply(r.packet, std::to_string(rep.code), rep.results);
    save = printer_.changed() && !state_file_.empty();
  }
  if (fault && fault->kind == Fault::kSlow) sleep_ms(fault->delay_ms);
  if (fault && fault->kind == Fault::kNoise) write_all(fault->noise);
  if (fault && fault->kind == Fault::kSplit && fault->parts > 1) {
    std::size_t step = std::max<std::size_t>(1, reply.size() / fault->parts);
    for (std::size_t at = 0; at < reply.size(); at += step) {
      write_all(std::string_view(reply).substr(at, step));
      if (at + step < reply.size()) sleep_ms(fault->delay_ms);
    }
  } else {
    write_all(reply);
  }
  if (save) {
    std::lock_guard lock(mutex_);
    std::string error;
    if (printer_.save(state_file_, &error))
      printer_.clear_changed();
    else
      std::cerr << "orvik-ecf-sim: " << error << "\n";
  }
}

}  // namespace ecf_sim
