#pragma once
// A device's state on disk: written to FILE.tmp, synced and renamed over FILE, so that a
// crash leaves the old state or the new one, never a mix.
#include <filesystem>
#include <string>
#include <string_view>

namespace devkit {

// Replaces `file` with `content` atomically; on failure `file` is untouched.
bool save_atomically(const std::filesystem::path& file, std::string_view content,
                     std::string* error);
// The whole file as bytes.
bool read_whole_file(const std::filesystem::path& file, std::string& out, std::string* error);

}  // namespace devkit
