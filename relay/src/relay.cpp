#include "relay/relay.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <fstream>

#include "common/files.h"

namespace relay {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

constexpr const char* kCommand = "COMANDO.TXT";
constexpr const char* kStatus = "STATUS.TXT";
// Not STATUS.TXT in any letter case, so the driver's case-blind look-up never sees it.
constexpr const char* kStatusTemporary = ".orvik-relay-status.tmp";

long long MsSince(steady_clock::time_point start) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

}  // namespace

CommandText ReadCommandText(std::string_view content) {
  CommandText out;
  const size_t eol = content.find('\n');
  if (eol == std::string_view::npos) return out;
  out.whole = true;
  std::string_view line = content.substr(0, eol);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() >= 2 && line.front() == '{' && line.back() == '}') out.frame = std::string(line);
  return out;
}

std::string PacketOf(std::string_view frame) {
  if (frame.empty() || frame.front() != '{') return {};
  const size_t semi = frame.find(';');
  if (semi == std::string_view::npos) return {};
  return std::string(frame.substr(1, semi - 1));
}

Relay::Relay(Options options, Logger log) : options_(std::move(options)), log_(std::move(log)) {}

Relay::~Relay() {
  if (inotify_ >= 0) ::close(inotify_);
}

bool Relay::Start(std::string* error) {
  std::error_code ec;
  if (!fs::is_directory(options_.folder, ec)) {
    if (error) *error = "a pasta não existe: " + options_.folder.string();
    return false;
  }
  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ >= 0 &&
      ::inotify_add_watch(inotify_, options_.folder.c_str(),
                          IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_MODIFY) < 0) {
    ::close(inotify_);
    inotify_ = -1;
  }
  log_(std::string("relay pronto: pasta ") + options_.folder.string() + ", dispositivo " +
       options_.device + " a " + std::to_string(options_.speed) +
       (inotify_ >= 0 ? ", inotify e sondagem" : ", só sondagem"));
  EnsureLine();
  return true;
}

bool Relay::EnsureLine() {
  if (line_.is_open()) return true;
  if (!line_.open(options_.device)) {
    log_("não foi possível abrir " + options_.device + ": " +
         common::open_problem_log_text(line_.problem(), line_.error()));
    return false;
  }
  if (!line_.configure({options_.speed, 'E', true})) {
    log_("a linha " + options_.device + " recusou " + std::to_string(options_.speed) + " 8E1");
    line_.close();
    return false;
  }
  return true;
}

void Relay::WaitForChange() {
  // Woken by inotify at once on a local folder; the interval covers folders shared over
  // the network, where another machine's writes raise no event.
  pollfd p{inotify_, POLLIN, 0};
  const int wait = static_cast<int>(options_.poll_interval.count());
  if (inotify_ < 0) {
    ::poll(nullptr, 0, wait);
    return;
  }
  if (::poll(&p, 1, wait) > 0) {
    char events[4096];
    while (::read(inotify_, events, sizeof events) > 0) {
    }
  }
}

void Relay::Run(const std::atomic<bool>& stop) {
  while (!stop) {
    while (!stop && HandleCommand(stop)) {
    }
    if (!stop) WaitForChange();
  }
  log_("relay encerrado");
}

bool Relay::HandleCommand(const std::atomic<bool>& stop) {
  std::error_code ec;
  if (!fs::is_directory(options_.folder, ec)) {
    if (!folder_missing_) log_("a pasta sumiu: " + options_.folder.string() + "; aguardando");
    folder_missing_ = true;
    return false;
  }
  if (folder_missing_) log_("a pasta voltou: " + options_.folder.string());
  folder_missing_ = false;
  const auto file = common::find_case_blind(options_.folder, kCommand);
  if (!file) return false;
  const auto content = common::read_file(*file);
  if (!content) return false;
  const CommandText text = ReadCommandText(*content);
  if (!text.whole) {
    // Still being written (or its writer died halfway): left alone until it is whole.
    if (incomplete_seen_ != *content) log_("COMANDO.TXT incompleto, aguardando o fim da linha");
    incomplete_seen_ = *content;
    return false;
  }
  incomplete_seen_.clear();
  // Taken before it is sent: a relay that stops during the exchange does not send it again.
  fs::remove(*file, ec);
  if (!text.frame) {
    log_("COMANDO.TXT sem comando, descartado: " + content->substr(0, content->find('\n')));
    return true;
  }
  const std::string& frame = *text.frame;
  if (!EnsureLine()) {
    log_("-> " + frame + " não enviado (sem linha); nenhuma resposta");
    return true;
  }
  const auto start = steady_clock::now();
  std::optional<std::string> reply = Exchange(frame, stop);
  if (!reply) {
    log_("-> " + frame + " sem resposta em " + std::to_string(MsSince(start)) + " ms");
    return true;
  }
  if (common::find_case_blind(options_.folder, kCommand)) {
    // The driver gave up on this command and sent the next: the reply is not its.
    log_("-> " + frame + " <- " + *reply + " descartada: o próximo comando já chegou");
    return true;
  }
  if (!WriteStatus(*reply)) {
    log_("-> " + frame + " <- " + *reply + " não gravada em STATUS.TXT");
    return true;
  }
  log_("-> " + frame + " <- " + *reply + " (" + std::to_string(MsSince(start)) + " ms)");
  return true;
}

std::optional<std::string> Relay::Exchange(const std::string& frame,
                                           const std::atomic<bool>& stop) {
  line_.drain();  // a late reply to an earlier command is not this one's
  if (!line_.write_all(frame, milliseconds(2000))) {
    line_.close();  // reopened for the next command
    return std::nullopt;
  }
  const std::string packet = PacketOf(frame);
  const auto end = steady_clock::now() + options_.reply_limit;
  std::string got;
  while (!stop && steady_clock::now() < end) {
    got += line_.read_some(50);
    // A reply is whole when what arrived ends in its closing brace, as the driver reads
    // the line itself.
    const size_t open = got.find('{');
    if (open == std::string::npos) {
      got.clear();
      continue;
    }
    if (got.back() != '}') continue;
    std::string reply = got.substr(open);
    got.clear();
    if (PacketOf(reply) == packet) return reply;
    log_("resposta de outro pacote ignorada: " + reply);
  }
  return std::nullopt;
}

bool Relay::WriteStatus(const std::string& reply) {
  const fs::path temporary = options_.folder / kStatusTemporary;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << reply << "\r\n";
    out.flush();
    if (!out) return false;
  }
  std::error_code ec;
  fs::rename(temporary, options_.folder / kStatus, ec);
  if (ec) fs::remove(temporary, ec);
  return !ec;
}

}  // namespace relay
