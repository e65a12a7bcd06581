#pragma once
// Where a program keeps the files it would create beside its executable. Installed under
// /usr, a normal user cannot write there; those files then go to the user's state folder.
#include <filesystem>

namespace common {

// The executable's folder when this process may write into it (as always), otherwise
// user_state_folder(), created when missing. The executable's folder also when neither
// XDG_STATE_HOME nor HOME gives a state folder.
std::filesystem::path host_files_folder();

// $XDG_STATE_HOME/orvik (an absolute XDG_STATE_HOME only), else $HOME/.local/state/orvik;
// empty when neither is set. Not created here.
std::filesystem::path user_state_folder();

// True when this process may create files in folder (an existing folder it may write).
bool folder_writable(const std::filesystem::path& folder);

}  // namespace common
