#pragma once
// The command line of tributarium-cli: a table of commands, each named by one or more
// words ("sintegra ler"), found by the words given and run with the arguments after them.
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace cli {

enum ExitCode : int { kExitSuccess = 0, kExitFailure = 1, kExitUsage = 2 };

// What a command runs with. Texts written to out and err are UTF-8.
struct Context {
  std::ostream& out;
  std::ostream& err;
};

using Arguments = std::vector<std::string>;

struct Command {
  std::vector<std::string> words;  // the words that name it, e.g. {"sintegra", "ler"}
  std::string arguments;           // its arguments as the usage text shows them
  std::string summary;             // one line on what it does
  // Returns the exit code; raising UsageError exits 2, any other error exits 1 with its
  // message on err.
  std::function<int(const Arguments&, Context&)> run;
};

// Wrong arguments for a command: the message and the usage go to err, exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Dispatcher {
 public:
  // program: the name the usage texts give (tributarium-demo-dados shares this table).
  explicit Dispatcher(std::string program = "tributarium-cli") : program_(std::move(program)) {}

  void Add(Command command);

  // Runs the command named by args (the program name left out) and returns the exit code.
  int Run(const Arguments& args, Context& context) const;

  std::string Usage() const;

 private:
  const Command* Find(const Arguments& args, size_t first) const;
  std::string program_;
  std::vector<Command> commands_;
};

// Requires exactly count arguments; otherwise raises UsageError.
void RequireArguments(const Arguments& args, size_t count);

}  // namespace cli
