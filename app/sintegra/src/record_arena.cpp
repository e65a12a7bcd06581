#include "record_arena.h"

#include <sys/mman.h>

#include <cstdint>

namespace sintegra::detail {

namespace {

// One huge page: a chunk is faulted in at once where the system backs it that way, and a
// chunk's start is found from any address inside it by masking.
constexpr std::size_t kChunkBytes = std::size_t{2} << 20;

// Blocks start past the chunk's header, at an offset aligned for anything Allocate accepts.
constexpr std::size_t kFirstBlock = 64;

}  // namespace

// Sits at the start of every chunk. holds counts the live blocks, plus one while the arena
// still carves from the chunk; whoever takes it to zero unmaps the chunk.
struct RecordArena::Chunk {
  std::atomic<std::size_t> holds{1};
};

RecordArena::~RecordArena() {
  if (current_ != nullptr) Drop(current_);
}

void RecordArena::Drop(Chunk* chunk) noexcept {
  if (chunk->holds.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    chunk->~Chunk();
    ::munmap(chunk, kChunkBytes);
  }
}

void RecordArena::Release(void* block) noexcept {
  auto address = reinterpret_cast<std::uintptr_t>(block);
  Drop(reinterpret_cast<Chunk*>(address & ~(kChunkBytes - 1)));
}

void RecordArena::StartChunk() {
  static_assert(sizeof(Chunk) <= kFirstBlock);
  // Map twice the size and keep the aligned chunk inside it.
  void* mapped =
      ::mmap(nullptr, 2 * kChunkBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  auto start = reinterpret_cast<std::uintptr_t>(mapped);
  auto aligned = (start + kChunkBytes - 1) & ~(kChunkBytes - 1);
  if (aligned > start) ::munmap(mapped, aligned - start);
  std::size_t tail = start + 2 * kChunkBytes - (aligned + kChunkBytes);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(aligned + kChunkBytes), tail);
  char* base = reinterpret_cast<char*>(aligned);
  // A hint only: without huge pages the chunk works the same, page by page.
  ::madvise(base, kChunkBytes, MADV_HUGEPAGE);

  if (current_ != nullptr) Drop(current_);
  current_ = new (base) Chunk;
  next_ = base + kFirstBlock;
  end_ = base + kChunkBytes;
}

void* RecordArena::Allocate(std::size_t bytes, std::size_t alignment) {
  if (alignment > kFirstBlock || bytes > kChunkBytes - kFirstBlock) throw std::bad_alloc();
  auto aligned = [&] {
    auto at = reinterpret_cast<std::uintptr_t>(next_);
    return reinterpret_cast<char*>((at + alignment - 1) & ~(alignment - 1));
  };
  char* block = current_ != nullptr ? aligned() : nullptr;
  if (block == nullptr || block > end_ || static_cast<std::size_t>(end_ - block) < bytes) {
    StartChunk();
    block = aligned();
  }
  next_ = block + bytes;
  current_->holds.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void AdviseHugePages(void* start, std::size_t bytes) noexcept {
  auto from = (reinterpret_cast<std::uintptr_t>(start) + kChunkBytes - 1) & ~(kChunkBytes - 1);
  auto to = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kChunkBytes - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace sintegra::detail
