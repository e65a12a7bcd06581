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

void Server::clear_faults() {
  faults_.clear();
}

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
  std::optional<Fault> fault = faults_.take();
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
