#include "sintegra/identidades.h"

#include <gtest/gtest.h>

#include <string>

namespace sintegra {
namespace {

// Per state: the example the state's rule is published with, a second registration made
// by the same rule, and the published one with its last digit changed.
struct IeCaso {
  const char* uf;
  const char* publicada;
  const char* outra;
  const char* invalida;
};

constexpr IeCaso kIes[] = {
    {"AC", "0100482300112", "0152601815938", "0100482300113"},
    {"AL", "240000048", "240083016", "240000049"},
    {"AM", "999999990", "048609137", "999999991"},
    {"AP", "030123459", "030661315", "030123450"},
    {"BA", "12345663", "290996009", "12345664"},
    {"BA", "100000306", "290996009", "100000307"},
    {"CE", "060000015", "063082462", "060000016"},
    {"DF", "0730000100109", "0728194821930", "0730000100100"},
    {"ES", "999999990", "089351819", "999999991"},
    {"GO", "109876547", "109093780", "109876548"},
    {"MA", "120000385", "126579750", "120000386"},
    {"MG", "0623079040081", "9118625276010", "0623079040082"},
    {"MS", "283115947", "284875740", "283115948"},
    {"MT", "00130000019", "00134323190", "00130000010"},
    {"PA", "159999995", "151895554", "159999996"},
    {"PB", "060000015", "169797112", "060000016"},
    {"PE", "032141840", "650752937", "032141841"},
    {"PE", "18100100000049", "650752937", "18100100000048"},
    {"PI", "193016567", "191703427", "193016568"},
    {"PR", "1234567850", "4710497430", "1234567851"},
    {"RJ", "99999993", "36671270", "99999994"},
    {"RN", "200400401", "206842686", "200400402"},
    {"RN", "2000400400", "206842686", "2000400401"},
    {"RO", "00000000625213", "00000003307921", "00000000625214"},
    {"RR", "240066281", "244402683", "240066282"},
    {"RS", "2243658792", "4656321221", "2243658793"},
    {"SC", "251040852", "255995288", "251040853"},
    {"SE", "271234563", "277954223", "271234564"},
    {"SP", "110042490114", "526018151907", "110042490115"},
    {"SP", "P011004243002", "526018151907", "P011004244002"},
    {"TO", "29010227836", "290227836", "29010227837"},
};

TEST(InscricaoEstadual, EachStateAcceptsItsRegistrationsAndRefusesAChangedDigit) {
  for (const IeCaso& c : kIes) {
    EXPECT_TRUE(InscricaoEstadualValida(c.uf, c.publicada)) << c.uf << " " << c.publicada;
    EXPECT_TRUE(InscricaoEstadualValida(c.uf, c.outra)) << c.uf << " " << c.outra;
    EXPECT_FALSE(InscricaoEstadualValida(c.uf, c.invalida)) << c.uf << " " << c.invalida;
  }
}

TEST(InscricaoEstadual, EveryStateIsCovered) {
  const char* ufs[] = {"AC", "AL", "AM", "AP", "BA", "CE", "DF", "ES", "GO",
                       "MA", "MG", "MS", "MT", "PA", "PB", "PE", "PI", "PR",
                       "RJ", "RN", "RO", "RR", "RS", "SC", "SE", "SP", "TO"};
  for (const char* uf : ufs) {
    bool achou = false;
    for (const IeCaso& c : kIes) achou = achou || std::string(c.uf) == uf;
    EXPECT_TRUE(achou) << uf;
    EXPECT_TRUE(UfValida(uf));
  }
  EXPECT_FALSE(UfValida("EX"));
  EXPECT_FALSE(UfValida("XX"));
  EXPECT_FALSE(UfValida("sp"));
}

TEST(InscricaoEstadual, ExemptFormsAndOtherStates) {
  EXPECT_TRUE(InscricaoEstadualValida("SP", "ISENTO"));
  EXPECT_TRUE(InscricaoEstadualValida("AC", "ISENTO"));
  EXPECT_FALSE(InscricaoEstadualValida("EX", "ISENTO"));
  EXPECT_FALSE(InscricaoEstadualValida("SP", ""));
  // A valid registration of one state is not one of another whose rule differs.
  EXPECT_FALSE(InscricaoEstadualValida("RJ", "110042490114"));
  EXPECT_FALSE(InscricaoEstadualValida("SP", "110.042.490.114"));
  EXPECT_EQ(IeSemPontuacao("110.042.490.114"), "110042490114");
  EXPECT_EQ(IeSemPontuacao("p-01100424.3/002"), "P011004243002");
  // Prefixes some states fix.
  EXPECT_FALSE(InscricaoEstadualValida("AC", "0200482300112"));
  EXPECT_FALSE(InscricaoEstadualValida("TO", "29050227836"));  // digits 3-4 no kind
}

TEST(InscricaoEstadual, DrawnRegistrationsAreValidAndRepeatable) {
  for (const char* uf : {"AC", "BA", "MG", "MT", "PE", "RO", "SP", "TO", "RJ", "GO"}) {
    for (unsigned long long n : {1ull, 2ull, 77ull}) {
      std::string ie = SorteiaInscricaoEstadual(uf, n);
      EXPECT_TRUE(InscricaoEstadualValida(uf, ie)) << uf << " " << ie;
      EXPECT_EQ(ie, SorteiaInscricaoEstadual(uf, n));
    }
  }
  EXPECT_EQ(SorteiaInscricaoEstadual("EX", 1), "");
}

TEST(Cnpj, CheckDigits) {
  EXPECT_TRUE(CnpjValido("11222333000181"));
  EXPECT_FALSE(CnpjValido("11222333000182"));
  EXPECT_FALSE(CnpjValido("00000000000000"));
  EXPECT_FALSE(CnpjValido("1122233300018"));
  EXPECT_FALSE(CnpjValido("11.222.333/0001-81"));
}

TEST(Cpf, CheckDigits) {
  EXPECT_TRUE(CpfValido("52998224725"));
  EXPECT_FALSE(CpfValido("52998224726"));
  EXPECT_FALSE(CpfValido("11111111111"));
  EXPECT_FALSE(CpfValido("5299822472"));
}

TEST(Cep, EightDigitsNotAllZero) {
  EXPECT_TRUE(CepValido("13015002"));
  EXPECT_FALSE(CepValido("00000000"));
  EXPECT_FALSE(CepValido("1301500"));
  EXPECT_FALSE(CepValido("1301500A"));
}

TEST(Cfop, TheTableHoldsTheCodesOfEachPlace) {
  for (int c : {1102, 2102, 3102, 5102, 6102, 7102, 5405, 1949, 5949, 6949, 7949, 5929})
    EXPECT_TRUE(CfopExiste(c)) << c;
  // No such code, a first digit that is neither entry nor exit, a place the code lacks.
  for (int c : {1100, 4102, 8102, 102, 7405, 3405, 6405, 1999, 5000})
    EXPECT_FALSE(CfopExiste(c)) << c;
}

}  // namespace
}  // namespace sintegra
