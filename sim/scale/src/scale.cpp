#include "scale_sim/scale.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>

namespace scale_sim {
namespace {

constexpr char kEnq = 0x05;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
// What a reply looks like to a host listening at another speed: no frame at all.
const std::string kGarbage = "\xF0\x8F\xFE\x80\xC3\xE7";

}  // namespace

std::string Frame(Mode mode, const std::string& weight) {
  switch (mode) {
    case Mode::kUnstable:
      return std::string(1, kStx) + "IIIII" + kEtx;
    case Mode::kOverload:
      return std::string(1, kStx) + "SSSSS" + kEtx;
    case Mode::kNegative:
      return std::string(1, kStx) + "NNNNN" + kEtx;
    case Mode::kWeight:
      break;
  }
  return std::string(1, kStx) + weight + kEtx;
}

Scale::Scale() : server_(line_, [this](std::string_view b) { on_bytes(b); }) {}

Scale::~Scale() {
  server_.stop();
}

void Scale::set_mode(Mode m) {
  std::lock_guard lock(mutex_);
  mode_ = m;
}

void Scale::set_weight(const std::string& w) {
  std::lock_guard lock(mutex_);
  mode_ = Mode::kWeight;
  weight_ = w;
}

void Scale::apply_control_file() {
  if (!control_.enabled()) return;
  for (const devkit::ControlLine& l : control_.take()) {
    const std::string& w = l.word;
    if (w == "weight")
      set_weight(l.text_arg(0, "00150"));
    else if (w == "unstable")
      set_mode(Mode::kUnstable);
    else if (w == "overload")
      set_mode(Mode::kOverload);
    else if (w == "negative")
      set_mode(Mode::kNegative);
    else if (w == "silent")
      inject(Fault(Fault::kSilent), l.number(0, 1));
    else if (w == "slow")
      inject(Fault(Fault::kSlow, l.number(0, 500)), l.number(1, 1));
    else if (w == "split")
      inject(Fault(Fault::kSplit, l.number(1, 20), l.number(0, 2)), l.number(2, 1));
    else if (w == "only")
      answer_only(l.number(0, 2));
    else if (w == "no-stx")
      inject(Fault(Fault::kNoStx), l.number(0, 1));
    else if (w == "empty")
      inject(Fault(Fault::kEmpty), l.number(0, 1));
    else if (w == "partial")
      inject(Fault(Fault::kPartial), l.number(0, 1));
    else if (w == "over-long")
      inject(Fault(Fault::kOverLong), l.number(0, 1));
    else if (w == "no-etx")
      inject(Fault(Fault::kNoEtx), l.number(0, 1));
    else if (w == "flood")
      inject(Fault(Fault::kFlood, l.number(0, 1500)));
    else if (w == "clear")
      clear_faults();
  }
}

void Scale::on_bytes(std::string_view bytes) {
  apply_control_file();
  for (char c : bytes) {
    if (c == kEnq)
      answer_enq();
    else
      ++refused_;
  }
}

void Scale::answer_enq() {
  ++enqs_;
  if (skip_ > 0) {
    --skip_;
    return;
  }
  std::string frame, text;
  {
    std::lock_guard lock(mutex_);
    frame = Frame(mode_, weight_);
    text = frame.substr(1, frame.size() - 2);
  }
  if (const auto host = line_.host_settings();
      host && !(*host == devkit::LineSettings{speed_, 8, 'N', 1, false})) {
    ++garbled_;
    line_.write_all(kGarbage);
    return;
  }
  const std::optional<Fault> fault = faults_.take();
  if (!fault) {
    line_.write_all(frame);
    return;
  }
  switch (fault->kind) {
    case Fault::kSilent:
      return;
    case Fault::kSlow:
      devkit::sleep_ms(fault->ms);
      line_.write_all(frame);
      return;
    case Fault::kSplit:
      line_.write_in_pieces(frame, fault->parts, fault->ms);
      return;
    case Fault::kNoStx:
      line_.write_all(text + kEtx);
      return;
    case Fault::kEmpty:
      line_.write_all(std::string{kStx, kEtx});
      return;
    case Fault::kPartial:
      line_.write_all(std::string(1, kStx) + text.substr(0, 2));
      devkit::sleep_ms(20);
      line_.write_all(frame);
      return;
    case Fault::kOverLong:
      line_.write_all(std::string(1, kStx) + std::string(20, '0') + kEtx);
      return;
    case Fault::kNoEtx:
      line_.write_all(std::string(1, kStx) + text);
      return;
    case Fault::kFlood: {
      // Without blocking: once the host stops reading, the line's buffer fills and the
      // flood must still end on time.
      const int fd = line_.fd();
      const int flags = ::fcntl(fd, F_GETFL);
      ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(fault->ms);
      const std::string noise(256, '7');
      while (std::chrono::steady_clock::now() < end) {
        if (::write(fd, noise.data(), noise.size()) < 0) devkit::sleep_ms(5);
      }
      ::fcntl(fd, F_SETFL, flags);
      return;
    }
  }
}

}  // namespace scale_sim
