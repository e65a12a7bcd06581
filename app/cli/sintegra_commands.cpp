#include "sintegra_commands.h"

#include <array>
#include <string>
#include <string_view>

#include "sintegra/sintegra.h"

namespace cli {

namespace {

// One line per record kind present: KIND<TAB>COUNT, in the order of the kinds.
int ListKinds(const Arguments& args, Context& context) {
  RequireArguments(args, 1);
  sintegra::TSintegra file;
  file.CarregaArquivo(args[0]);
  // One pass over the records: a large file holds a million of them.
  std::array<size_t, sintegra::kAllRecordKinds.size()> counts{};
  for (const auto& registro : file.Registros()) {
    std::string_view type = registro->ValueView(1);
    std::string name(type);
    if (type == "60") name += registro->ValueView(2);
    if (auto kind = sintegra::KindFromName(name)) ++counts[static_cast<size_t>(*kind)];
  }
  for (sintegra::TTipoRegistros kind : sintegra::kAllRecordKinds) {
    size_t count = counts[static_cast<size_t>(kind)];
    if (count > 0) context.out << sintegra::KindName(kind) << '\t' << count << '\n';
  }
  return kExitSuccess;
}

// The records of the file, without its trailers, written as a new file with a fresh one.
int Rewrite(const Arguments& args, Context& context) {
  RequireArguments(args, 2);
  sintegra::TSintegra input;
  input.CarregaArquivo(args[0]);
  sintegra::TSintegra output;
  for (const auto& registro : input.Registros()) {
    if (registro->Tipo() != "90") output.AdicionaRegistro(registro);
  }
  output.DefineDiretorio(args[1]);
  if (!output.GeraArquivo()) {
    context.err << "Gravando Arquivo Sintegra.\n" << output.LastError() << "\n";
    return kExitFailure;
  }
  context.out << output.OutputPath().string() << '\n';
  return kExitSuccess;
}

}  // namespace

void AddSintegraCommands(Dispatcher& dispatcher) {
  dispatcher.Add({{"sintegra", "ler"},
                  "ARQUIVO",
                  "carrega o arquivo e mostra quantos registros há de cada tipo",
                  ListKinds});
  dispatcher.Add({{"sintegra", "reescrever"},
                  "ARQUIVO PASTA",
                  "regrava os registros do arquivo em PASTA/Sintegra.txt com novo registro 90",
                  Rewrite});
}

}  // namespace cli
