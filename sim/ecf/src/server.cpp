#include "ecf_sim/server.h"

#include <iostream>
#include <sstream>

namespace ecf_sim {

using devkit::sleep_ms;

Server::Server(Printer& printer)
    : printer_(printer), loop_(line_, [this](std::string_view bytes) {
        assembler_.feed(bytes);
        while (auto req = assembler_.next()) handle(*req);
      }) {}

Server::~Server() {
  stop();
}

bool Server::open_pty(std::string* error) {
  return line_.open_pty(error);
}

bool Server::open_device(const std::string& path, std::string* error) {
  return line_.open_device(path, error);
}

void Server::start() {
  loop_.start();
}

void Server::stop() {
  loop_.stop();
}

void Server::run() {
  loop_.run();
}

void Server::inject(const Fault& f, int count) {
  faults_.push(f, count);
}

void Server::inject_on(const Fault& f, std::string command, std::string match, int count) {
  aimed_.add(f, std::move(command), std::move(match), count);
}

void Server::clear_faults() {
  faults_.clear();
  aimed_.clear();
}

namespace {

// The words of a control line from argument i on, joined by blanks ("" when none).
std::string rest_of(const devkit::ControlLine& c, std::size_t i) {
  std::string out;
  for (; i < c.args.size(); ++i) out += (out.empty() ? "" : " ") + c.args[i];
  return out;
}

}  // namespace

void Server::apply_control_file() {
  for (const auto& c : control_.take()) {
    const std::string& l = c.text;
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
    } else if (word == "error-on" || word == "silent-on") {
      // error-on COMMAND CODE [N [TEXT]], silent-on COMMAND [N [TEXT]]
      const bool error = word == "error-on";
      f.kind = error ? Fault::kError : Fault::kSilence;
      if (error) f.code = c.number(1, 0);
      const std::size_t n_at = error ? 2 : 1;
      if (c.args.empty() || (error && f.code == 0)) {
        std::cerr << "orvik-ecf-sim: linha de controle ignorada: " << l << "\n";
        continue;
      }
      inject_on(f, c.args[0], rest_of(c, n_at + 1), c.number(n_at, 1));
      continue;
    } else if (word == "journal") {
      const std::string file = rest_of(c, 0);
      if (file.empty() || !journal_.write_to(file))
        std::cerr << "orvik-ecf-sim: diario nao gravado: " << l << "\n";
      continue;
    } else if (word == "journal-clear") {
      journal_.clear();
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
  std::optional<Fault> fault = aimed_.take(r.command, r.params);
  if (!fault) fault = faults_.take();
  ++served_;
  if (fault && fault->kind == Fault::kSilence) {
    journal_.add({r.command, r.params, -1});
    return;
  }
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
    journal_.add({r.command, r.params, rep.code});
    save = printer_.changed() && !state_file_.empty();
  }
  if (fault && fault->kind == Fault::kSlow) sleep_ms(fault->delay_ms);
  if (fault && fault->kind == Fault::kNoise) line_.write_all(fault->noise);
  if (fault && fault->kind == Fault::kSplit)
    line_.write_in_pieces(reply, fault->parts, fault->delay_ms);
  else
    line_.write_all(reply);
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
