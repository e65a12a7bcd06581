#pragma once
// Where the program's pictures (Imagens/) and manual (Manual/) are: beside the program
// in a build tree, under share/tributarium/ in an installed one.
#include <filesystem>

namespace shell {

// The folder holding Imagens/ and Manual/ for a program in `program_folder`: that folder
// when it has Imagens/, otherwise program_folder/../share/tributarium/. Ends with "/".
std::filesystem::path PastaDosRecursos(const std::filesystem::path& program_folder);

// The same for this program.
std::filesystem::path PastaDosRecursos();

}  // namespace shell
