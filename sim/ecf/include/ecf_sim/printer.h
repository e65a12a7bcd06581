#pragma once
// The virtual printer's engine: one command in, one reply out. It knows nothing of lines
// or frames (see server.h); tests drive it directly or through a pseudo-terminal.
#include <chrono>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ecf_sim/state.h"

namespace ecf_sim {

struct Reply {
  int code = 0;         // 0 success, otherwise the printer's error number
  std::string results;  // Name=value items, or the error's two quoted values
  bool ok() const { return code == 0; }
};

// Phases of the document being issued; NomeEstadoFiscal names them.
enum Phase : int {
  kIdle = 0,
  kSelling = 1,    // coupon or non-fiscal receipt taking items
  kTotalling = 2,  // subtotal adjusted
  kPaying = 3,     // at least one payment
  kGerencialOpen = 4,
  kVoucherOpen = 5,
};

// A cheque as the printer printed it: the fields it was sent (quotes and hash signs
// removed) and when. The cheque leaves the printer once printed.
struct PrintedCheque {
  std::map<std::string, std::string> fields;
  DateTime printed;
};

class Printer {
 public:
  Printer();
  explicit Printer(State state);

  // Runs one command with its parameter text and answers as the printer does.
  Reply execute(std::string_view command, std::string_view params);

  // Direct access for tests and tools; call forget_counts() after changing the tape.
  State& state() { return state_; }
  void forget_counts() { tape_bytes_ = -1; }
  const State& state() const { return state_; }

  // The printer's clock: the computer's clock shifted by the state's offset.
  DateTime now() const;
  // Sets the printer's clock to the given instant; it runs on from there.
  void set_clock(const DateTime& t);
  // Stops the clock where it stands (for runs that must give the same bytes each time);
  // daylight-saving changes still move it.
  void freeze_clock();

  // Technical-intervention mode: non-read commands are refused while it is on. Leaving it
  // restarts operation, which counts a restart (CRO) at the printer's date and time.
  void set_technical_intervention(bool on);

  // Operating time comes from a running clock in milliseconds (a steady clock unless a
  // test gives its own). count_running_time() adds the time since its last call to the
  // operating counter, and to the fiscal-document counter while a fiscal coupon is open;
  // every command calls it first.
  void set_running_clock(std::function<int64_t()> now_ms);
  void count_running_time();

  // Text waiting to be handed out through LeImpressao (readings sent with Destino="S").
  std::size_t serial_pending() const { return serial_.size() - serial_pos_; }
  // Bytes handed out per LeImpressao reply.
  void set_chunk_size(std::size_t n) { chunk_ = n; }

  // What was printed on paper since the printer started (the last megabytes of it).
  const std::string& paper() const { return paper_; }
  void clear_paper() { paper_.clear(); }

  // True once a command has changed the state since the flag was last cleared.
  bool changed() const { return changed_; }
  void clear_changed() { changed_ = false; }

  // Loads a saved state; false (state untouched) when the file is not a valid state.
  bool load(const std::filesystem::path& file, std::string* error = nullptr);
  // Saves the whole state atomically (temporary file, flush, rename).
  bool save(const std::filesystem::path& file, std::string* error = nullptr) const;

  // The cheques printed since the printer started, oldest first.
  const std::vector<PrintedCheque>& printed_cheques() const { return cheques_; }

  // Prepares the structured memory dump and queues it for LeImpressao.
  void queue_memory_dump();

  // The names this printer knows, as its tables write them: every command, the
  // parameters one command accepts, and the registers one read or write command takes
  // ("CON[n]", "AliquotannReducao[z]": nn a two-digit rate number, the letter in
  // brackets a decimal index).
  static std::vector<std::string> known_commands();
  static std::vector<std::string> known_parameters(std::string_view command);
  static std::vector<std::string> known_registers(std::string_view command);

  // The error name and Portuguese description of an error code.
  static std::pair<std::string, std::string> describe_error(int code);

 private:
  friend class Commands;
  State state_;
  std::string serial_;
  std::size_t serial_pos_ = 0;
  std::size_t chunk_ = 2048;
  std::string paper_;
  std::vector<PrintedCheque> cheques_;
  bool changed_ = false;
  int64_t tape_bytes_ = -1;  // bytes on the detail tape; -1 until counted
  int drawer_open_until_ = 0;
  std::function<int64_t()> running_clock_;
  std::optional<std::chrono::system_clock::time_point> frozen_at_;
  int64_t last_running_ms_ = 0;
};

// Serialises and restores a state (the --state file format).
std::string serialize_state(const State& s);
bool deserialize_state(std::string_view text, State& out, std::string* error);

// The memory dump: a binary image of the structured records (documented in README.md).
std::string memory_dump(const State& s);

}  // namespace ecf_sim
