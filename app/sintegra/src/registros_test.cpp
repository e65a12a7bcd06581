#include "sintegra/registros.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <typeinfo>

#include "sintegra/error.h"

namespace sintegra {
namespace {

std::string Z(int n) {
  return std::string(n, '0');
}
std::string B(int n) {
  return std::string(n, ' ');
}

struct LayoutCase {
  TTipoRegistros kind;
  const std::type_info& type;
  int fields;
  std::string fresh;  // the line a freshly constructed record renders, without CR LF
};

// What each fresh record must render: its fixed values, '0' in the other numeric fields,
// blanks in the other alphanumeric ones.
const LayoutCase kLayouts[] = {
    {TTipoRegistros::Tipo10, typeid(TRegTipo10), 12,
     "10" + Z(14) + B(14) + B(35) + B(30) + B(2) + Z(10) + Z(8) + Z(8) + B(1) + B(1) + B(1)},
    {TTipoRegistros::Tipo11, typeid(TRegTipo11), 8,
     "11" + B(34) + Z(5) + B(22) + B(15) + Z(8) + B(28) + Z(12)},
    {TTipoRegistros::Tipo50, typeid(TRegTipo50), 17,
     "50" + Z(14) + B(14) + Z(8) + B(2) + Z(2) + B(3) + Z(6) + Z(4) + B(1) + Z(13) + Z(13) + Z(13) +
         Z(13) + Z(13) + Z(4) + B(1)},
    {TTipoRegistros::Tipo54, typeid(TRegTipo54), 16,
     "54" + Z(14) + Z(2) + B(3) + Z(6) + Z(4) + B(3) + Z(3) + B(14) + Z(11) + Z(12) + Z(12) +
         Z(12) + Z(12) + Z(12) + Z(4)},
    {TTipoRegistros::Tipo60A, typeid(TRegTipo60A), 7, "60A" + Z(8) + B(20) + B(4) + Z(12) + B(79)},
    {TTipoRegistros::Tipo60D, typeid(TRegTipo60D), 11,
     "60D" + Z(8) + B(20) + B(14) + Z(13) + Z(16) + Z(16) + B(4) + Z(13) + B(19)},
    {TTipoRegistros::Tipo60I, typeid(TRegTipo60I), 14,
     "60I" + Z(8) + B(20) + B(2) + Z(6) + Z(3) + B(14) + Z(13) + Z(13) + Z(12) + B(4) + Z(12) +
         B(16)},
    {TTipoRegistros::Tipo60M, typeid(TRegTipo60M), 13,
     "60M" + Z(8) + B(20) + Z(3) + Z(2) + Z(6) + Z(6) + Z(6) + Z(3) + Z(16) + Z(16) + B(37)},
    {TTipoRegistros::Tipo60R, typeid(TRegTipo60R), 9,
     "60R" + Z(6) + B(14) + Z(13) + Z(16) + Z(16) + B(4) + B(54)},
    {TTipoRegistros::Tipo74, typeid(TRegTipo74), 10,
     "74" + Z(8) + B(14) + Z(13) + Z(13) + B(1) + Z(14) + B(14) + B(2) + B(45)},
    {TTipoRegistros::Tipo75, typeid(TRegTipo75), 11,
     "75" + Z(8) + Z(8) + B(14) + B(8) + B(53) + B(6) + Z(5) + Z(4) + Z(5) + Z(13)},
    {TTipoRegistros::Tipo90, typeid(TRegTipo90), 16, "90" + Z(14) + B(14) + B(90) + B(5) + Z(1)},
};

TEST(LayoutTest, EveryFreshRecordRendersItsFixedValuesZerosAndBlanks) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(KindName(c.kind));
    auto r = TRegistro::CriaRegistro(c.kind);
    const TRegistro& made = *r;
    EXPECT_EQ(typeid(made), c.type);
    EXPECT_EQ(r->FieldCount(), c.fields);
    ASSERT_EQ(c.fresh.size(), 126u);
    EXPECT_EQ(r->RenderLine(), c.fresh + "\r\n");
  }
}

