#include "sintegra/sintegra.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "common/files.h"
#include "record_arena.h"
#include "sintegra/error.h"
#include "sintegra/registros.h"

namespace sintegra {

namespace {

constexpr size_t kIoChunk = 1 << 20;
// Files from this size on (about 60,000 lines) are worth a thread faulting in memory ahead.
constexpr size_t kPrefaultFrom = size_t{8} << 20;

std::string WithReason(const char* message, int error) {
  return std::string(message) + "\n" + std::strerror(error);
}

// The file being written beside the real one; removed unless it was put in place.
class PendingFile {
 public:
  ~PendingFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }

  void Create(const std::filesystem::path& folder, const std::string& name) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::filesystem::path candidate = folder / (name + "." + std::to_string(::getpid()) + "." +
                                                  std::to_string(counter.fetch_add(1)) + ".tmp");
      fd_ = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        path_ = candidate;
        return;
      }
      if (errno != EEXIST) break;
    }
    throw SintegraError(WithReason(kWriteFailed, errno));
  }

  void Write(const std::string& bytes) {
    if (!common::write_all(fd_, bytes)) throw SintegraError(kWriteFailed);
  }

  // Makes the bytes durable and closes the file, so that a crash after the rename cannot
  // leave an empty or partial file in place of the previous one.
  void Finish() {
    bool ok = ::fsync(fd_) == 0;
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    if (!ok) throw SintegraError(kWriteFailed);
  }

  void MoveOver(const std::filesystem::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) {
      throw SintegraError(WithReason(kWriteFailed, errno));
    }
    path_.clear();
  }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
};

void SyncFolder(const std::filesystem::path& folder) {
  int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The first CR or LF in [from, to), or to when there is none. A load searches every byte
// of the file once, so sixteen are compared at a time where the processor allows.
const char* FindLineEnd(const char* from, const char* to) {
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; to - from >= 16; from += 16) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    int ends =
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    if (ends != 0) return from + __builtin_ctz(static_cast<unsigned>(ends));
  }
#endif
  for (; from < to; ++from) {
    if (*from == '\r' || *from == '\n') return from;
  }
  return to;
}

class FileCloser {
 public:
  explicit FileCloser(int fd) : fd_(fd) {}
  ~FileCloser() { ::close(fd_); }

 private:
  int fd_;
};

// The bytes of a loaded file, kept while any record reads them. A regular file is mapped
// rather than copied: its pages are the ones the system already holds for the file, so a
// large load asks for no fresh memory for its text. Files written by this system replace
// their previous version by renaming, which leaves the mapped one intact. Anything else
// (a pipe, a device) is read whole.
class LoadedBytes {
 public:
  // nullptr with errno set when the file cannot be read.
  static std::shared_ptr<const LoadedBytes> Read(int fd) {
    auto bytes = std::make_shared<LoadedBytes>();
    struct stat info {};
    if (::fstat(fd, &info) != 0) return nullptr;
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
      size_t size = static_cast<size_t>(info.st_size);
      void* mapped = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
      if (mapped != MAP_FAILED) {
        bytes->mapped_ = mapped;
        bytes->data_ = static_cast<const char*>(mapped);
        bytes->size_ = size;
        return bytes;
      }
    }
    // Read whole, from wherever the descriptor stands.
    std::string& copy = bytes->copy_;
    size_t held = 0;
    for (;;) {
      if (copy.size() - held < kIoChunk) copy.resize(held + kIoChunk);
      ssize_t n = ::read(fd, copy.data() + held, copy.size() - held);
      if (n < 0) {
        if (errno == EINTR) continue;
        return nullptr;
      }
      if (n == 0) break;
      held += static_cast<size_t>(n);
    }
    copy.resize(held);
    bytes->data_ = copy.data();
    bytes->size_ = held;
    return bytes;
  }

  LoadedBytes() = default;
  ~LoadedBytes() {
    if (mapped_ != nullptr) ::munmap(mapped_, size_);
  }
  LoadedBytes(const LoadedBytes&) = delete;
  LoadedBytes& operator=(const LoadedBytes&) = delete;

  const char* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void* mapped_ = nullptr;
  const char* data_ = "";
  size_t size_ = 0;
  std::string copy_;
};

}  // namespace

std::filesystem::path TSintegra::OutputPath() const {
  return std::filesystem::path(diretorio_) / nome_arquivo_;
}

namespace {
// Lines gather in memory and go to the file a chunk at a time.
void WriteWhenFull(PendingFile& file, std::string& buffer) {
  if (buffer.size() < kIoChunk) return;
  file.Write(buffer);
  buffer.clear();
}
}  // namespace

// The file being written while records are added, and what the trailer needs of them.
struct TSintegra::Streaming {
  PendingFile file;
  std::string buffer;
  std::vector<TContador> contadores;
  std::shared_ptr<TRegistro> tipo10;  // the last one wins
  std::size_t registros = 0;
};

