#include "sintegra_commands.h"

#include <array>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sintegra/sintegra.h"
#include "sintegra/validador.h"

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

// A JSON string of a UTF-8 text.
std::string Json(const std::string& s) {
  std::string j = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      j += '\\';
      j += static_cast<char>(c);
    } else if (c < 0x20) {
      char t[8];
      std::snprintf(t, sizeof t, "\\u%04x", c);
      j += t;
    } else {
      j += static_cast<char>(c);
    }
  }
  return j + "\"";
}

int NumeroDaOpcao(const std::string& nome, const std::string& valor, int min, int max) {
  size_t usados = 0;
  int n = 0;
  try {
    n = std::stoi(valor, &usados);
  } catch (const std::exception&) {
    usados = 0;
  }
  if (valor.empty() || usados != valor.size() || n < min || n > max)
    throw UsageError(nome + " deve ser um número de " + std::to_string(min) + " a " +
                     std::to_string(max) + ": " + valor);
  return n;
}

// Checks a Sintegra file: one line per finding, then the counts. Exit 1 with errors.
int Validate(const Arguments& args, Context& context) {
  std::optional<int> mes, ano;
  bool json = false;
  std::vector<std::string> arquivos;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--mes" || args[i] == "--ano") {
      if (i + 1 >= args.size()) throw UsageError("falta o valor de " + args[i]);
      if (args[i] == "--mes")
        mes = NumeroDaOpcao("--mes", args[i + 1], 1, 12);
      else
        ano = NumeroDaOpcao("--ano", args[i + 1], 1900, 3000);
      ++i;
    } else if (args[i].rfind("--", 0) == 0) {
      throw UsageError("opção desconhecida: " + args[i]);
    } else {
      arquivos.push_back(args[i]);
    }
  }
  if (arquivos.size() != 1) throw UsageError("informe um ARQUIVO");
  if (mes.has_value() != ano.has_value()) throw UsageError("--mes e --ano vão juntos");
  std::optional<sintegra::Periodo> periodo;
  if (mes) periodo = sintegra::Periodo{*mes, *ano};

  bool primeiro = true;
  if (json) context.out << "[";
  auto mostra = [&](const sintegra::Achado& a) {
    if (!json) {
      context.out << sintegra::LinhaDoAchado(a) << '\n';
      return;
    }
    context.out << (primeiro ? "\n" : ",\n") << "  {\"linha\": " << a.linha
                << ", \"registro\": " << Json(a.registro) << ", \"campo\": " << Json(a.campo)
                << ", \"coluna_inicial\": " << a.coluna_inicial
                << ", \"coluna_final\": " << a.coluna_final << ", \"severidade\": "
                << (a.severidade == sintegra::Severidade::Erro ? "\"erro\"" : "\"aviso\"")
                << ", \"regra\": " << Json(a.regra) << ", \"mensagem\": " << Json(a.mensagem)
                << "}";
    primeiro = false;
  };
  sintegra::ContagemAchados contagem;
  try {
    contagem = sintegra::ValidaArquivo(arquivos[0], mostra, periodo);
  } catch (const std::exception& e) {
    if (json) context.out << "]\n";
    context.err << e.what() << "\n";
    return kExitUsage;
  }
  if (json) {
    context.out << (primeiro ? "]\n" : "\n]\n");
    context.err << sintegra::ResumoDaContagem(contagem) << "\n";
  } else {
    context.out << sintegra::ResumoDaContagem(contagem) << "\n";
  }
  return contagem.erros > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace

void AddSintegraCommands(Dispatcher& dispatcher) {
  dispatcher.Add({{"sintegra", "validar"},
                  "ARQUIVO [--mes M --ano AAAA] [--json]",
                  "confere o arquivo como o estado o conferiria: uma linha por erro ou aviso e "
                  "a contagem; saída 1 quando há erros",
                  Validate});
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
