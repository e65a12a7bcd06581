#pragma once
// Memory for the records of one loaded file. A large file makes a million records in one
// go; carving them one after another out of a few large chunks spares a heap call for each
// and, with the chunks backed by huge pages where the system offers them, most of the page
// faults of touching fresh memory. Each chunk goes back to the system as soon as no block
// in it remains, however long the arena that carved it lives.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>

namespace sintegra::detail {

class RecordArena {
 public:
  RecordArena() = default;
  // Gives up the arena's own hold on the chunk it carves from; blocks handed out stay.
  ~RecordArena();
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;

  // A block of bytes at the alignment (at most 64), taken from the current chunk or a new
  // one. Raises std::bad_alloc when the system has no memory or the block would not fit a
  // chunk.
  void* Allocate(std::size_t bytes, std::size_t alignment);

  // Returns a block Allocate handed out. Any thread may call it, with or without the arena.
  static void Release(void* block) noexcept;

 private:
  struct Chunk;
  static void Drop(Chunk* chunk) noexcept;
  void StartChunk();

  Chunk* current_ = nullptr;
  char* next_ = nullptr;
  char* end_ = nullptr;
};

// Asks for huge pages behind a large block of ordinary memory, such as the list that is
// about to hold a million records; only a hint, and only the whole huge pages inside it.
void AdviseHugePages(void* start, std::size_t bytes) noexcept;

// A standard allocator over one arena, for std::allocate_shared: the record and its shared
// count are one block of the arena.
template <typename T>
class ArenaAllocator {
 public:
  using value_type = T;

  explicit ArenaAllocator(RecordArena& arena) noexcept : arena_(&arena) {}
  template <typename U>
  ArenaAllocator(const ArenaAllocator<U>& other) noexcept : arena_(other.arena_) {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(arena_->Allocate(n * sizeof(T), alignof(T)));
  }
  // The block finds its chunk from its own address, so the arena may be gone by now.
  void deallocate(T* p, std::size_t) noexcept { RecordArena::Release(p); }

  // Any copy can return any block.
  template <typename U>
  bool operator==(const ArenaAllocator<U>&) const noexcept {
    return true;
  }

 private:
  template <typename U>
  friend class ArenaAllocator;
  RecordArena* arena_;  // reached only to allocate, while the loading runs
};

}  // namespace sintegra::detail
