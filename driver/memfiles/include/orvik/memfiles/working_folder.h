#pragma once
// The working folder RFDTEMP/ and the small file and field helpers the memory-file
// routines share.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace orvik::memfiles {

// RFDTEMP/ in the host executable's folder, with its trailing '/'; computed on every use.
// A folder the process may not write into gives the user's state folder instead
// (common::host_files_folder).
std::string PastaRFDTemp();

// Puts the host folder somewhere else (tests and benchmarks use scratch folders);
// nothing goes back to the executable's folder.
void SetHostFolderOverride(std::optional<std::filesystem::path> folder);

// Last n digits of text, zero-filled on the left to n.
std::string DigitsField(std::string_view text, int n);
// First n characters of text, blank-filled on the right to n.
std::string TextField(std::string_view text, int n);
// The whole text when shorter than n, else its last n characters.
std::string LastChars(std::string_view text, size_t n);
// The text without its leading '0' characters.
std::string StripLeadingZeros(std::string_view text);
// Appends text + CR LF to file (created when missing); false when it could not.
bool AppendLine(const std::filesystem::path& file, std::string_view text);
// Copies from over to through a temporary file beside it renamed into place, so that to
// is either what it was or the whole copy; false (to untouched) when it could not.
bool CopyFileWhole(const std::filesystem::path& from, const std::filesystem::path& to);
// The name a file is written under before it is renamed over `to`.
std::filesystem::path TemporaryBeside(const std::filesystem::path& to);
// Deletes file; true when it existed.
bool DeleteFileIfPresent(const std::filesystem::path& file);
// "." + day, month and (year - 2000) as base-36 digits, from an eight-digit yyyymmdd
// date ("20110314" -> ".E3B"); empty when the date cannot be coded that way.
std::string DmaCode(std::string_view yyyymmdd);

}  // namespace orvik::memfiles
