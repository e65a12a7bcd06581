#pragma once
// Helpers shared by the tests: the host's reading of printed bytes, and a raw-protocol
// client on a serial line.
#include <string>
#include <vector>

namespace ecf_sim::testing {

// Printed bytes turned into text lines the way the host's print capture reads them:
// code page 850 letters of the Portuguese set back to Windows-1252, ESC ! and ESC E
// consumed, a backslash taking the next byte literally, lines ended by a line feed, by
// reaching the width (57 after ESC ! 1, otherwise 48) or by being 48 dashes.
std::vector<std::string> capture_lines(const std::string& bytes);

// The lines of the first document in `lines` whose header carries the given COO.
std::vector<std::string> document_lines(const std::vector<std::string>& lines, int coo);

// A host speaking the framed protocol on a serial line.
class RawClient {
 public:
  explicit RawClient(const std::string& device);
  ~RawClient();
  bool is_open() const { return fd_ >= 0; }

  struct Answer {
    bool complete = false;  // a whole reply frame arrived in time
    int code = -1;
    std::string results;
    std::string raw;
  };
  // Sends one command and waits up to timeout_ms for the reply frame.
  Answer send(const std::string& command, const std::string& params = {}, int timeout_ms = 5000);
  // Reads LeImpressao until two empty replies; the concatenated text.
  std::string read_printout(int* replies = nullptr);
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  int packet_ = 1;
};

}  // namespace ecf_sim::testing
