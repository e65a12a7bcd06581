// libleitura.so: the memory reading. It speaks the printer's named-command protocol on the
// line itself (it is a library of its own and shares nothing with the driver but the COMn
// mapping): checks the serial number, asks for the memory dump, collects it chunk by chunk
// and writes the TDM file through a scratch name.
#include "leitura/leitura.h"

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
#include "line.h"

// The Windows build defines it as an export of the DLL.
#ifndef LEITURA_API
#define LEITURA_API extern "C" __attribute__((visibility("default")))
#endif

namespace {

using Clock = std::chrono::steady_clock;
using leitura::Line;

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

bool KnownSpeed(int baud) {
  return baud == 9600 || baud == 19200 || baud == 38400 || baud == 57600 || baud == 115200;
}

// Seconds the printer has to answer a command ([Leitura] TempoResposta of ORVIK.INI,
// default 10); a chunk of the dump gets four times as long, as the driver gives its reads.
int ReplySeconds() {
  const long v = common::IniFile(common::orvik_ini_path()).read_int("Leitura", "TempoResposta", 10);
  return static_cast<int>(std::clamp<long>(v, 1, 120));
}

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

// One reading, start to end; answers 0 or the error code, having reported the end state.
int Read(const std::string& port, const std::string& file, const std::string& serial) {
  // An old file of that name must not pass for this reading's.
  std::error_code ec;
  std::filesystem::remove(file, ec);
  std::filesystem::remove(file + ".tmp", ec);
  auto fail = [&](const Failure& f, int size = 0) {
    std::error_code ignored;
    std::filesystem::remove(file + ".tmp", ignored);
    Report(LEITURA_FALHOU, f.code, size, 0, f.text);
    return f.code;
  };
  const common::IniFile ini(common::orvik_ini_path());
  const std::string device = common::serial_device_for(ini, port);
  Report(LEITURA_CONECTANDO, 0, 0, 0, "Conectando ao ECF em " + port);
  Line line;
  if (!line.Open(device, lib().baud))
    return fail({LEITURA_ERRO_PORTA,
                 "Erro na abertura da porta " + port + " (" + device + "): " + line.Error()});
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
  if (!common::replace_file_durably(file, tdm))
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
  if (!KnownSpeed(baud)) return 1;
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
