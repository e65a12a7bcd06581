// tributarium-cli: the program's operations without windows, for scripts.
#include <iostream>

#include "dispatcher.h"
#include "sintegra_commands.h"

int main(int argc, char** argv) {
  cli::Dispatcher dispatcher;
  cli::AddSintegraCommands(dispatcher);
  cli::Context context{std::cout, std::cerr};
  return dispatcher.Run(cli::Arguments(argv + 1, argv + argc), context);
}