TEST(LayoutTest, FieldsCoverColumns1To126InOrderWithConsistentBounds) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(KindName(c.kind));
    auto r = TRegistro::CriaRegistro(c.kind);
    int next = 1;
    for (int k = 1; k <= r->FieldCount(); ++k) {
      const TCampo& f = r->Field(k);
      if (f.Tamanho == 0) {
        EXPECT_EQ(f.Formato, '\0') << "field " << k;
        continue;
      }
      EXPECT_EQ(f.Inicio, next) << "field " << k;
      EXPECT_EQ(f.Fim, f.Inicio + f.Tamanho - 1) << "field " << k;
      next = f.Fim + 1;
    }
    EXPECT_EQ(next, 127);
  }
  // Type 90 leaves exactly its fields 4 and 5 undefined.
  TRegTipo90 t;
  EXPECT_EQ(t.Field(4).Tamanho, 0);
  EXPECT_EQ(t.Field(5).Tamanho, 0);
}

TEST(LayoutTest, AFilledLineReadsBackAsTheSameRecord) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(KindName(c.kind));
    auto r = TRegistro::CriaRegistro(c.kind);
    // Every field from 3 on full width, digits in numeric fields, letters in the others
    // (field 2 of the ECF records is their subtype letter and stays).
    bool ecf = r->Tipo() == "60";
    for (int k = ecf ? 3 : 2; k <= r->FieldCount(); ++k) {
      const TCampo& f = r->Field(k);
      if (f.Tamanho == 0) continue;
      std::string v;
      for (int i = 0; i < f.Tamanho; ++i) {
        v += (f.Formato == 'N') ? static_cast<char>('1' + (k + i) % 9)
                                : static_cast<char>('A' + (k + i) % 26);
      }
      r->AtribuiValor(k, v);
    }
    std::string line = r->RenderLine();
    ASSERT_EQ(line.size(), 128u);
    auto back = TRegistro::CriaRegistroDaLinha(line.substr(0, 126));
    const TRegistro& read_back = *back;
    EXPECT_EQ(typeid(read_back), c.type);
    for (int k = 1; k <= r->FieldCount(); ++k) {
      EXPECT_EQ(back->ObtemValor(k), r->ObtemValor(k)) << "field " << k;
    }
    EXPECT_EQ(back->RenderLine(), line);
  }
}

// Records of a class share its field definitions; redefining a field in one record must
// not change the others.
class NarrowSituation : public TRegTipo50 {
 public:
  NarrowSituation() { DefineCampo(17, "S", 'N', 126, 126, 1); }
};

TEST(LayoutTest, RedefiningAFieldChangesOnlyThatRecord) {
  TRegTipo50 before;
  NarrowSituation changed;
  TRegTipo50 after;
  EXPECT_EQ(changed.Field(17).Formato, 'N');
  EXPECT_EQ(changed.ObtemValor(17), "S");
  for (const TRegTipo50* r : {&before, &after}) {
    EXPECT_EQ(r->Field(17).Formato, 'X');
    EXPECT_EQ(r->ObtemValor(17), "");
    EXPECT_EQ(r->RenderLine(), TRegTipo50().RenderLine());
  }
  TRegTipo50 copy = before;
  copy.AtribuiValor(17, "N");
  EXPECT_EQ(before.ObtemValor(17), "");
  EXPECT_EQ(copy.ObtemValor(17), "N");
}

TEST(LayoutTest, ConstructedEcfRecordsCarryTheirSubtypeInColumn3) {
  EXPECT_EQ(TRegTipo60I().RenderLine().substr(0, 3), "60I");
  EXPECT_EQ(TRegTipo60I().Subtype(), "I");
  EXPECT_EQ(TRegTipo60M().Subtype(), "M");
  EXPECT_EQ(TRegTipo60R().ObtemValor(2), "R");
}

// Each named setter must reach its own field and no other.
struct SetterCase {
  const char* name;
  std::function<std::unique_ptr<TRegistro>()> make;
  std::function<void(TRegistro&)> set;
  int field;
};

