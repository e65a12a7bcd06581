// libleitura.so: the memory reading. It speaks the printer's named-command protocol on the
// line itself (it is a library of its own and shares nothing with the driver but the COMn
// mapping): checks the serial number, asks for the memory dump, collects it chunk by chunk
// and writes the TDM file through a scratch name.
#include "leitura/leitura.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "common/clock.h"
#include "common/files.h"
#include "common/ini.h"
#include "common/ports.h"
#include "leitura/tdm.h"

#define LEITURA_API extern "C" __attribute__((visibility("default")))

namespace {

using Clock = std::chrono::steady_clock;

// What the status record reports, kept under one lock.
struct Status {
  int state = LEITURA_PARADA, error = 0, size_read = 0, progress = 0;
  std::string text;
};

struct Library {
  std::mutex mutex;  // guards status, running and worker
  Status status;
  bool running = false;
  std::thread worker;
  std::atomic<bool> cancel{false};
  std::atomic<int> baud{115200};

  ~Library() {
    cancel = true;
    if (worker.joinable()) worker.join();
  }
};

Library& lib() {
  static Library l;
  return l;
}

void Report(int state, int error, int size_read, int progress, std::string text) {
  std::lock_guard lock(lib().mutex);
  lib().status = {state, error, size_read, progress, std::move(text)};
}

bool SpeedOf(int baud, speed_t& out) {
  switch (baud) {
    case 9600:
      out = B9600;
      return true;
    case 19200:
      out = B19200;
      return true;
    case 38400:
      out = B38400;
      return true;
    case 57600:
      out = B57600;
      return true;
    case 115200:
      out = B115200;
      return true;
    default:
      return false;
  }
}

// Seconds the printer has to answer a command ([Leitura] TempoResposta of ORVIK.INI,
// default 10); a chunk of the dump gets four times as long, as the driver gives its reads.
int ReplySeconds() {
  const long v = common::IniFile(common::orvik_ini_path()).read_int("Leitura", "TempoResposta", 10);
  return static_cast<int>(std::clamp<long>(v, 1, 120));
}

class Line {
 public:
  ~Line() { Close(); }
  // Opens the device exclusively; false with errno telling why.
  bool Open(const std::string& device, int baud) {
    fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    if (::isatty(fd_) == 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd_, TIOCEXCL) != 0) {
      Close();
      return false;
    }
    termios tio{};
    speed_t speed = B115200;
    SpeedOf(baud, speed);
    if (::tcgetattr(fd_, &tio) != 0) {
      Close();
      return false;
    }
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    // 8 data bits, even parity, one stop bit, no flow control, as the printer expects.
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | CS8 | PARENB;
    tio.c_iflag &= ~(INPCK | IXON | IXOFF | IXANY | PARMRK | IGNPAR | ISTRIP);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
      // A line without parity (a pseudo-terminal) reports the parity bit as not taken.
      tio.c_cflag &= ~PARENB;
      if (::tcsetattr(fd_, TCSANOW, &tio) != 0) {
        Close();
        return false;
      }
    }
    ::tcflush(fd_, TCIOFLUSH);
    return true;
  }
  void Close() {
    if (fd_ < 0) return;
    const int e = errno;
    // On a pseudo-terminal the exclusive flag would outlive the close.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
    errno = e;
  }
  bool Write(std::string_view bytes) {
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<size_t>(n));
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
      if (Clock::now() > deadline) return false;
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, 20);
    }
    return true;
  }
  // Bytes arriving within ms (at most one slice of them).
  bool Read(std::string& into, int ms) {
    pollfd p{fd_, POLLIN, 0};
    const int r = ::poll(&p, 1, ms);
    if (r < 0) return errno == EINTR;
    if (r == 0) return true;
    if (p.revents & (POLLERR | POLLNVAL)) return false;
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) into.append(buf, static_cast<size_t>(n));
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (n == 0 && (p.revents & POLLHUP)) ::usleep(10000);  // no peer yet
    return true;
  }

 private:
  int fd_ = -1;
};

enum class Outcome { kOk, kPrinterError, kSilent, kCancelled, kLine };

struct Answer {
  Outcome outcome = Outcome::kLine;
  std::string code, results;
};

class Client {
 public:
  explicit Client(Line& line) : line_(line) {}

