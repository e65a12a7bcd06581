// The library's dynamic symbol table holds exactly the exports declared in orvik.h.
#include <elf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "orvik/orvik.h"

extern "C" int OrvikExportsSeenFromC(void);

namespace {

// The names orvik.h declares, from the same list that makes the prototypes.
std::set<std::string> DeclaredNames() {
  std::set<std::string> names;
#define ORVIK_EXPORT(group, name, params) names.insert(#name);
#include "orvik/exports.def"
#undef ORVIK_EXPORT
  return names;
}

struct DynamicTable {
  std::set<std::string> defined;  // global or weak symbols the library defines
  std::string soname;
};

// Reads .dynsym and .dynamic of a 64-bit ELF file.
DynamicTable ReadDynamicTable(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  DynamicTable table;
  if (image.size() < sizeof(Elf64_Ehdr)) return table;
  Elf64_Ehdr header;
  std::memcpy(&header, image.data(), sizeof header);
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
    return table;
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  std::memcpy(sections.data(), image.data() + header.e_shoff, header.e_shnum * sizeof(Elf64_Shdr));
  for (const Elf64_Shdr& section : sections) {
    const char* strings = image.data() + sections.at(section.sh_link).sh_offset;
    if (section.sh_type == SHT_DYNSYM) {
      for (size_t i = 0; i < section.sh_size / sizeof(Elf64_Sym); ++i) {
        Elf64_Sym symbol;
        std::memcpy(&symbol, image.data() + section.sh_offset + i * sizeof symbol, sizeof symbol);
        const int binding = ELF64_ST_BIND(symbol.st_info);
        if (symbol.st_shndx != SHN_UNDEF && (binding == STB_GLOBAL || binding == STB_WEAK))
          table.defined.insert(strings + symbol.st_name);
      }
    } else if (section.sh_type == SHT_DYNAMIC) {
      for (size_t i = 0; i < section.sh_size / sizeof(Elf64_Dyn); ++i) {
        Elf64_Dyn entry;
        std::memcpy(&entry, image.data() + section.sh_offset + i * sizeof entry, sizeof entry);
        if (entry.d_tag == DT_SONAME) table.soname = strings + entry.d_un.d_val;
      }
    }
  }
  return table;
}

std::vector<std::string> Difference(const std::set<std::string>& a,
                                    const std::set<std::string>& b) {
  std::vector<std::string> out;
  std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(out));
  return out;
}

TEST(ExportList, HeaderDeclaresTheWholeTable) {
  EXPECT_EQ(DeclaredNames().size(), 298u);
  EXPECT_EQ(ORVIK_EXPORT_COUNT, 298);
}

TEST(ExportList, HeaderIsUsableFromC) {
  // Every prototype compiles as C and names a function.
  EXPECT_EQ(OrvikExportsSeenFromC(), 298);
}

TEST(ExportList, LibraryExportsExactlyTheDeclaredNames) {
  const DynamicTable table = ReadDynamicTable(ORVIK_LIBRARY_PATH);
  const std::set<std::string> declared = DeclaredNames();
  ASSERT_FALSE(table.defined.empty()) << "no dynamic symbols read from " << ORVIK_LIBRARY_PATH;
  EXPECT_EQ(Difference(declared, table.defined), std::vector<std::string>{})
      << "declared in orvik.h but not exported";
  EXPECT_EQ(Difference(table.defined, declared), std::vector<std::string>{})
      << "exported but not declared in orvik.h";
}

TEST(ExportList, LibraryCarriesItsSoname) {
  EXPECT_EQ(ReadDynamicTable(ORVIK_LIBRARY_PATH).soname, "liborvik.so.1");
}

}  // namespace
