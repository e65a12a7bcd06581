#pragma once
// Sintegra records from the printer's memories: the part shared by the Ato 17 path and
// the month path. Both append keyed lines to RFDTEMP/SINT.TXT while the Sintegra mode is
// on; the 60D/60R derivation and the assembly of RFDTEMP/SINTEGRA.TXT then run over it.
//
// A keyed line is a 12-character key (group 2, date 8, order 2) followed by one record
// line of 126 characters, so sorting the keyed lines as strings orders them by group,
// date and record kind.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orvik::memfiles::sintegra {

// Bits of the selections argument.
inline constexpr int kWith60D = 0x04;  // derive 60D lines
inline constexpr int kWith60I = 0x08;  // copy the 60I lines into the final file
inline constexpr int kWith60R = 0x10;  // derive 60R lines

// The caller's ten texts plus the state (UF) from the configuration, as given.
struct HeaderData {
  std::string company, street, number, complement, district, city, state, postal_code, telephone,
      fax, contact;
};

// The record kinds a keyed line can carry.
enum class Kind { k60M, k60A, k60D, k60I, k60R, k75 };

// Switches the Sintegra mode on for one export call: keeps the selections and the header
// data, forgets the type 10/11 lines and fallback period of an earlier call.
void Begin(int selections, const HeaderData& header);
// Switches the mode off and forgets the call's data.
void End();
// True between Begin and End: the RFD conversion then also appends to SINT.TXT.
bool Active();
int Selections();
const HeaderData& Header();
// The state (UF) read from key UF of section ECF of the driver's configuration; empty
// when absent.
std::string ConfiguredState();

// Full paths of the two working files (in the working folder, computed on each use).
std::string SintPath();
std::string SintegraPath();
// Deletes SINT.TXT and SINTEGRA.TXT.
void DeleteWorkingFiles();

// The 12-character key of a record of that kind dated yyyymmdd.
std::string Key(Kind kind, std::string_view yyyymmdd);
// Appends key + record to SINT.TXT (the working folder is created when missing).
bool AppendKeyedLine(Kind kind, std::string_view yyyymmdd, std::string_view record);

// Type 10 and 11 lines built from the owner's CNPJ and state registration and the header
// data; type 10 carries the period placeholders the assembly replaces. Held until End.
void SetOwner(std::string_view cnpj, std::string_view state_registration);
bool HasOwner();
// Period used when no 60M line gives one (yyyymmdd each), e.g. the first and last dates of
// the Ato 17 file.
void SetFallbackPeriod(std::string_view first, std::string_view last);

// The ICMS of a base (integer cents, digits only) at a four-digit rate code ("1800" =
// 18.00 %): base x rate / 10000 in 64-bit integers, truncating; a code that is not four
// digits counts as rate 0.
int64_t Icms(std::string_view base, std::string_view code);

// Tax code of an item (60I and 75) from its totalizer code, cancellation aside:
// "ISS " for FS1/IS1/NS1 and ISSQN rates, the letter and three blanks for F1/I1/N1,
// otherwise characters 4 to 7 as a digits field of 4.
std::string ItemTaxCode(std::string_view totalizer);

// How a partial totalizer of the Z enters 60A.
enum class Summary { kOwnLine, kIss, kCanc, kDesc, kSkip };
struct Code60A {
  Summary summary;
  std::string code;  // the 4-character 60A code (empty when skipped)
};
// The 60A code of a totalizer (trimmed code): the table of ISS, CANC, DESC, skipped and own
// lines. "OPNF" is skipped.
Code60A TotalizerCode60A(std::string_view totalizer);

// Record lines of 126 characters, fields already in their final digits (values are cut
// and filled to their widths here).
std::string Record60M(std::string_view date, std::string_view fabrication,
                      std::string_view sequence, std::string_view first_coo, std::string_view coo_z,
                      std::string_view crz, std::string_view cro, std::string_view gross_sales,
                      std::string_view grand_total);
std::string Record60A(std::string_view date, std::string_view fabrication, std::string_view code,
                      std::string_view value);
std::string Record60I(std::string_view date, std::string_view fabrication, std::string_view coo,
                      std::string_view item, std::string_view product, std::string_view quantity,
                      std::string_view unit_price, std::string_view base, std::string_view code,
                      std::string_view icms);
std::string Record75(std::string_view date, std::string_view product, std::string_view description,
                     std::string_view unit, std::string_view code);

// Appends the 60D lines (when 0x04 is selected) and the 60R lines (when 0x10 is selected)
// derived from the 60I lines of SINT.TXT. False when SINT.TXT cannot be read or written.
bool DeriveSummaries();

// Assembles SINTEGRA.TXT from SINT.TXT: type 10 and 11 (when an owner was set), the
// sorted records without the skipped ones, type 90, and the 60R-to-end re-sort. Answers
// an error text, or nothing on success.
std::optional<std::string> Assemble();

}  // namespace orvik::memfiles::sintegra
