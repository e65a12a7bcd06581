// tributarium-cli: the program's operations without windows, for scripts.
#include <unistd.h>

#include <iostream>

#include "caixoro_commands.h"
#include "copia_seguranca_commands.h"
#include "dispatcher.h"
#include "ecf_commands.h"
#include "gerar_todas_commands.h"
#include "programa_commands.h"
#include "sintegra_commands.h"

int main(int argc, char** argv) {
  cli::Context context{std::cout, std::cerr};
  cli::Arguments args(argv + 1, argv + argc);
  cli::OpcoesGlobais opcoes;
  cli::Dispatcher dispatcher;
  cli::AddSintegraCommands(dispatcher);
  cli::AddProgramaCommands(dispatcher, opcoes);
  cli::AddEcfCommands(dispatcher, opcoes);
  cli::AddCaixoroCommands(dispatcher, opcoes);
  cli::AddCopiaSegurancaCommands(dispatcher, opcoes);
  cli::AddGerarTodasCommands(dispatcher, opcoes);
  try {
    opcoes = cli::OpcoesGlobais::Extrai(args);
  } catch (const cli::UsageError& e) {
    std::cerr << e.what() << "\n" << dispatcher.Usage();
    return cli::kExitUsage;
  }
  opcoes.progresso_no_terminal = ::isatty(STDERR_FILENO) == 1;
  return dispatcher.Run(args, context);
}
