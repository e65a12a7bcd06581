#include "generation/linhas_guardadas.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace generation {
namespace {

std::vector<std::string> Devolvidas(LinhasGuardadas& g) {
  std::vector<std::string> out;
  g.ParaCada([&](std::string_view linha) { out.emplace_back(linha); });
  return out;
}

// Lines of every shape come back whole and in order, whether they stayed in memory, went
// to the file, or were cut by the pieces the file is read back in.
TEST(LinhasGuardadasTest, GivesBackEveryLineInOrder) {
  struct Caso {
    const char* nome;
    std::size_t buffer;
    std::vector<std::string> linhas;
  };
  std::string longa(5000, 'x');
  longa[17] = '\r';
  longa[18] = '\n';
  std::vector<std::string> muitas;
  for (int i = 0; i < 3000; ++i)
    muitas.push_back("54" + std::to_string(i) + std::string(static_cast<size_t>(i % 130), '0') +
                     "\r\n");
  const Caso casos[] = {
      {"nenhuma", 1 << 20, {}},
      {"em memoria", 1 << 20, {"a\r\n", "", "b", std::string("\0\n\0", 3)}},
      {"uma linha maior que o buffer", 64, {"curta", longa, "", "fim"}},
      {"muitas, pelo arquivo", 1000, muitas},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nome);
    LinhasGuardadas g(c.buffer);
    for (const std::string& l : c.linhas) g.Guarda(l);
    EXPECT_EQ(g.Quantidade(), c.linhas.size());
    EXPECT_EQ(Devolvidas(g), c.linhas);
    // Handing back keeps them, and more may follow.
    g.Guarda("depois");
    std::vector<std::string> esperado = c.linhas;
    esperado.push_back("depois");
    EXPECT_EQ(Devolvidas(g), esperado);
  }
}

TEST(LinhasGuardadasTest, AnErrorOfTheReaderEndsTheReading) {
  LinhasGuardadas g(16);
  for (int i = 0; i < 100; ++i) g.Guarda("linha " + std::to_string(i));
  int vistas = 0;
  EXPECT_THROW(g.ParaCada([&](std::string_view) {
    if (++vistas == 10) throw std::runtime_error("parou");
  }),
               std::runtime_error);
  EXPECT_EQ(vistas, 10);
  // Lines kept after a reading that stopped midway go after the others, and the next
  // reading starts over from the first line.
  for (int i = 100; i < 200; ++i) g.Guarda("linha " + std::to_string(i));
  std::vector<std::string> todas = Devolvidas(g);
  ASSERT_EQ(todas.size(), 200u);
  for (int i = 0; i < 200; ++i)
    EXPECT_EQ(todas[static_cast<size_t>(i)], "linha " + std::to_string(i));
}

}  // namespace
}  // namespace generation
