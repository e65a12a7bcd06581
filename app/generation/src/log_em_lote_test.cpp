#include "generation/log_em_lote.h"

#include <gtest/gtest.h>

namespace generation {
namespace {

using namespace std::chrono_literals;

TEST(LogEmLote, WhenAGroupCommits) {
  const std::string split = "12:00:01 - DesmembraRegistroTipo50 - Sucesso! Nota 12";
  const std::string step = "12:00:01 - Registro tipo 54 - Sucesso!";
  const std::string failure = "- Falha ao gerar o arquivo sintegra. Erro: disco cheio";
  struct Case {
    std::size_t pendentes;
    std::chrono::milliseconds idade;
    bool primeira;
    const std::string& linha;
    bool confirma;
  } cases[] = {
      {1, 0ms, true, step, true},         // the run's first line: a viewer sees it start
      {2, 10ms, false, step, false},      // any other line waits for its group
      {2, 10ms, false, split, false},
      {4999, 999ms, false, split, false},
      {5000, 0ms, false, split, true},    // a full group
      {3, 1000ms, false, split, true},    // a second old: a crash loses at most that
      {3, 1500ms, false, step, true},
      {3, 10ms, false, failure, true},    // a failure is in the base before anything else
  };
  for (const Case& c : cases)
    EXPECT_EQ(ConfirmaAgora(c.pendentes, c.idade, c.primeira, c.linha), c.confirma)
        << c.linha << " pendentes=" << c.pendentes << " idade=" << c.idade.count();
}

}  // namespace
}  // namespace generation
