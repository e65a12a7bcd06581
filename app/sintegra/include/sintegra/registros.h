#pragma once
// The record types of the file. Each construction defines its fields; each class offers a
// setter per field from 2 up (forwarding to AtribuiValor) and the getters other code reads.
#include <string>
#include <string_view>

#include "sintegra/registro.h"

namespace sintegra {

// Type 10: master data of the declaring establishment.
class TRegTipo10 : public TRegistro {
 public:
  TRegTipo10();
  void SetCnpj(std::string_view v) { AtribuiValor(2, v); }
  void SetStateRegistration(std::string_view v) { AtribuiValor(3, v); }
  void SetName(std::string_view v) { AtribuiValor(4, v); }
  void SetCity(std::string_view v) { AtribuiValor(5, v); }
  void SetState(std::string_view v) { AtribuiValor(6, v); }
  void SetFax(std::string_view v) { AtribuiValor(7, v); }
  void SetPeriodStart(std::string_view v) { AtribuiValor(8, v); }
  void SetPeriodEnd(std::string_view v) { AtribuiValor(9, v); }
  void SetLayoutCode(std::string_view v) { AtribuiValor(10, v); }
  void SetNature(std::string_view v) { AtribuiValor(11, v); }
  void SetPurpose(std::string_view v) { AtribuiValor(12, v); }
  std::string Cnpj() const { return ObtemValor(2); }
  std::string StateRegistration() const { return ObtemValor(3); }

 private:
  friend class TRegistro;
  explicit TRegTipo10(DefinitionTag);
};

// Type 11: address and contact of the establishment.
class TRegTipo11 : public TRegistro {
 public:
  TRegTipo11();
  void SetStreet(std::string_view v) { AtribuiValor(2, v); }
  void SetNumber(std::string_view v) { AtribuiValor(3, v); }
  void SetComplement(std::string_view v) { AtribuiValor(4, v); }
  void SetDistrict(std::string_view v) { AtribuiValor(5, v); }
  void SetPostalCode(std::string_view v) { AtribuiValor(6, v); }
  void SetContact(std::string_view v) { AtribuiValor(7, v); }
  void SetTelephone(std::string_view v) { AtribuiValor(8, v); }

 private:
  friend class TRegistro;
  explicit TRegTipo11(DefinitionTag);
};

// Type 50: invoice totals (one per invoice, or one per tax rate of its items).
class TRegTipo50 : public TRegistro {
 public:
  TRegTipo50();
  void SetCnpj(std::string_view v) { AtribuiValor(2, v); }
  void SetStateRegistration(std::string_view v) { AtribuiValor(3, v); }
  void SetIssueDate(std::string_view v) { AtribuiValor(4, v); }
  void SetState(std::string_view v) { AtribuiValor(5, v); }
  void SetModel(std::string_view v) { AtribuiValor(6, v); }
  void SetSeries(std::string_view v) { AtribuiValor(7, v); }
  void SetNumber(std::string_view v) { AtribuiValor(8, v); }
  void SetCfop(std::string_view v) { AtribuiValor(9, v); }
  void SetIssuer(std::string_view v) { AtribuiValor(10, v); }
  void SetTotalValue(std::string_view v) { AtribuiValor(11, v); }
  void SetIcmsBase(std::string_view v) { AtribuiValor(12, v); }
  void SetIcmsValue(std::string_view v) { AtribuiValor(13, v); }
  void SetExemptValue(std::string_view v) { AtribuiValor(14, v); }
  void SetOtherValues(std::string_view v) { AtribuiValor(15, v); }
  void SetRate(std::string_view v) { AtribuiValor(16, v); }
  void SetSituation(std::string_view v) { AtribuiValor(17, v); }
  std::string Cnpj() const { return ObtemValor(2); }
  std::string StateRegistration() const { return ObtemValor(3); }
  std::string IssueDate() const { return ObtemValor(4); }
  std::string State() const { return ObtemValor(5); }
  std::string Model() const { return ObtemValor(6); }
  std::string Series() const { return ObtemValor(7); }
  std::string Number() const { return ObtemValor(8); }
  std::string Cfop() const { return ObtemValor(9); }
  std::string Issuer() const { return ObtemValor(10); }
  std::string TotalValue() const { return ObtemValor(11); }
  std::string IcmsBase() const { return ObtemValor(12); }
  std::string IcmsValue() const { return ObtemValor(13); }
  std::string ExemptValue() const { return ObtemValor(14); }
  std::string OtherValues() const { return ObtemValor(15); }
  std::string Rate() const { return ObtemValor(16); }
  std::string Situation() const { return ObtemValor(17); }

 private:
  friend class TRegistro;
  explicit TRegTipo50(DefinitionTag);
};

// Type 54: one invoice item.
class TRegTipo54 : public TRegistro {
 public:
  TRegTipo54();
  void SetCnpj(std::string_view v) { AtribuiValor(2, v); }
  void SetModel(std::string_view v) { AtribuiValor(3, v); }
  void SetSeries(std::string_view v) { AtribuiValor(4, v); }
  void SetNumber(std::string_view v) { AtribuiValor(5, v); }
  void SetCfop(std::string_view v) { AtribuiValor(6, v); }
  // The situation code is left-filled with '0' to three characters before it is set.
  void SetSituationCode(std::string_view v);
  void SetItemNumber(std::string_view v) { AtribuiValor(8, v); }
  void SetProductCode(std::string_view v) { AtribuiValor(9, v); }
  void SetQuantity(std::string_view v) { AtribuiValor(10, v); }
  void SetProductValue(std::string_view v) { AtribuiValor(11, v); }
  void SetDiscount(std::string_view v) { AtribuiValor(12, v); }
  void SetIcmsBase(std::string_view v) { AtribuiValor(13, v); }
  void SetSubstitutionBase(std::string_view v) { AtribuiValor(14, v); }
  void SetIpiValue(std::string_view v) { AtribuiValor(15, v); }
  void SetRate(std::string_view v) { AtribuiValor(16, v); }

