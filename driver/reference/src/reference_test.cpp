#include "orvik/reference/reference.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace orvik::reference {
namespace {

std::string Whole() {
  std::ifstream in(ORVIK_REFERENCE_FILE, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Reference, EveryExportHasAWholeEntry) {
  std::vector<std::string> problems;
  const Reference ref = Load(Whole(), problems);
  EXPECT_TRUE(problems.empty()) << problems.front();
  ASSERT_EQ(ref.entries.size(), DeclaredExports().size());
  const Entry* e = ref.Find("Orvik_NumeroCupom");
  ASSERT_NE(e, nullptr);
  ASSERT_EQ(e->answers.size(), 1u);
  EXPECT_EQ(e->answers[0].kind, 'd');
  EXPECT_EQ(e->answers[0].width, 6);
  EXPECT_TRUE(e->WritesReturnFile());
  // A second name carries the first one's entry.
  const Entry* alias = ref.Find("OrvikCupom_EnviaBuffer");
  ASSERT_NE(alias, nullptr);
  EXPECT_EQ(alias->does, ref.Find("Vuno_EnviaBuffer")->does);
  EXPECT_FALSE(ref.ini_keys.empty());
  EXPECT_FALSE(ref.codes.empty());
  EXPECT_FALSE(ref.files.empty());
}

// A reference with holes says where they are.
TEST(Reference, GapsAndMistakesAreListed) {
  const std::string text =
      "Orvik_NumeroCupom | LQ | The COO. | coo=6x the COO\n"
      "Orvik_NoSuchExport | L | x | \n"
      "Orvik_LinhasEntreCupons | * | Lines. | \n"
      "Orvik_LinhasEntreCupons | * | Again. | \n"
      "Orvik_CNPJ_IE | L | CNPJ and IE. | cnpj=18t x\n"
      "Orvik_ProgramaOperador | Z | x | | nome: misspelt\n";
  std::vector<std::string> problems;
  Load(text, problems);
  auto has = [&](const std::string& part) {
    for (const std::string& p : problems)
      if (p.find(part) != std::string::npos) return true;
    return false;
  };
  EXPECT_TRUE(has("answer does not read: coo=6x"));
  EXPECT_TRUE(has("not an export of exports.def: Orvik_NoSuchExport"));
  EXPECT_TRUE(has("a second entry for Orvik_LinhasEntreCupons"));
  EXPECT_TRUE(has("Orvik_CNPJ_IE: no answer for ie"));
  EXPECT_TRUE(has("Orvik_ProgramaOperador: models are letters"));
  EXPECT_TRUE(has("Orvik_ProgramaOperador: no form for the parameter name"));
  EXPECT_TRUE(has("Orvik_ProgramaOperador: form for no parameter: nome"));
  EXPECT_TRUE(has("no entry for Orvik_AbrePortaSerial"));
}

TEST(Reference, ExampleValuesComeFromTheForms) {
  EXPECT_EQ(ExampleText("an amount, \"12,50\" or \"1250\""), "12,50");
  EXPECT_EQ(ExampleText("no example"), "");
  EXPECT_EQ(ExampleInteger("dots, 50 to 200"), 50);
  EXPECT_EQ(ExampleInteger("-1 for none"), -1);
}

}  // namespace
}  // namespace orvik::reference