// T is the record class; Base the class that declares the setter.
template <typename T, typename Base>
SetterCase SetterOf(const char* name, void (Base::*setter)(std::string_view), int field) {
  return {name, [] { return std::make_unique<T>(); },
          [setter](TRegistro& r) { (static_cast<T&>(r).*setter)("7"); }, field};
}

template <typename T>
SetterCase Setter(const char* name, void (T::*setter)(std::string_view), int field) {
  return SetterOf<T>(name, setter, field);
}

TEST(SetterTest, EachSetterWritesItsOwnField) {
  const SetterCase cases[] = {
      Setter("10 cnpj", &TRegTipo10::SetCnpj, 2),
      Setter("10 ie", &TRegTipo10::SetStateRegistration, 3),
      Setter("10 name", &TRegTipo10::SetName, 4),
      Setter("10 city", &TRegTipo10::SetCity, 5),
      Setter("10 state", &TRegTipo10::SetState, 6),
      Setter("10 fax", &TRegTipo10::SetFax, 7),
      Setter("10 start", &TRegTipo10::SetPeriodStart, 8),
      Setter("10 end", &TRegTipo10::SetPeriodEnd, 9),
      Setter("10 layout", &TRegTipo10::SetLayoutCode, 10),
      Setter("10 nature", &TRegTipo10::SetNature, 11),
      Setter("10 purpose", &TRegTipo10::SetPurpose, 12),
      Setter("11 street", &TRegTipo11::SetStreet, 2),
      Setter("11 number", &TRegTipo11::SetNumber, 3),
      Setter("11 complement", &TRegTipo11::SetComplement, 4),
      Setter("11 district", &TRegTipo11::SetDistrict, 5),
      Setter("11 cep", &TRegTipo11::SetPostalCode, 6),
      Setter("11 contact", &TRegTipo11::SetContact, 7),
      Setter("11 telephone", &TRegTipo11::SetTelephone, 8),
      Setter("50 cnpj", &TRegTipo50::SetCnpj, 2),
      Setter("50 ie", &TRegTipo50::SetStateRegistration, 3),
      Setter("50 date", &TRegTipo50::SetIssueDate, 4),
      Setter("50 state", &TRegTipo50::SetState, 5),
      Setter("50 model", &TRegTipo50::SetModel, 6),
      Setter("50 series", &TRegTipo50::SetSeries, 7),
      Setter("50 number", &TRegTipo50::SetNumber, 8),
      Setter("50 cfop", &TRegTipo50::SetCfop, 9),
      Setter("50 issuer", &TRegTipo50::SetIssuer, 10),
      Setter("50 total", &TRegTipo50::SetTotalValue, 11),
      Setter("50 base", &TRegTipo50::SetIcmsBase, 12),
      Setter("50 icms", &TRegTipo50::SetIcmsValue, 13),
      Setter("50 exempt", &TRegTipo50::SetExemptValue, 14),
      Setter("50 other", &TRegTipo50::SetOtherValues, 15),
      Setter("50 rate", &TRegTipo50::SetRate, 16),
      Setter("50 situation", &TRegTipo50::SetSituation, 17),
      Setter("54 cnpj", &TRegTipo54::SetCnpj, 2),
      Setter("54 model", &TRegTipo54::SetModel, 3),
      Setter("54 series", &TRegTipo54::SetSeries, 4),
      Setter("54 number", &TRegTipo54::SetNumber, 5),
      Setter("54 cfop", &TRegTipo54::SetCfop, 6),
      Setter("54 item", &TRegTipo54::SetItemNumber, 8),
      Setter("54 product", &TRegTipo54::SetProductCode, 9),
      Setter("54 quantity", &TRegTipo54::SetQuantity, 10),
      Setter("54 value", &TRegTipo54::SetProductValue, 11),
      Setter("54 discount", &TRegTipo54::SetDiscount, 12),
      Setter("54 base", &TRegTipo54::SetIcmsBase, 13),
      Setter("54 st base", &TRegTipo54::SetSubstitutionBase, 14),
      Setter("54 ipi", &TRegTipo54::SetIpiValue, 15),
      Setter("54 rate", &TRegTipo54::SetRate, 16),
      SetterOf<TRegTipo60M>("60M subtype", &TRegTipo60::SetSubtype, 2),
      SetterOf<TRegTipo60A>("60A date", &TRegTipo60::SetIssueDate, 3),
      SetterOf<TRegTipo60D>("60D serial", &TRegTipo60::SetSerialNumber, 4),
      Setter("74 date", &TRegTipo74::SetInventoryDate, 2),
      Setter("74 product", &TRegTipo74::SetProductCode, 3),
      Setter("74 quantity", &TRegTipo74::SetQuantity, 4),
      Setter("74 value", &TRegTipo74::SetProductValue, 5),
      Setter("74 possession", &TRegTipo74::SetPossessionCode, 6),
      Setter("74 cnpj", &TRegTipo74::SetPossessorCnpj, 7),
      Setter("74 ie", &TRegTipo74::SetPossessorStateRegistration, 8),
      Setter("74 state", &TRegTipo74::SetPossessorState, 9),
      Setter("74 filler", &TRegTipo74::SetFiller, 10),
      Setter("75 from", &TRegTipo75::SetValidFrom, 2),
      Setter("75 to", &TRegTipo75::SetValidTo, 3),
      Setter("75 product", &TRegTipo75::SetProductCode, 4),
      Setter("75 ncm", &TRegTipo75::SetNcm, 5),
      Setter("75 description", &TRegTipo75::SetDescription, 6),
      Setter("75 unit", &TRegTipo75::SetUnit, 7),
      Setter("75 ipi", &TRegTipo75::SetIpiRate, 8),
      Setter("75 icms", &TRegTipo75::SetIcmsRate, 9),
      Setter("75 reduction", &TRegTipo75::SetBaseReduction, 10),
      Setter("75 st base", &TRegTipo75::SetSubstitutionBase, 11),
      Setter("90 cnpj", &TRegTipo90::SetCnpj, 2),
      Setter("90 ie", &TRegTipo90::SetStateRegistration, 3),
      Setter("90 count", &TRegTipo90::SetTrailerCount, 16),
  };
  for (const SetterCase& c : cases) {
    auto fresh = c.make();
    auto r = c.make();
    c.set(*r);
    for (int k = 1; k <= r->FieldCount(); ++k) {
      EXPECT_EQ(r->ObtemValor(k), k == c.field ? "7" : fresh->ObtemValor(k))
          << c.name << ", field " << k;
    }
  }
}

