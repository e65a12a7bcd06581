#include "orvik/memfiles/memory_libraries.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <vector>

#include "common/files.h"
#include "common/library.h"
#include "common/message_box.h"
#include "common/text1252.h"
#include "orvik/core/config.h"
#include "orvik/core/frame_support.h"
#include "orvik/core/state.h"
#include "orvik/lumvar/engine.h"
#include "orvik/lumvar/queries.h"

namespace orvik::memfiles {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBanner = "---------------[1.0.0.8]------------";

using DefineBaudRate = int (*)(int);
using LeMemorias = int (*)(const char*, const char*, const char*, unsigned char);
using ReadStatus = int (*)(void*);
using CancelaLeitura = int (*)();
using GeraArquivo = int (*)(const char*, const char*, const char*, const char*, char, const char*,
                            const char*);

// The status record exchanged with the reading library.
struct StatusRecord {
  int32_t size, state, error, size_read, progress;
  char text[128];
};
static_assert(sizeof(StatusRecord) == 148);

std::string W(std::string_view utf8) {
  return common::utf8_to_cp1252(utf8);
}

std::string DefaultLeitura() {
  return common::library_file_name("Leitura.dll");
}
std::string DefaultAto17() {
  return common::library_file_name("ATO17.dll");
}

struct Names {
  std::string leitura = DefaultLeitura(), ato17 = DefaultAto17();
};
Names& names() {
  static Names n;
  return n;
}

std::mutex& instance_mutex() {
  static std::mutex m;
  return m;
}
std::unique_ptr<TQVXDlls>& instance_slot() {
  static std::unique_ptr<TQVXDlls> slot;
  return slot;
}

// The status record is filled under the write side and read under the read side.
std::shared_mutex& status_lock() {
  static std::shared_mutex m;
  return m;
}
StatusRecord& status_record() {
  static StatusRecord r{};
  return r;
}

// Beside the driver first, then by name through the platform's search.
void* Load(const std::string& name) {
  return common::load_library(name);
}

std::string Hint() {
  return W(
      "\nVerifique se a dll está no mesmo diretório da Orvik.dll ou no diretório System32 do "
      "Windows");
}

std::string TrimRight(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// The end of every export: its return line.
int Returning(std::string_view name, int answer) {
  core::Log(W("Retorno da função ") + std::string(name) + ":" + std::to_string(answer));
  return answer;
}

// The failure path: the message line, the log line, answer 0.
int Failure(std::string_view shown_name, std::string_view log_prefix, const std::string& what) {
  const std::string message = W("ERRO na função ") + std::string(shown_name) + ": " + what;
  common::show_message_box("Erro Orvik.dll", message);
  core::Log(std::string(log_prefix) + what);
  core::State().last_message = what;
  return 0;
}

// Runs body with the export's failure path around it.
template <class Body>
int Guard(std::string_view name, std::string_view log_prefix, Body&& body) {
  try {
    return body();
  } catch (const std::exception& e) {
    return Failure(name, log_prefix, e.what());
  } catch (...) {
    return Failure(name, log_prefix, "erro desconhecido");
  }
}

template <class F>
F Fn(bool leitura, const char* name) {
  return reinterpret_cast<F>(TQVXDlls::Instance().Function(leitura, name));
}

int ReadMemories(const std::string& file, const std::string& serial, bool flag) {
  TQVXDlls& dlls = TQVXDlls::Instance();
  const auto read = Fn<LeMemorias>(true, "DLLReadLeMemorias");
  return read(dlls.port_name().c_str(), file.c_str(), serial.c_str(), flag ? 1 : 0);
}

int ConvertToAto17(const std::string& binary_file, const std::string& text_file,
                   const std::string& first, const std::string& last, char kind,
                   const std::string& user, const std::string& content) {
  const auto generate = Fn<GeraArquivo>(false, "DLLATO17GeraArquivo");
  return generate(binary_file.c_str(), text_file.c_str(), first.c_str(), last.c_str(), kind,
                  user.c_str(), content.c_str());
}

int GeraRFDBinarioBody(const std::string& first, const std::string& last, int interval_type,
                       int content_type, char* file) {
  if (const int r = lumvar::ReadRegister(0); r != 1) return r;
  const std::string serial = TrimRight(core::State().return_value.substr(0, 20));
  core::Log(W("Lendo as memórias do ECF"));
  if (const int r = ReadMemories("Memorias.tdm", serial, true); r != 0) return r;
  const char letter = interval_type == 0 ? 'D' : interval_type == 2 ? 'C' : 'M';
  const char* content = content_type == 1 ? "MF" : content_type == 2 ? "MFD" : "TDM";
  core::Log("Gerando arquivo do ATO COTEPE 1704");
  const std::string text_file = serial + ".txt";
  const int r = ConvertToAto17("Memorias.tdm", text_file, first, last, letter, "01", content);
  // Paths are used as they are, whatever their length (there is no short form here).
  if (file) std::strcpy(file, text_file.c_str());
  return r == 0 ? 1 : r;
}

}  // namespace

void SetMemoryLibraryNames(std::string leitura, std::string ato17) {
  names().leitura = leitura.empty() ? DefaultLeitura() : std::move(leitura);
  names().ato17 = ato17.empty() ? DefaultAto17() : std::move(ato17);
}

TQVXDlls::TQVXDlls() {
  // The driver's own configuration file, with the defaults of the libraries' settings.
  const common::IniFile ini = core::Config();
  port_name_ = ini.read("Sistema", "Porta", "COM1");
  baud_ = static_cast<int>(ini.read_int("Sistema", "Baud", 115200));
  leitura_ = Load(names().leitura);
  if (!leitura_) throw std::runtime_error(W("A Dll Leitura.dll não foi encontrada.") + Hint());
  ato17_ = Load(names().ato17);
  if (!ato17_) throw std::runtime_error(W("A Dll ATO17.dll não foi encontrada.") + Hint());
  reinterpret_cast<DefineBaudRate>(Function(true, "DLLReadDefineBaudRate"))(baud_);
}

TQVXDlls& TQVXDlls::Instance() {
  std::lock_guard lock(instance_mutex());
  auto& slot = instance_slot();
  if (!slot) slot.reset(new TQVXDlls());  // a throw leaves the slot empty for the next call
  return *slot;
}

void* TQVXDlls::Function(bool leitura, const char* name) const {
  void* f = common::library_function(leitura ? leitura_ : ato17_, name);
  if (!f)
    throw std::runtime_error(W("A função ") + name + W(" não foi encontrada na ") +
                             (leitura ? "Leitura.dll" : "ATO17.dll"));
  return f;
}

int LeMemoriasBinario(const std::string& binary_file, const std::string& serial, int flag) {
  core::Log(kBanner);
  const int answer = Guard("Orvik_LeMemoriasBinario", "Erro:", [&] {
    TQVXDlls::Instance();  // the libraries are loaded before anything else
    core::Log(W("Testando comunicação com o ECF"));
    if (const int r = lumvar::ExecuteLumvar("LeData", "NomeData=\"Data\""); r != 1) return r;
    core::Log(W("Chamando a função DLLReadLeMemorias da Leitura.dll"));
    const int r = ReadMemories(binary_file, serial, flag != 0);
    return r == 0 ? 1 : r;
  });
  return Returning("Orvik_LeMemoriasBinario", answer);
}

int GeraArquivoATO17Binario(const std::string& binary_file, const std::string& text_file,
                            const std::string& first, const std::string& last,
                            const std::string& interval_kind, const std::string& user,
                            const std::string& content_kind) {
  core::Log(kBanner);
  const int answer = Guard("Orvik_GeraArquivoATO17Binario", "Erro: ", [&] {
    TQVXDlls::Instance();  // the libraries are loaded before anything else
    const char kind = interval_kind.empty() ? '\0' : interval_kind[0];
    const int r = ConvertToAto17(binary_file, text_file, first, last, kind, user, content_kind);
    return r == 0 ? 1 : r;
  });
  return Returning("Orvik_GeraArquivoATO17Binario", answer);
}

int LeStatusGeraBinario(int* state, int* error, int* size_read, int* progress, char* text) {
  core::Log(kBanner);
  const int answer = Guard("Orvik_LeStatusGeraBinario", "Erro: ", [&] {
    TQVXDlls::Instance();  // the libraries are loaded before anything else
    const auto read_status = Fn<ReadStatus>(true, "DLLReadStatus");
    {
      std::unique_lock write(status_lock());
      StatusRecord& r = status_record();
      r = StatusRecord{};
      r.size = sizeof(StatusRecord);
      std::memset(r.text, ' ', sizeof r.text);
      read_status(&r);
    }
    StatusRecord copy;
    {
      std::shared_lock read(status_lock());
      copy = status_record();
    }
    const std::string message = TrimRight(std::string(copy.text, sizeof copy.text));
    if (state) *state = copy.state;
    if (error) *error = copy.error;
    if (size_read) *size_read = copy.size_read;
    if (progress) *progress = copy.progress;
    if (text) std::memcpy(text, message.c_str(), message.size() + 1);
    core::Log(W("Retorno da função Orvik_LeStatusGeraBinario: CodErro: ") +
              std::to_string(copy.error) + W(" Situação: ") + std::to_string(copy.state) +
              " Tam. Leitura: " + std::to_string(copy.size_read) +
              " Progresso: " + std::to_string(copy.progress) + W(" Situação: ") + message);
    return 1;
  });
  return Returning("Orvik_LeStatusGeraBinario", answer);
}

int CancelaLeituraBinario() {
  core::Log(kBanner);
  const int answer = Guard("Orvik_CancelaLeituraBinario", "Erro: ", [] {
    TQVXDlls::Instance();  // the libraries are loaded before anything else
    core::Log(W("Chamando a função DLLReadCancelaLeitura da Leitura.dll"));
    Fn<CancelaLeitura>(true, "DLLReadCancelaLeitura")();
    return 1;
  });
  return Returning("Orvik_CancelaLeituraBinario", answer);
}

int GeraRFDBinario(const std::string& first, const std::string& last, int interval_type,
                   int content_type, char* file) {
  core::Log(kBanner);
  const int answer = Guard("Orvik_GeraRFDBinario", "Erro: ", [&] {
    TQVXDlls::Instance();  // the libraries are loaded before anything else
    return GeraRFDBinarioBody(first, last, interval_type, content_type, file);
  });
  return Returning("Orvik_GeraRFDBinario", answer);
}

int GeraRFDBinarioRJ(const std::string& first, const std::string& last, int interval_type) {
  const int answer = Guard("GeraRFDBinarioRJ", "Erro: ", [&] {
    char file[256] = {};
    int r = GeraRFDBinario(first, last, interval_type, 2, file);
    if (r == 1) r = ConverteATO17ParaPAFRJ(file);
    return r;
  });
  return Returning("Orvik_GeraRFDBinarioRJ", answer);
}

int ConverteATO17ParaPAFRJ(const std::string& file) {
  core::Log(kBanner);
  const int answer = Guard("Orvik_ConverteATO17ParaPAFRJ", "ERRO: ", [&] {
    core::Log("Convertendo arquivo para o PAF-RJ");
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) return 0;
    const auto text = common::read_file(file);
    if (!text) throw std::runtime_error("Erro na leitura de " + file);
    const std::vector<std::string> lines = common::split_lines(*text);
    if (lines.empty()) {
      core::Log("O arquivo " + file + W(" não foi encotrado."));
      return 0;
    }
    static const char* kDropped[] = {"E03", "E04", "E05", "E06", "E07", "E08",
                                     "E09", "E10", "E11", "E12", "E13", "EAD"};
    std::vector<std::string> kept;
    for (const auto& line : lines) {
      const std::string kind = line.substr(0, 3);
      if (std::any_of(std::begin(kDropped), std::end(kDropped),
                      [&](const char* d) { return kind == d; }))
        continue;
      std::string out = line;
      // The content field of E01 (columns 113-115) says which memory the file holds.
      if (kind == "E01" && out.size() >= 115) {
        std::string field = out.substr(112, 3);
        std::transform(field.begin(), field.end(), field.begin(), ::toupper);
        if (field == "TDM") out.replace(112, 3, "MFD");
      }
      kept.push_back(std::move(out));
    }
    if (kept.size() < 2) {
      core::Log(
          W("Não foi possível realizar a conversão do arquivo, o arquivo de origem está "
            "vazio."));
      return 0;
    }
    const fs::path source(file);
    const fs::path target = source.parent_path() / ("PAF-RJ_" + source.filename().string());
    const fs::path scratch = target.string() + ".tmp";
    if (!common::write_lines(scratch, kept)) {
      fs::remove(scratch, ec);
      throw std::runtime_error("Erro na gravacao de " + target.string());
    }
    fs::rename(scratch, target, ec);
    if (ec) {
      fs::remove(scratch, ec);
      throw std::runtime_error("Erro na gravacao de " + target.string());
    }
    core::Log(W("Conversão efetuada com sucesso - PAF-RJ_") + file);
    return 1;
  });
  return Returning("Orvik_ConverteATO17ParaPAFRJ", answer);
}

}  // namespace orvik::memfiles
