#pragma once
// Reading a Lumvar reply "{" packet ";" code ";" results ";" length "}" by the positions
// of its separators; nothing of it is trusted to be well formed.
#include <string>
#include <string_view>

namespace orvik::lumvar {

struct ReplyParts {
  std::string code;     // between the first and second ';' (empty when missing)
  std::string results;  // between the second ';' and the last one before the end
};

ReplyParts SplitReply(std::string_view reply);

// The printer's description of an error: first quoted value + " - " + second quoted value.
std::string ErrorMessage(std::string_view results);

struct ReadOutputs {
  std::string value;
  std::string code;
  std::string flag;
};

// The value of a successful read, by the kind named by its first item; rate answers
// pass through the rate-kind filter (0 none, 1-2 keep ISS rates, 3-4 keep ICMS rates).
ReadOutputs ExtractRead(std::string_view results, int rate_kind_filter);

}  // namespace orvik::lumvar