TEST(SetterTest, GettersReadTheFieldsOtherCodeUses) {
  TRegTipo10 t10;
  t10.SetCnpj("11222333000181");
  t10.SetStateRegistration("ISENTO");
  EXPECT_EQ(t10.Cnpj(), "11222333000181");
  EXPECT_EQ(t10.StateRegistration(), "ISENTO");

  TRegTipo50 t50;
  for (int k = 2; k <= 17; ++k) t50.AtribuiValor(k, std::to_string(k % 10));
  const std::string got[] = {t50.Cnpj(),        t50.StateRegistration(),
                             t50.IssueDate(),   t50.State(),
                             t50.Model(),       t50.Series(),
                             t50.Number(),      t50.Cfop(),
                             t50.Issuer(),      t50.TotalValue(),
                             t50.IcmsBase(),    t50.IcmsValue(),
                             t50.ExemptValue(), t50.OtherValues(),
                             t50.Rate(),        t50.Situation()};
  for (int k = 2; k <= 17; ++k) EXPECT_EQ(got[k - 2], std::to_string(k % 10)) << "field " << k;

  TRegTipo74 t74;
  t74.SetPossessionCode("2");
  EXPECT_EQ(t74.PossessionCode(), "2");
  TRegTipo75 t75;
  t75.SetProductCode("ABC");
  EXPECT_EQ(t75.ProductCode(), "ABC");
}

