#pragma once
// The record store of RFDTEMP/: one file of fixed-size records per record type, E12.DAT
// (type 2) to E21.DAT (type 11), and one in-memory record per type. Every field is a
// length byte followed by the field's capacity. I/O failures throw std::runtime_error.
#include <string>
#include <string_view>

namespace orvik::memfiles {

struct Field {
  int offset;
  int capacity;
};

// Common head of every record.
namespace head {
inline constexpr Field kType{0, 3}, kFabrication{4, 20}, kAdditionalMf{25, 1}, kModel{27, 20},
    kUser{48, 2};
}
namespace e12 {
inline constexpr Field kCooZ{51, 13}, kCrz{65, 6}, kCro{72, 6}, kMovementDate{79, 8},
    kIssueDate{88, 8}, kIssueTime{97, 6}, kGrossSales{104, 14}, kIssqnDiscount{119, 1},
    kFirstCoo{121, 6};
}
namespace e13 {
inline constexpr Field kCooZ{51, 13}, kCrz{65, 6}, kTotalizer{72, 7}, kValue{80, 13};
}
namespace e14 {
inline constexpr Field kCoo{51, 6}, kCcf{58, 6}, kDate{65, 8}, kSubtotal{74, 14}, kDiscount{89, 13},
    kDiscountKind{103, 1}, kSurcharge{105, 13}, kSurchargeKind{119, 1}, kNetTotal{121, 14},
    kCancelled{136, 1}, kCancelledSurcharge{138, 13}, kOrder{152, 1}, kBuyerName{154, 40},
    kBuyerId{195, 14};
}
namespace e15 {
inline constexpr Field kCoo{51, 6}, kCcf{58, 6}, kItem{65, 3}, kCode{69, 14}, kDescription{84, 100},
    kQuantity{185, 7}, kUnit{193, 3}, kUnitPrice{197, 8}, kDiscount{206, 8}, kSurcharge{215, 8},
    kNetTotal{224, 14}, kTotalizer{239, 7}, kCancelled{247, 1}, kCancelledQuantity{249, 7},
    kCancelledValue{257, 13}, kCancelledSurcharge{271, 13}, kRounding{285, 1},
    kQuantityDecimals{287, 1}, kPriceDecimals{289, 1};
}
namespace e16 {
inline constexpr Field kCoo{51, 6}, kSecondCounter{58, 6}, kGnf{65, 6}, kGrg{72, 6}, kCdc{79, 4},
    kCrz{84, 6}, kDenomination{91, 2}, kDate{94, 8}, kTime{103, 6};
}
namespace e17 {
inline constexpr Field kCooZ{51, 13}, kCrz{65, 6}, kName{72, 15}, kValue{88, 13};
}
namespace e18 {
inline constexpr Field kCooZ{51, 13}, kCrz{65, 6}, kMethod{72, 15}, kValue{88, 13};
}
namespace e21 {
inline constexpr Field kCoo{51, 6}, kCcf{58, 6}, kGnf{65, 6}, kMethod{72, 15}, kAmount{88, 13},
    kReversal{102, 1}, kReversedAmount{104, 13};
}

// Record size of a type (2-8 and 11); 0 for 9, 10 and anything else.
int RecordSize(int type);
// "E" + (10 + type) + ".DAT".
std::string RecordFileName(int type);

// The in-memory record of a type (RecordSize bytes; empty for a type without records).
std::string& Record(int type);
// Sets a field of the in-memory record: the value cut to the capacity, its length byte.
void SetField(int type, Field field, std::string_view value);
// The value of a field of the in-memory record (its length byte, at most the capacity).
std::string GetField(int type, Field field);
// Empties every field of the in-memory record of a type.
void ClearRecord(int type);

// Writes the in-memory record as record n (n equal to the count appends), creating the
// working folder and the file. Throws "Impossivel Criar" + folder when the folder cannot
// be made, and an I/O error otherwise; a failed append leaves the file as it was.
void GravaRegistroE(int type, long n);
// Loads record n into the in-memory record: 1; 0 when the file does not exist (the
// in-memory record is left as it was). Throws when record n is not in the file.
int LeRegistroE(int type, long n);
// File size / record size; 0 for a missing file or a type without records.
long TotalRegistrosE(int type);
void ApagaRegistroE(int type);
void ApagaRegistrosE();

// The rounding-or-truncation indicator an item record gets when stored: "A" when the
// gross from quantity and unit price is one cent off the declared values, "T" when the
// fields are not numbers, otherwise the indicator given.
std::string ItemRoundingIndicator(std::string_view unit_price, std::string_view quantity,
                                  std::string_view price_decimals, std::string_view net_total,
                                  std::string_view discount, std::string_view surcharge,
                                  std::string_view given);

}  // namespace orvik::memfiles
