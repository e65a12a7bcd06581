// Line helpers shared by the printout readers (header, first pass, documents, fiscal
// memory). Internal to this folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "orvik/memfiles/printout_readers.h"

namespace orvik::memfiles::reading {

// The readers look back over this many printed lines for labels like "VERSÃO:".
constexpr size_t kLastLines = 5;

void Remember(std::vector<std::string>& last, std::string_view line);

std::string Trimmed(std::string_view s);

bool AllDigits(std::string_view s);

long long Number(std::string_view digits);

// The word after a label somewhere in the last lines ("VERSÃO:01.00.08" -> "01.00.08").
std::string WordAfter(const std::vector<std::string>& last, std::string_view label);

// The model lines the readers know; true when the line is one of them.
bool ModelLine(std::string_view line, ConversionState& s, const std::vector<std::string>& last);

void ModelFromLast(ConversionState& s, const std::vector<std::string>& last);

// "FAB:" + fabrication number (columns 5-25), with a trailing A or B as the
// additional-MF letter; the software version is read again from the last lines.
void ReadFab(std::string_view line, ConversionState& s, const std::vector<std::string>& last);

// A slot number in two columns, 00-15; -1 otherwise.
int SlotNumber(std::string_view two);

// "dd/mm/yyyy" somewhere in a line: a '/' with another three columns later.
std::string DateInLine(std::string_view line);

// "hh:mm:ss": any ':' with another three columns later (a label's colon before it, as
// in "OPERADOR:", is passed over).
std::string TimeInLine(std::string_view line);

// Quantity and unit from one word ("2,000KG"): leading digits, commas and points are
// the quantity (three decimals), the rest the unit.
void SplitQuantity(std::string_view word, ItemRecord& item);

std::string Joined(const std::vector<std::string>& words, size_t from, size_t to);

std::string AmountDigits(std::string_view word);

}  // namespace orvik::memfiles::reading