  Answer Send(const std::string& command, const std::string& params, int timeout_seconds) {
    packet_ = packet_ % 255 + 1;
    std::string inside = std::to_string(packet_) + ";" + command + ";" + params + ";";
    const std::string frame = "{" + inside + std::to_string(inside.size()) + "}";
    Answer a;
    if (!line_.Write(frame)) return a;
    std::string buffer;
    const auto deadline = Clock::now() + std::chrono::seconds(timeout_seconds);
    for (;;) {
      if (lib().cancel) {
        a.outcome = Outcome::kCancelled;
        return a;
      }
      if (ParseReply(buffer, a)) return a;
      if (Clock::now() >= deadline) {
        a.outcome = Outcome::kSilent;
        return a;
      }
      // Guard against a line that never ends a frame.
      if (buffer.size() > (8u << 20)) return a;
      if (!line_.Read(buffer, 50)) return a;
    }
  }

 private:
  // A whole reply "{pkt;code;results;len}" whose length field counts its inside.
  static bool ParseReply(std::string& buffer, Answer& a) {
    const size_t open = buffer.find('{');
    if (open == std::string::npos) return false;
    for (size_t close = buffer.find('}', open); close != std::string::npos;
         close = buffer.find('}', close + 1)) {
      const std::string_view inside = std::string_view(buffer).substr(open + 1, close - open - 1);
      const size_t last = inside.rfind(';');
      if (last == std::string_view::npos) continue;
      const std::string_view length = inside.substr(last + 1);
      if (length.empty() || length.size() > 8 ||
          !std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; }))
        continue;
      if (std::stoul(std::string(length)) != last + 1) continue;
      const size_t first = inside.find(';');
      const size_t second = inside.find(';', first + 1);
      if (second == std::string_view::npos || second > last) continue;
      a.code = std::string(inside.substr(first + 1, second - first - 1));
      a.results = second < last ? std::string(inside.substr(second + 1, last - second - 1)) : "";
      a.outcome = a.code == "0" ? Outcome::kOk : Outcome::kPrinterError;
      buffer.erase(0, close + 1);
      return true;
    }
    return false;
  }

  Line& line_;
  int packet_ = 0;
};