TEST(SituationCodeTest, IsLeftFilledToThreeCharacters) {
  struct Case {
    const char* given;
    const char* stored;  // nullptr: refused by the width check
  };
  const Case cases[] = {{"1", "001"}, {"12", "012"},     {"123", "123"},
                        {"", "000"},  {"0100", nullptr}, {"12345", nullptr}};
  for (const Case& c : cases) {
    TRegTipo54 r;
    if (c.stored) {
      r.SetSituationCode(c.given);
      EXPECT_EQ(r.ObtemValor(7), c.stored);
      EXPECT_EQ(r.RenderLine().substr(31, 3), c.stored);
    } else {
      try {
        r.SetSituationCode(c.given);
        ADD_FAILURE() << c.given << " was accepted";
      } catch (const SintegraError& e) {
        EXPECT_STREQ(e.what(), kValueTooLong);
      }
      EXPECT_EQ(r.ObtemValor(7), "");
    }
  }
}

TEST(TrailerCounterTest, AtribuiTotalWritesTypeAndEightDigitCount) {
  struct Case {
    TContador counter;
    const char* stored;  // nullptr: refused by the width check
  };
  const Case cases[] = {
      {{"75", 12}, "7500000012"},       {{"5", 3}, "0500000003"},     {{"", 0}, "0000000000"},
      {{"99", 99999999}, "9999999999"}, {{"50", 100000000}, nullptr}, {{"123", 1}, nullptr},
  };
  for (const Case& c : cases) {
    TRegTipo90 r;
    r.AtribuiTotal(6, {"54", 1});
    if (c.stored) {
      r.AtribuiTotal(6, c.counter);
      EXPECT_EQ(r.ObtemValor(6), c.stored);
    } else {
      try {
        r.AtribuiTotal(6, c.counter);
        ADD_FAILURE() << c.counter.Tipo << " " << c.counter.Total << " was accepted";
      } catch (const SintegraError& e) {
        EXPECT_STREQ(e.what(), "Tamanho do valor maior que o permitido pelo campo.");
      }
      EXPECT_EQ(r.ObtemValor(6), "5400000001");
    }
  }
}

TEST(TrailerCounterTest, ObtemTotalReadsTypeAndCount) {
  struct Case {
    const char* stored;
    const char* tipo;
    int total;
  };
  const Case cases[] = {{"", "", 0},
                        {"7500000012", "75", 12},
                        {"99", "99", 0},
                        {"75ABCDEFGH", "75", 0},
                        {"7500001 2", "75", 0},
                        {"5", "5", 0}};
  for (const Case& c : cases) {
    TRegTipo90 r;
    r.AtribuiValor(7, c.stored);
    TContador got = r.ObtemTotal(7);
    EXPECT_EQ(got.Tipo, c.tipo) << c.stored;
    EXPECT_EQ(got.Total, c.total) << c.stored;
  }
}

TEST(TrailerCounterTest, AdicionaTotalTakesTheFirstFreeSlotElseOverwritesTheLast) {
  TRegTipo90 r;
  r.AtribuiTotal(6, {"50", 1});
  r.AtribuiTotal(7, {"54", 2});
  r.AdicionaTotal({"99", 5});
  EXPECT_EQ(r.ObtemValor(8), "9900000005");
  EXPECT_EQ(r.ObtemValor(9), "");

  TRegTipo90 full;
  for (int k = 6; k <= 13; ++k) full.AtribuiTotal(k, {std::to_string(k + 10), k});
  full.AdicionaTotal({"99", 40});
  EXPECT_EQ(full.ObtemValor(14), "9900000040");
  full.AdicionaTotal({"98", 41});
  EXPECT_EQ(full.ObtemValor(14), "9800000041");
  EXPECT_EQ(full.ObtemValor(13), "2300000013");
}

TEST(TrailerCounterTest, RendersTwoTotalsAndTheOverallTotalWithBlankSlots) {
  TRegTipo90 r;
  r.AtribuiTotal(6, {"50", 3});
  r.AtribuiTotal(7, {"54", 9});
  r.AdicionaTotal({"99", 15});
  r.SetTrailerCount("1");
  std::string line = r.RenderLine();
  EXPECT_EQ(line.substr(30, 30), "500000000354000000099900000015");
  EXPECT_EQ(line.substr(60, 60), B(60));
  EXPECT_EQ(line.substr(120, 5), B(5));
  EXPECT_EQ(line.substr(125), "1\r\n");
}

}  // namespace
}  // namespace sintegra
