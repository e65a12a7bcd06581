#pragma once
// The rules of the generation options that the screen and the command line share: the
// month names, which record kinds a run gets, what refuses a run, the output folder, the
// subtype mask of an ECF reading and the move of the file it produced.
#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "sintegra/tipos.h"

namespace generation {

// The month as the generation screen names it ("Janeiro" ... "Dezembro"); empty outside 1-12.
std::string NomeDoMes(int mes);

// The kinds of a run in the screen's order (10, 11, 50, 54, 60A, 60D, 60I, 60M, 60R, 74,
// 75, 90) from the kinds chosen. Only the third nature of operations (all operations)
// keeps the point-of-sale kinds (60 and 75).
sintegra::TListaTipoRegistros SelecaoDoRun(const std::set<sintegra::TTipoRegistros>& escolhidos,
                                           int natureza);

bool AlgumTipo60(const sintegra::TListaTipoRegistros& selecao);

// What refuses a run, as the screen says it; nothing when the run may start.
inline constexpr const char kNenhumRegistro[] =
    "Por favor, selecione pelo menos um Registro a ser gerado.";
inline constexpr const char kCampoArquivo60[] = "Arquivo com registros tipo 60 e 75";
std::optional<std::string> RecusaDoRun(const sintegra::TListaTipoRegistros& selecao,
                                       const std::string& arquivo60);

// "Por favor, preencha o campo \"%s\"." filled in.
std::string PreenchaOCampo(const std::string& campo);

inline constexpr const char kFalhaPasta[] =
    "Não foi possível criar a estrutura de pasta para a geração do arquivo do Sintegra.\n"
    "Verifique se o diretório de geração do sintegra possui permição de escrita.";

// PathSintegra/<year>/<month name>.
std::filesystem::path PastaDaGeracao(const std::filesystem::path& path_sintegra, int ano, int mes);

// Makes the folder with every missing parent; false when it is not there afterwards.
bool CriaPasta(const std::filesystem::path& pasta);

// The subtype mask of an ECF reading: 4 for 60D, 8 for 60I, 16 for 60R (60M and 60A
// add nothing).
int MascaraSubtipos(const sintegra::TListaTipoRegistros& selecao);

// Moves the file into pasta under its own name: its bytes are copied completely to a file
// aside, handed to the disk and renamed over any file of that name; only then is the
// source removed. Answers the new path; raises std::runtime_error saying what failed, and
// then the source is left where it was.
std::filesystem::path MoveArquivo(const std::filesystem::path& origem,
                                  const std::filesystem::path& pasta);

}  // namespace generation