// The quoted value of a reply item: TextoImpressao="..." gives what is inside the quotes.
std::string QuotedValue(const std::string& results, std::string_view name) {
  const size_t at = results.find(std::string(name) + "=\"");
  if (at == std::string::npos) return {};
  const size_t from = at + name.size() + 2;
  const size_t to = results.rfind('"');
  return to == std::string::npos || to < from ? std::string() : results.substr(from, to - from);
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
  return s;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

struct Failure {
  int code;
  std::string text;
};

std::string Timestamp() {
  const common::LocalDateTime t = common::clock::local_now();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return buf;
}

Failure FromAnswer(const Answer& a, const std::string& command) {
  switch (a.outcome) {
    case Outcome::kCancelled:
      return {LEITURA_ERRO_CANCELADA, "Leitura cancelada"};
    case Outcome::kSilent:
      return {LEITURA_ERRO_SEM_RESPOSTA, "O ECF nao respondeu ao comando " + command};
    case Outcome::kPrinterError:
      return {LEITURA_ERRO_IMPRESSORA,
              "O ECF recusou o comando " + command + " (erro " + a.code + ")"};
    default:
      return {LEITURA_ERRO_SEM_RESPOSTA, "Falha de comunicacao com o ECF"};
  }
}

// Writes the TDM through a scratch name, synced before the rename.
bool WriteTdm(const std::string& file, const std::string& bytes) {
  const std::string scratch = file + ".tmp";
  const int fd = ::open(scratch.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = common::write_all(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(scratch.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(scratch.c_str());
  return ok;
}

// One reading, start to end; answers 0 or the error code, having reported the end state.
int Read(const std::string& port, const std::string& file, const std::string& serial) {
  // An old file of that name must not pass for this reading's.
  ::unlink(file.c_str());
  ::unlink((file + ".tmp").c_str());
  auto fail = [&](const Failure& f, int size = 0) {
    ::unlink((file + ".tmp").c_str());
    Report(LEITURA_FALHOU, f.code, size, 0, f.text);
    return f.code;
  };
  const common::IniFile ini(common::orvik_ini_path());
  const std::string device = common::serial_device_for(ini, port);
  Report(LEITURA_CONECTANDO, 0, 0, 0, "Conectando ao ECF em " + port);
  Line line;
  if (!line.Open(device, lib().baud))
    return fail({LEITURA_ERRO_PORTA, "Erro na abertura da porta " + port + " (" + device +
                                         "): " + std::strerror(errno)});
  Client client(line);
  const int seconds = ReplySeconds();

  Answer a = client.Send("LeTexto", "NomeTexto=\"NumeroSerieECF\"", seconds);
  if (a.outcome != Outcome::kOk) return fail(FromAnswer(a, "LeTexto"));
  const std::string found = TrimRight(QuotedValue(a.results, "ValorTexto"));
  if (found != TrimRight(serial))
    return fail({LEITURA_ERRO_SERIE,
                 "Numero de serie do ECF (" + found + ") difere de " + TrimRight(serial)});

  a = client.Send("EmiteDumpMemoria", "", seconds);
  if (a.outcome != Outcome::kOk) return fail(FromAnswer(a, "EmiteDumpMemoria"));
  Report(LEITURA_LENDO, 0, 0, 0, "Lendo as memorias do ECF");

  std::string image;
  char pending = 0;  // first hex digit of a byte split between chunks
  bool half = false;
  leitura::DumpProgress progress;
  for (;;) {
    a = client.Send("LeImpressao", "", seconds * 4);
    if (a.outcome != Outcome::kOk)
      return fail(FromAnswer(a, "LeImpressao"), static_cast<int>(image.size()));
    const std::string chunk = QuotedValue(a.results, "TextoImpressao");
    if (chunk.empty()) break;
    for (char c : chunk) {
      const int v = HexValue(c);
      if (v < 0)
        return fail({LEITURA_ERRO_DADOS, "Memorias recebidas com dados invalidos"},
                    static_cast<int>(image.size()));
      if (half)
        image += static_cast<char>(HexValue(pending) << 4 | v);
      else
        pending = c;
      half = !half;
    }
    if (image.size() > leitura::kMaxTdmBytes)
      return fail({LEITURA_ERRO_DADOS, "Memorias maiores que o limite do arquivo TDM"},
                  static_cast<int>(image.size()));
    const int percent = progress.Update(image);
    Report(LEITURA_LENDO, 0, static_cast<int>(image.size()), std::min(percent, 99),
           "Lendo as memorias do ECF");
  }
  line.Close();
  if (half || !leitura::ParseDump(image).ok)
    return fail({LEITURA_ERRO_DADOS, "Memorias recebidas incompletas ou danificadas"},
                static_cast<int>(image.size()));
  if (lib().cancel) return fail({LEITURA_ERRO_CANCELADA, "Leitura cancelada"});
  const std::string tdm =
      leitura::BuildTdm(TrimRight(serial), Timestamp(),
                        leitura::kContentFiscalMemory | leitura::kContentDetailTape, image);
  if (!WriteTdm(file, tdm))
    return fail({LEITURA_ERRO_ARQUIVO, "Erro na gravacao do arquivo " + file});
  Report(LEITURA_CONCLUIDA, 0, static_cast<int>(image.size()), 100, "Leitura concluida: " + file);
  return 0;
}

int RunAndRelease(const std::string& port, const std::string& file, const std::string& serial) {
  const int code = Read(port, file, serial);
  std::lock_guard lock(lib().mutex);
  lib().running = false;
  return code;
}

}  // namespace

LEITURA_API int DLLReadDefineBaudRate(int baud) {
  speed_t ignored;
  if (!SpeedOf(baud, ignored)) return 1;
  lib().baud = baud;
  return 0;
}

LEITURA_API int DLLReadLeMemorias(const char* port, const char* file, const char* serial,
                                  unsigned char flag) {
  if (!port || !file || !serial || !*port || !*file) return LEITURA_ERRO_ARGUMENTOS;
  Library& l = lib();
  std::thread previous;
  {
    std::lock_guard lock(l.mutex);
    if (l.running) return LEITURA_ERRO_OCUPADA;
    l.running = true;
    l.cancel = false;
    l.status = {LEITURA_CONECTANDO, 0, 0, 0, "Iniciando a leitura"};
    previous = std::move(l.worker);
  }
  if (previous.joinable()) previous.join();  // a finished background reading
  std::string p(port), f(file), s(serial);
  if (flag) return RunAndRelease(p, f, s);
  std::thread worker([p, f, s] { RunAndRelease(p, f, s); });
  std::lock_guard lock(l.mutex);
  l.worker = std::move(worker);
  return 0;
}

LEITURA_API int DLLReadStatus(LeituraStatus* record) {
  if (!record || record->size != static_cast<int32_t>(sizeof(LeituraStatus))) return 1;
  std::lock_guard lock(lib().mutex);
  const Status& s = lib().status;
  record->state = s.state;
  record->error = s.error;
  record->size_read = s.size_read;
  record->progress = s.progress;
  std::memset(record->text, ' ', sizeof record->text);
  std::memcpy(record->text, s.text.data(), std::min(s.text.size(), sizeof record->text));
  return 0;
}

LEITURA_API int DLLReadCancelaLeitura(void) {
  lib().cancel = true;
  return 0;
}
