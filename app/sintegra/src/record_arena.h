#pragma once
// Memory for the records of one loaded file. A large file makes a million records in one
// go; building them one after another in a few large chunks spares a heap call and a
// shared count for each and, with the chunks backed by huge pages where the system offers
// them, most of the page faults of touching fresh memory.
//
// Every object of an arena has the same size. A chunk is owned by one shared count: each
// object handed out shares it (std::shared_ptr's aliasing form), and when the last of
// them goes the chunk destroys all its objects and goes back to the system. So an object
// is destroyed with its chunk, not when its own last reference goes; one object still
// referred to keeps its chunk (2 MiB) alive; and the chunk keeps alive whatever the arena
// was given to keep, such as the loaded file's bytes the objects read.
#include <cstddef>
#include <memory>
#include <new>
#include <thread>
#include <utility>
#include <vector>

namespace sintegra::detail {

class RecordArena {
 public:
  // Objects of slot_bytes bytes (at most 64-byte alignment), destroyed with destroy.
  RecordArena(std::size_t slot_bytes, std::size_t slot_alignment, void (*destroy)(void*) noexcept,
              std::shared_ptr<const void> keep = {});
  // Gives up the arena's own hold on the chunk it fills and the chunks it reserved but
  // never used; objects handed out stay.
  ~RecordArena();
  RecordArena(const RecordArena&) = delete;
  RecordArena& operator=(const RecordArena&) = delete;

  // The header at the start of each chunk (defined with the arena).
  struct Chunk;

  // Maps the chunks that objects will need at once, so that their pages can be faulted
  // in ahead of use (see Prefault); a hint that fails quietly.
  void Reserve(std::size_t objects) noexcept;
  // The part of the reservation not yet carved into chunks: first byte and size.
  std::pair<void*, std::size_t> Reserved() const { return {reserved_next_, reserved_bytes_}; }

  // Builds one object in the next slot with make(void* slot), which returns the object's
  // pointer, and returns it sharing its chunk's count. When make raises, the slot stays
  // free and nothing is destroyed. Raises std::bad_alloc when the system has no memory.
  template <typename T, typename Build>
  std::shared_ptr<T> Make(Build&& make) {
    void* slot = NextSlot();
    T* object = std::forward<Build>(make)(slot);
    Commit();
    return std::shared_ptr<T>(current_, object);
  }

 private:
  void* NextSlot();
  void Commit() noexcept;
  void StartChunk();

  std::size_t slot_bytes_;
  void (*destroy_)(void*) noexcept;
  std::shared_ptr<const void> keep_;
  std::shared_ptr<void> current_;  // the chunk being filled
  Chunk* chunk_ = nullptr;
  char* reserved_next_ = nullptr;  // reserved chunks not carved yet, one after another
  std::size_t reserved_bytes_ = 0;
};

// Faults in fresh memory on another thread while the caller goes on, so that the cost of
// the system providing the pages overlaps the caller's own work. The ranges must stay
// mapped until the object is gone; its destructor waits for the thread.
class Prefault {
 public:
  struct Range {
    void* start;
    std::size_t bytes;
  };
  // Starts the thread; without one (the system refused it) nothing happens.
  explicit Prefault(std::vector<Range> ranges) noexcept;
  ~Prefault();
  Prefault(const Prefault&) = delete;
  Prefault& operator=(const Prefault&) = delete;

 private:
  std::thread thread_;
};

// Asks for huge pages behind a large block of ordinary memory, such as the list that is
// about to hold a million records; only a hint, and only the whole huge pages inside it.
void AdviseHugePages(void* start, std::size_t bytes) noexcept;

}  // namespace sintegra::detail
