#include "dispatcher.h"

#include <exception>

namespace cli {

void Dispatcher::Add(Command command) {
  commands_.push_back(std::move(command));
}

const Command* Dispatcher::Find(const Arguments& args, size_t first) const {
  const Command* best = nullptr;
  for (const Command& c : commands_) {
    if (args.size() - first < c.words.size()) continue;
    bool match = true;
    for (size_t i = 0; match && i < c.words.size(); ++i) match = args[first + i] == c.words[i];
    if (match && (!best || c.words.size() > best->words.size())) best = &c;
  }
  return best;
}

std::string Dispatcher::Usage() const {
  std::string text = "uso: " + program_ + " COMANDO [ARGUMENTOS]\ncomandos:\n";
  for (const Command& c : commands_) {
    std::string line = "  ";
    for (const auto& w : c.words) line += w + " ";
    line += c.arguments;
    text += line + "\n      " + c.summary + "\n";
  }
  return text;
}

int Dispatcher::Run(const Arguments& args, Context& context) const {
  size_t first = 0;
  if (first < args.size() && (args[first] == "--help" || args[first] == "-h")) {
    context.out << Usage();
    return kExitSuccess;
  }
  // Global options (they begin with "--") come before the command words.
  if (first < args.size() && args[first].rfind("--", 0) == 0) {
    context.err << "opção desconhecida: " << args[first] << "\n" << Usage();
    return kExitUsage;
  }
  const Command* command = Find(args, first);
  if (command == nullptr) {
    if (first < args.size()) context.err << "comando desconhecido: " << args[first] << "\n";
    context.err << Usage();
    return kExitUsage;
  }
  Arguments rest(args.begin() + static_cast<std::ptrdiff_t>(first + command->words.size()),
                 args.end());
  try {
    return command->run(rest, context);
  } catch (const UsageError& e) {
    context.err << e.what() << "\nuso: " << program_ << " ";
    for (const auto& w : command->words) context.err << w << " ";
    context.err << command->arguments << "\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    context.err << e.what() << "\n";
    return kExitFailure;
  }
}

void RequireArguments(const Arguments& args, size_t count) {
  if (args.size() < count) throw UsageError("argumentos faltando");
  if (args.size() > count) throw UsageError("argumentos demais");
}

}  // namespace cli
