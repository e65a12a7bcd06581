#include "record_arena.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>

namespace sintegra::detail {

namespace {

// One huge page: a chunk is faulted in at once where the system backs it that way.
constexpr std::size_t kChunkBytes = std::size_t{2} << 20;

constexpr std::size_t kMaxAlignment = 64;

constexpr std::size_t RoundUp(std::size_t n, std::size_t to) {
  return (n + to - 1) / to * to;
}

}  // namespace

// Sits at the start of every chunk, the slots after it.
struct RecordArena::Chunk {
  std::size_t slot_bytes;
  void (*destroy)(void*) noexcept;
  std::shared_ptr<const void> keep;
  std::size_t built = 0;  // slots holding a live object, from the first on

  // The slots start past the header, at an offset aligned for any slot.
  static constexpr std::size_t kFirstSlot = kMaxAlignment;

  char* Slot(std::size_t k) { return reinterpret_cast<char*>(this) + kFirstSlot + k * slot_bytes; }
  std::size_t Capacity() const { return (kChunkBytes - kFirstSlot) / slot_bytes; }
};

static_assert(sizeof(RecordArena::Chunk) <= RecordArena::Chunk::kFirstSlot);

namespace {

struct ChunkRelease {
  void operator()(void* base) const noexcept {
    auto* chunk = static_cast<RecordArena::Chunk*>(base);
    for (std::size_t k = 0; k < chunk->built; ++k) chunk->destroy(chunk->Slot(k));
    chunk->~Chunk();
    ::munmap(base, kChunkBytes);
  }
};

}  // namespace

RecordArena::RecordArena(std::size_t slot_bytes, std::size_t slot_alignment,
                         void (*destroy)(void*) noexcept, std::shared_ptr<const void> keep)
    : slot_bytes_(RoundUp(slot_bytes, slot_alignment)), destroy_(destroy), keep_(std::move(keep)) {
  if (slot_alignment == 0 || slot_alignment > kMaxAlignment ||
      (slot_alignment & (slot_alignment - 1)) != 0 || slot_bytes_ == 0 ||
      slot_bytes_ > kChunkBytes - Chunk::kFirstSlot) {
    throw std::bad_alloc();
  }
}

namespace {

// count chunks, one after another, each starting on a huge-page boundary; nullptr when the
// system has no room.
char* MapChunks(std::size_t count) noexcept {
  // Map one chunk more and keep the part that starts on a boundary.
  std::size_t bytes = count * kChunkBytes;
  void* mapped = ::mmap(nullptr, bytes + kChunkBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  auto start = reinterpret_cast<std::uintptr_t>(mapped);
  auto aligned = (start + kChunkBytes - 1) & ~(kChunkBytes - 1);
  if (aligned > start) ::munmap(mapped, aligned - start);
  std::size_t tail = start + bytes + kChunkBytes - (aligned + bytes);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + bytes), tail);
  // A hint only: without huge pages the chunks work the same, page by page.
  ::madvise(reinterpret_cast<void*>(aligned), bytes, MADV_HUGEPAGE);
  return reinterpret_cast<char*>(aligned);
}

}  // namespace

RecordArena::~RecordArena() {
  if (reserved_bytes_ > 0) ::munmap(reserved_next_, reserved_bytes_);
}

void RecordArena::Reserve(std::size_t objects) noexcept {
  if (reserved_bytes_ > 0) return;
  std::size_t per_chunk = (kChunkBytes - Chunk::kFirstSlot) / slot_bytes_;
  std::size_t count = objects / per_chunk + 1;
  if (count > (std::size_t{1} << 20)) return;  // beyond any file; left to chunk by chunk
  reserved_next_ = MapChunks(count);
  reserved_bytes_ = reserved_next_ != nullptr ? count * kChunkBytes : 0;
}

void RecordArena::StartChunk() {
  void* base = nullptr;
  if (reserved_bytes_ > 0) {
    base = reserved_next_;
    reserved_next_ += kChunkBytes;
    reserved_bytes_ -= kChunkBytes;
  } else {
    base = MapChunks(1);
    if (base == nullptr) throw std::bad_alloc();
  }
  auto* chunk = new (base) Chunk{slot_bytes_, destroy_, keep_};
  std::shared_ptr<void> owner;
  try {
    owner = std::shared_ptr<void>(base, ChunkRelease{});
  } catch (...) {
    chunk->~Chunk();
    ::munmap(base, kChunkBytes);
    throw;
  }
  current_ = std::move(owner);  // the previous chunk lives on in its objects, if any
  chunk_ = chunk;
}

void* RecordArena::NextSlot() {
  if (chunk_ == nullptr || chunk_->built == chunk_->Capacity()) StartChunk();
  return chunk_->Slot(chunk_->built);
}

void RecordArena::Commit() noexcept {
  ++chunk_->built;
}

Prefault::Prefault(std::vector<Range> ranges) noexcept {
  try {
    thread_ = std::thread([ranges = std::move(ranges)] {
      // Piece by piece, in the order the memory will be used, so that the caller rarely
      // waits on a piece this thread is still faulting in. A system without the request
      // only misses the head start.
      constexpr std::size_t kPiece = kChunkBytes;
      for (const Range& range : ranges) {
        auto from = reinterpret_cast<std::uintptr_t>(range.start) & ~(std::uintptr_t{4095});
        auto to = reinterpret_cast<std::uintptr_t>(range.start) + range.bytes;
        for (; from < to; from += kPiece) {
          std::size_t bytes = std::min<std::size_t>(kPiece, to - from);
          if (::madvise(reinterpret_cast<void*>(from), bytes, MADV_POPULATE_WRITE) != 0) return;
        }
      }
    });
  } catch (...) {
    // No thread: the memory is faulted in as it is used.
  }
}

Prefault::~Prefault() {
  if (thread_.joinable()) thread_.join();
}

void AdviseHugePages(void* start, std::size_t bytes) noexcept {
  auto from = (reinterpret_cast<std::uintptr_t>(start) + kChunkBytes - 1) & ~(kChunkBytes - 1);
  auto to = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kChunkBytes - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace sintegra::detail