void TSintegra::EscreveAoAdicionar() {
  if (streaming_) return;
  auto s = std::make_shared<Streaming>();
  try {
    s->file.Create(OutputPath().parent_path(), nome_arquivo_);
  } catch (const std::exception&) {
    return;  // held as usual; GeraArquivo meets the same folder and says why
  }
  s->buffer.reserve(kIoChunk + 256);
  streaming_ = std::move(s);
}

bool TSintegra::AdicionaRegistro(std::shared_ptr<TRegistro> registro) {
  if (!registro) return false;
  if (streaming_) {
    Streaming& s = *streaming_;
    try {
      std::string_view tipo = registro->ValueView(1);
      if (tipo == "10") s.tipo10 = registro;
      if (tipo != "10" && tipo != "11" && tipo != "90") Conta(s.contadores, tipo);
      ++s.registros;
      registro->AppendRenderedLine(s.buffer);
      WriteWhenFull(s.file, s.buffer);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }
  try {
    registros_.push_back(std::move(registro));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool TSintegra::AdicionaLinha(std::string_view linha) {
  if (KindOfLine(linha) == TTipoRegistros::TipoInvalido) throw SintegraError(kInvalidRecordType);
  std::string_view tipo = linha.substr(0, 2);
  if (!streaming_ || tipo == "10") {
    std::string_view sem_fim = linha;
    if (sem_fim.size() >= 2 && sem_fim.substr(sem_fim.size() - 2) == "\r\n")
      sem_fim.remove_suffix(2);
    return AdicionaRegistro(TRegistro::SharedFromLine(sem_fim));
  }
  Streaming& s = *streaming_;
  try {
    if (tipo != "11" && tipo != "90") Conta(s.contadores, tipo);
    ++s.registros;
    s.buffer += linha;
    WriteWhenFull(s.file, s.buffer);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

TListaRegistros TSintegra::RegistrosDoTipo(TTipoRegistros tipo) const {
  TListaRegistros result;
  RecordKindCode code = KindCode(tipo);
  if (code.type.empty()) return result;
  for (const auto& registro : registros_) {
    if (registro->ValueView(1) != code.type) continue;
    if (code.type == "60" && registro->ValueView(2) != code.subtype) continue;
    result.push_back(registro);
  }
  return result;
}

void TSintegra::CarregaArquivo(const std::string& arquivo) {
  auto cannot_read = [&arquivo](int error) {
    return SintegraError(
        WithReason(("Não foi possível ler o arquivo " + arquivo + ".").c_str(), error));
  };
  int fd = ::open(arquivo.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw cannot_read(errno);
  std::shared_ptr<const LoadedBytes> bytes;
  {
    FileCloser closer(fd);
    bytes = LoadedBytes::Read(fd);
    if (!bytes) throw cannot_read(errno);
  }
  const char* const begin = bytes->data();
  const char* const end = begin + bytes->size();

  // Room for one record per 127 bytes (a line and its end) up front spares the list its
  // regrowth copies.
  registros_.reserve(registros_.size() + bytes->size() / 127 + 1);
  detail::AdviseHugePages(registros_.data(),
                          registros_.capacity() * sizeof(TListaRegistros::value_type));

  // The records read their values from the loaded bytes, which live as long as any of them.
  detail::RecordArena arena = TRegistro::ArenaForLines(bytes);
  // The fresh memory of a large load (the list and the records) is faulted in on another
  // thread while this one reads the lines: the system providing pages costs about as much
  // as the reading.
  std::optional<detail::Prefault> prefault;
  if (bytes->size() >= kPrefaultFrom) {
    arena.Reserve(bytes->size() / 127 + 1);
    auto [reserved, reserved_bytes] = arena.Reserved();
    prefault.emplace(std::vector<detail::Prefault::Range>{
        {registros_.data() + registros_.size(),
         (registros_.capacity() - registros_.size()) * sizeof(TListaRegistros::value_type)},
        {reserved, reserved_bytes}});
  }
  int numero = 0;
  auto load_line = [&](std::string_view linha) {
    ++numero;
    try {
      if (!AdicionaRegistro(TRegistro::ViewOfLine(linha, arena))) {
        throw SintegraError("Memória insuficiente para o registro.");
      }
    } catch (const std::exception& e) {
      throw SintegraError("Erro ao carregar a linha " + std::to_string(numero) + " do arquivo " +
                          arquivo + " - " + e.what());
    }
  };
  // Lines end at CR LF, LF or CR; a last line without an end counts when it holds anything.
  const char* line = begin;
  while (line < end) {
    const char* stop = FindLineEnd(line, end);
    load_line(std::string_view(line, stop - line));
    if (stop == end) break;
    line = stop + ((*stop == '\r' && stop + 1 < end && stop[1] == '\n') ? 2 : 1);
  }
}

void TSintegra::Conta(std::vector<TContador>& contadores, std::string_view tipo) {
  for (TContador& contador : contadores) {
    if (contador.Tipo == tipo) {
      ++contador.Total;
      return;
    }
  }
  contadores.push_back({std::string(tipo), 1});
}

TListaRegistros TSintegra::Trailers(const std::vector<TContador>& contadores,
                                    const TRegistro* tipo10, std::size_t registros) {
  TListaRegistros result;
  if (contadores.empty()) return result;

  // A trailer has nine slots: up to eight type totals and the overall total fit on one.
  // More types than that go on further trailers, the overall total on the last one.
  constexpr size_t kSlots = TRegTipo90::kLastTotalField - TRegTipo90::kFirstTotalField + 1;
  const size_t lines = (contadores.size() + 1 + kSlots - 1) / kSlots;
  std::vector<std::shared_ptr<TRegTipo90>> trailers;
  for (size_t l = 0; l < lines; ++l) {
    auto trailer = std::make_shared<TRegTipo90>();
    if (tipo10 != nullptr) {
      trailer->SetCnpj(tipo10->ObtemValor(2));
      trailer->SetStateRegistration(tipo10->ObtemValor(3));
    }
    trailers.push_back(std::move(trailer));
  }
  for (size_t k = 0; k < contadores.size(); ++k) {
    trailers[k / kSlots]->AtribuiTotal(TRegTipo90::kFirstTotalField + static_cast<int>(k % kSlots),
                                       contadores[k]);
  }
  trailers.back()->AdicionaTotal({"99", static_cast<std::int32_t>(registros + lines)});
  for (auto& trailer : trailers) {
    trailer->SetTrailerCount(std::to_string(lines));
    result.push_back(trailer);
  }
  return result;
}

void TSintegra::GeraRegistrosTipo90() {
  const TRegistro* tipo10 = nullptr;
  std::vector<TContador> contadores;
  for (const auto& registro : registros_) {
    std::string_view tipo = registro->ValueView(1);
    if (tipo == "10") tipo10 = registro.get();  // the last one wins
    if (tipo == "10" || tipo == "11" || tipo == "90") continue;
    Conta(contadores, tipo);
  }
  for (auto& trailer : Trailers(contadores, tipo10, registros_.size()))
    registros_.push_back(trailer);
}

void TSintegra::WriteFile() {
  const std::filesystem::path target = OutputPath();
  const std::filesystem::path folder = target.parent_path();

  // Each line is what the record's GravaLinha appends; written through one stream into a
  // file beside the real one, which replaces the previous file only once complete.
  PendingFile own;
  PendingFile* file = &own;
  std::string own_buffer;
  std::string* bufferp = &own_buffer;
  TListaRegistros pending_records;
  if (streaming_) {
    // Records written as added: only the trailer is left.
    std::shared_ptr<Streaming> s = std::move(streaming_);
    file = &s->file;
    bufferp = &s->buffer;
    pending_records = Trailers(s->contadores, s->tipo10.get(), s->registros);
    streaming_ = s;  // kept until the end: it owns the pending file
  } else {
    GeraRegistrosTipo90();
    own.Create(folder, nome_arquivo_);
    own_buffer.reserve(kIoChunk + 256);
  }
  PendingFile& pending = *file;
  std::string& buffer = *bufferp;
  const TListaRegistros& to_write = streaming_ ? pending_records : registros_;
  for (const auto& registro : to_write) {
    registro->AppendRenderedLine(buffer);
    WriteWhenFull(pending, buffer);
  }
  pending.Write(buffer);
  buffer.clear();
  pending.Finish();

  // File names are compared without regard to case: an old SINTEGRA.TXT is this file too.
  auto previous = common::find_case_blind(folder, nome_arquivo_);
  pending.MoveOver(target);
  if (previous && previous->filename() != nome_arquivo_) {
    std::error_code ignored;
    std::filesystem::remove(*previous, ignored);
  }
  SyncFolder(folder);
}

bool TSintegra::GeraArquivo() {
  Log("--> Iniciando Geração do Sintegra");
  bool ok = false;
  last_error_.clear();
  try {
    WriteFile();
    ok = true;
  } catch (const std::exception& e) {
    last_error_ = e.what();
  }
  // A file written as records came is complete or discarded now.
  streaming_.reset();
  Log(ok ? "<-- Sintegra gerado com SUCESSO" : "<-- Sintegra gerado com FALHA");
  return ok;
}

void TSintegra::Log(const std::string& line) const {
  if (!log_) return;
  // The log is a witness of the writing, never a reason for it to fail.
  try {
    log_(line);
  } catch (...) {
  }
}

}  // namespace sintegra
