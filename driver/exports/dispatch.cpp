#include "dispatch.h"

#include <cstdio>
#include <cstring>

#include "common/text1252.h"

namespace orvik::exports {

std::string MissingLabel(std::string_view name) {
  if (IsQvx()) return std::string(name);
  return " " + std::string(name);
}

int NotImplementedHere(std::string_view name) {
  core::State().second_return_value.clear();
  return core::NotImplemented(MissingLabel(name));
}

int QueryCommandMissing(std::string_view label) {
  core::State().return_value.clear();
  core::State().second_return_value.clear();
  return core::CommandMissing(label);
}

int Failed(std::string_view name, const char* what) noexcept {
  try {
    const std::string message =
        common::utf8_to_cp1252("Erro na função ") + std::string(name) + ": " + (what ? what : "");
    std::fprintf(stderr, "%s\n", common::cp1252_to_utf8(message).c_str());
    core::Log("---[" + message + "]---");
    core::State().last_message = message;
  } catch (...) {
    // Out of memory while reporting: the answer 0 still says the call failed.
  }
  return 0;
}

std::string CopyBytes(const char* bytes, int count) {
  if (!bytes || count < 1) return {};
  return std::string(bytes, static_cast<size_t>(count));
}

}  // namespace orvik::exports
