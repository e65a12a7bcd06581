#pragma once
// The file side of a client base: copying the template folder for a new base and
// removing a base's client-named subfolder.
#include <string>

namespace shell {

// Copies the template folder path_base_dados/Default to destino so that the base's files
// lie directly in destino (missing folders are created). Refuses a destino that already
// holds a data database: another client's records are never overwritten.
bool CopiaArquivos(const std::string& path_base_dados, const std::string& destino);

// Whether a client name can be the name of its base's folder.
bool NomeDePasta(const std::string& nome);

// Removes the folder path/nome, the name matched without regard to letter case. True when
// there is no such folder or it was removed.
bool RemoveArquivos(const std::string& path, const std::string& nome);

}  // namespace shell
