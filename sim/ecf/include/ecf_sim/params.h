#pragma once
// Parameters of a command: Name=value items separated by blanks. Values are quoted texts
// ("..."), dates between hash signs (#dd/mm/yyyy#) or bare words. Blanks around '=' are
// tolerated because hosts send items such as "Valor = 12,34".
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ecf_sim {

struct CaseBlindLess {
  bool operator()(const std::string& a, const std::string& b) const;
};

class Params {
 public:
  // Parses the parameter text; false (with the offending text in error()) when it is
  // not a sequence of Name=value items.
  bool parse(std::string_view text);
  const std::string& error() const { return error_; }

  bool has(const std::string& name) const { return values_.count(name) != 0; }
  // The raw value (quotes and hash signs removed), or nothing.
  std::optional<std::string> get(const std::string& name) const;
  // The value as an integer; nothing when missing or not a number.
  std::optional<int64_t> integer(const std::string& name) const;
  // true/false (also 1/0, S/N, Y/N); nothing when missing or not a boolean.
  std::optional<bool> boolean(const std::string& name) const;
  // The value when given, the fallback when the parameter is absent; nothing when it is
  // given but malformed, which the printer refuses rather than guessing.
  std::optional<bool> boolean_or(const std::string& name, bool fallback) const;
  std::optional<int64_t> integer_or(const std::string& name, int64_t fallback) const;
  // A decimal amount scaled to the given number of decimal places, extra digits
  // truncated ("12,345" with 2 places is 1234); nothing when not a number.
  std::optional<int64_t> decimal(const std::string& name, int places) const;

  std::size_t size() const { return values_.size(); }
  // The names given, as sent.
  std::vector<std::string> names() const;
  // Every item by name, values as get() gives them.
  const std::map<std::string, std::string, CaseBlindLess>& items() const { return values_; }

 private:
  std::map<std::string, std::string, CaseBlindLess> values_;
  std::string error_;
};

// A decimal text ("1,99", "-5", "1.5", " 2,000") scaled to places decimals; nothing when
// it does not hold a number.
std::optional<int64_t> parse_decimal(std::string_view text, int places);

// Decodes the escapes of printed free texts: "\n" is a line break, "\xHH" a byte.
std::string decode_free_text(std::string_view text);

}  // namespace ecf_sim
