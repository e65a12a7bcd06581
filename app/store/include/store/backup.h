#pragma once
// Backups of a database through the engine's services (the standard backup format, so
// the system's own backup tool restores the files too). A backup travels from the
// engine to this process, so its file is on this machine also when the database is on
// a server. A restore has the engine read the file itself: the embedded engine or a
// server on this machine (127.0.0.1, localhost); a server elsewhere is refused.
//
// A database location is a plain path (embedded engine) or "host:/path" /
// "host/port:/path" (a server), as for Connection.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace store {

// Who the engine is asked to act for.
struct ServerLogin {
  std::string user;
  std::string password;
};

// The login a connection's parameter list carries ("user_name=...", "password=...").
ServerLogin LoginFromParams(const std::vector<std::string>& params);

// Bytes handled so far and the size they are heading for (0 when not known beforehand).
using BackupProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// A backup or restore that did not complete. The message is Portuguese and names the
// file or the database concerned.
class BackupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes a backup of the database at `location` into `file`. The file appears under its
// name only when complete and verified by a restore into a temporary database beside
// the original (in the temporary folder, embedded, for a server elsewhere; removed
// afterwards); on failure no file is left under that name and an
// older file of that name stays as it was.
void BackupDatabase(const std::string& location, const ServerLogin& login, const std::string& file,
                    const BackupProgress& progress = {});

// Replaces the database at `location` by the one in the backup `file`. Refuses while
// another connection has the database open. The backup is restored into a new file
// beside it first; the old database is replaced only once that restore is complete,
// so a truncated or foreign file leaves it untouched.
void RestoreDatabase(const std::string& file, const std::string& location, const ServerLogin& login,
                     const BackupProgress& progress = {});

// Other connections to the database at `location` (its own not counted); throws
// BackupError when the database cannot be reached (an embedded file another process
// holds is counted as one).
int OtherConnections(const std::string& location, const ServerLogin& login);

}  // namespace store
