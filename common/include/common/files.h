#pragma once
// File helpers shared by the driver and the program.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// The entry of folder whose name equals name without regard to case (an exact match wins);
// nothing when there is none. Fixed names such as ORVIK.INI are looked up this way.
std::optional<std::filesystem::path> find_case_blind(const std::filesystem::path& folder,
                                                     std::string_view name);

// The existing entry of folder named name without regard to case, otherwise folder/name
// spelled as given (the path a new file gets).
std::filesystem::path fixed_name(const std::filesystem::path& folder, std::string_view name);

// Appends line + CR LF to the file, creating it when missing. False when it cannot write.
bool append_line(const std::filesystem::path& file, std::string_view line);

// Recreates the file holding the given lines, each followed by CR LF. False when it cannot
// write; a write that fails part way removes the file rather than leave a mix of lines.
bool write_lines(const std::filesystem::path& file, const std::vector<std::string>& lines);

// Writes data to file through the scratch file file + ".tmp", on disk before it is renamed
// over file. False when it cannot; the scratch file is then removed and file untouched.
bool replace_file_durably(const std::filesystem::path& file, std::string_view data);

// Writes every byte to the descriptor, resuming after interruptions and partial writes.
// False on the first failure (errno tells why).
bool write_all(int fd, std::string_view data);

// The whole file as bytes; nothing when it cannot be read.
std::optional<std::string> read_file(const std::filesystem::path& file);

// The lines of a text, split at CR LF, LF or a lone CR; a final line break adds no line.
std::vector<std::string> split_lines(std::string_view text);

// The folder of the running program's executable (from /proc/self/exe; on Windows its
// short 8.3 form).
std::filesystem::path executable_folder();

// A path as text with a trailing folder separator when it lacks one ('/' on Linux; '\' on
// Windows, where a path ending in '/' already has one).
std::string with_trailing_slash(std::string path);

// The folder [Sistema] Path stands for when ORVIK.INI has no such key, with its trailing
// separator: the current directory on Linux, "C:\" on Windows.
std::string default_path_folder();

}  // namespace common
