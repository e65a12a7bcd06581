#pragma once
// Checks a Sintegra file before it goes to the state: every line against its layout, the
// identities against their check digits, the codes against their tables, and the records
// against each other and against the type-90 trailer. One pass over the bytes; the
// memory kept grows only with the keys that records of different lines share (invoices,
// product codes, ECF days).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sintegra {

enum class Severidade {
  Erro,   // the state would refuse the file
  Aviso,  // probably wrong, but accepted
};

// One finding. Texts are UTF-8.
struct Achado {
  std::uint64_t linha = 0;  // line number, from 1; 0 for the file as a whole
  std::string registro;     // "10", "50", "60M" ...; empty when the line has no known type
  std::string campo;        // the field's name ("CNPJ", "Data de Emissão"; "Linha" for it whole)
  int coluna_inicial = 0;   // the field's columns, from 1; 0 when there is no field
  int coluna_final = 0;
  Severidade severidade = Severidade::Erro;
  std::string regra;     // the rule's short name, as the README lists it ("cnpj", "90.total")
  std::string mensagem;  // Portuguese, for the person who reads it
};

// The month the file must cover; without it the one its type-10 record declares.
struct Periodo {
  int mes = 0;
  int ano = 0;
};

struct ContagemAchados {
  std::uint64_t erros = 0;
  std::uint64_t avisos = 0;
  std::uint64_t linhas = 0;
};

// Receives each finding as it is found. Findings of one line come in line order; those
// that need the whole file (cross-record rules, the trailer) come at the end, in line order.
using DestinoAchados = std::function<void(const Achado&)>;

class ValidadorSintegra {
 public:
  explicit ValidadorSintegra(DestinoAchados destino, std::optional<Periodo> periodo = {});
  ~ValidadorSintegra();
  ValidadorSintegra(const ValidadorSintegra&) = delete;
  ValidadorSintegra& operator=(const ValidadorSintegra&) = delete;

  // The next piece of the file, of any size (a line may run across pieces).
  void Adiciona(std::string_view bytes);
  // The end of the file: the last line, the trailer and the cross-record rules.
  ContagemAchados Termina();

 private:
  struct Estado;
  std::unique_ptr<Estado> estado_;
};

// The whole file at path, read as a stream. Raises SintegraError when it cannot be read.
ContagemAchados ValidaArquivo(const std::filesystem::path& arquivo, const DestinoAchados& destino,
                              std::optional<Periodo> periodo = {});

// The same, keeping every finding (in line order).
struct ResultadoValidacao {
  std::vector<Achado> achados;
  ContagemAchados contagem;
};
ResultadoValidacao ValidaArquivo(const std::filesystem::path& arquivo,
                                 std::optional<Periodo> periodo = {});

// "Erro linha N registro TT campo NOME: mensagem" ("Aviso ..."); without a line or a field
// those parts are left out.
std::string LinhaDoAchado(const Achado& achado);

// "N erro(s) e M aviso(s)" in words people read.
std::string ResumoDaContagem(const ContagemAchados& contagem);

// The report saved beside a checked file: a heading naming the file, one line per
// finding with its columns, and the counts.
std::string RelatorioDeValidacao(const std::string& arquivo, const std::vector<Achado>& achados,
                                 const ContagemAchados& contagem);

// The name of that report, in the checked file's folder.
inline constexpr const char kArquivoRelatorioValidacao[] = "Sintegra-validacao.txt";

}  // namespace sintegra