 private:
  friend class TRegistro;
  explicit TRegTipo54(DefinitionTag);
};

// Fields 1-4 shared by the ECF day records 60M, 60A, 60D and 60I; never written alone.
class TRegTipo60 : public TRegistro {
 public:
  void SetSubtype(std::string_view v) { AtribuiValor(2, v); }
  void SetIssueDate(std::string_view v) { AtribuiValor(3, v); }
  void SetSerialNumber(std::string_view v) { AtribuiValor(4, v); }
  std::string Subtype() const { return ObtemValor(2); }

 protected:
  // Defines fields 1-4, sets the subtype letter and grows the list to campos fields.
  TRegTipo60(int campos, std::string_view subtipo);
};

// The ECF records are only ever parsed from lines, so they carry no setters of their own.
class TRegTipo60M : public TRegTipo60 {
 public:
  TRegTipo60M();

 private:
  friend class TRegistro;
  explicit TRegTipo60M(DefinitionTag);
};
class TRegTipo60A : public TRegTipo60 {
 public:
  TRegTipo60A();

 private:
  friend class TRegistro;
  explicit TRegTipo60A(DefinitionTag);
};
class TRegTipo60D : public TRegTipo60 {
 public:
  TRegTipo60D();

 private:
  friend class TRegistro;
  explicit TRegTipo60D(DefinitionTag);
};
class TRegTipo60I : public TRegTipo60 {
 public:
  TRegTipo60I();

 private:
  friend class TRegistro;
  explicit TRegTipo60I(DefinitionTag);
};

// Type 60 subtype R: month total per item; its fields 3 and 4 differ from TRegTipo60's.
class TRegTipo60R : public TRegistro {
 public:
  TRegTipo60R();

 private:
  friend class TRegistro;
  explicit TRegTipo60R(DefinitionTag);
};

// Type 74: inventory.
class TRegTipo74 : public TRegistro {
 public:
  TRegTipo74();
  void SetInventoryDate(std::string_view v) { AtribuiValor(2, v); }
  void SetProductCode(std::string_view v) { AtribuiValor(3, v); }
  void SetQuantity(std::string_view v) { AtribuiValor(4, v); }
  void SetProductValue(std::string_view v) { AtribuiValor(5, v); }
  void SetPossessionCode(std::string_view v) { AtribuiValor(6, v); }
  void SetPossessorCnpj(std::string_view v) { AtribuiValor(7, v); }
  void SetPossessorStateRegistration(std::string_view v) { AtribuiValor(8, v); }
  void SetPossessorState(std::string_view v) { AtribuiValor(9, v); }
  void SetFiller(std::string_view v) { AtribuiValor(10, v); }
  std::string PossessionCode() const { return ObtemValor(6); }

 private:
  friend class TRegistro;
  explicit TRegTipo74(DefinitionTag);
};

// Type 75: product code.
class TRegTipo75 : public TRegistro {
 public:
  TRegTipo75();
  void SetValidFrom(std::string_view v) { AtribuiValor(2, v); }
  void SetValidTo(std::string_view v) { AtribuiValor(3, v); }
  void SetProductCode(std::string_view v) { AtribuiValor(4, v); }
  void SetNcm(std::string_view v) { AtribuiValor(5, v); }
  void SetDescription(std::string_view v) { AtribuiValor(6, v); }
  void SetUnit(std::string_view v) { AtribuiValor(7, v); }
  void SetIpiRate(std::string_view v) { AtribuiValor(8, v); }
  void SetIcmsRate(std::string_view v) { AtribuiValor(9, v); }
  void SetBaseReduction(std::string_view v) { AtribuiValor(10, v); }
  void SetSubstitutionBase(std::string_view v) { AtribuiValor(11, v); }
  std::string ProductCode() const { return ObtemValor(4); }

 private:
  friend class TRegistro;
  explicit TRegTipo75(DefinitionTag);
};

// Type 90: the trailer with the count of every record type and of all lines.
class TRegTipo90 : public TRegistro {
 public:
  // The total slots are fields 6 to 14.
  static constexpr int kFirstTotalField = 6;
  static constexpr int kLastTotalField = 14;

  TRegTipo90();
  void SetCnpj(std::string_view v) { AtribuiValor(2, v); }
  void SetStateRegistration(std::string_view v) { AtribuiValor(3, v); }
  void SetTrailerCount(std::string_view v) { AtribuiValor(16, v); }

  // Writes the counter into the field: the type left-filled with '0' to two characters,
  // then the total left-filled with '0' to eight digits (a wider result is refused).
  void AtribuiTotal(int numero, const TContador& contador);
  // Reads a counter back: type from characters 1-2, total from the rest (0 when it is
  // not a valid integer).
  TContador ObtemTotal(int numero) const;
  // Puts the counter into the first slot of 6-13 without a type, else over slot 14.
  void AdicionaTotal(const TContador& contador);

 private:
  friend class TRegistro;
  explicit TRegTipo90(DefinitionTag);
};

}  // namespace sintegra
