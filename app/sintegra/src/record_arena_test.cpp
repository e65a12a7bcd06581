#include "record_arena.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace sintegra::detail {
namespace {

// Whether the page holding p is still mapped in this process.
bool Mapped(const void* p) {
  const long page = ::sysconf(_SC_PAGESIZE);
  auto start = reinterpret_cast<std::uintptr_t>(p) & ~static_cast<std::uintptr_t>(page - 1);
  unsigned char resident = 0;
  if (::mincore(reinterpret_cast<void*>(start), static_cast<size_t>(page), &resident) == 0) {
    return true;
  }
  EXPECT_EQ(errno, ENOMEM);
  return false;
}

// An object that counts its live instances and checks its own bytes when it dies.
struct Tracked {
  static inline int alive = 0;
  std::uint64_t mark;
  char text[40];

  explicit Tracked(std::uint64_t m) : mark(m) {
    std::snprintf(text, sizeof text, "object %llu", static_cast<unsigned long long>(m));
    ++alive;
  }
  ~Tracked() {
    char expected[40];
    std::snprintf(expected, sizeof expected, "object %llu", static_cast<unsigned long long>(mark));
    EXPECT_STREQ(text, expected) << "an object was overwritten";
    --alive;
  }
  static void Destroy(void* p) noexcept { static_cast<Tracked*>(p)->~Tracked(); }
};

RecordArena TrackedArena(std::shared_ptr<const void> keep = {}) {
  return RecordArena(sizeof(Tracked), alignof(Tracked), &Tracked::Destroy, std::move(keep));
}

std::shared_ptr<Tracked> MakeTracked(RecordArena& arena, std::uint64_t mark) {
  return arena.Make<Tracked>([mark](void* slot) { return new (slot) Tracked(mark); });
}

// The first byte of the 2 MiB chunk holding p.
std::uintptr_t ChunkOf(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p) >> 21;
}

TEST(RecordArenaTest, ObjectsAreAlignedApartAndEachDestroyedOnce) {
  std::vector<std::shared_ptr<Tracked>> objects;
  {
    RecordArena arena = TrackedArena();
    // Enough to spill over several chunks.
    for (std::uint64_t i = 0; i < 150000; ++i) objects.push_back(MakeTracked(arena, i));
  }
  EXPECT_EQ(Tracked::alive, 150000);
  EXPECT_NE(ChunkOf(objects.front().get()), ChunkOf(objects.back().get()));
  for (std::uint64_t i = 0; i < objects.size(); ++i) {
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(objects[i].get()) % alignof(Tracked), 0u);
    ASSERT_EQ(objects[i]->mark, i);
  }
  objects.clear();
  EXPECT_EQ(Tracked::alive, 0);
}

TEST(RecordArenaTest, RefusesSlotsItCannotHold) {
  auto destroy = [](void*) noexcept {};
  EXPECT_THROW(RecordArena(size_t{4} << 20, 8, destroy), std::bad_alloc);
  EXPECT_THROW(RecordArena(16, 128, destroy), std::bad_alloc);
  EXPECT_THROW(RecordArena(16, 24, destroy), std::bad_alloc);
  EXPECT_NO_THROW(RecordArena(1024, 64, destroy));
}

TEST(RecordArenaTest, AChunkGoesBackWithItsLastObjectEvenAfterTheArena) {
  std::shared_ptr<Tracked> first, second;
  {
    RecordArena arena = TrackedArena();
    first = MakeTracked(arena, 1);
    second = MakeTracked(arena, 2);
  }
  const void* address = second.get();
  first.reset();
  EXPECT_TRUE(Mapped(address)) << "a chunk went back while an object in it was alive";
  // Objects die with their chunk, all together.
  EXPECT_EQ(Tracked::alive, 2);
  second.reset();
  EXPECT_FALSE(Mapped(address)) << "the chunk outlived its last object";
  EXPECT_EQ(Tracked::alive, 0);
}

TEST(RecordArenaTest, AFullChunkGoesBackWhileTheArenaFillsANewOne) {
  RecordArena arena = TrackedArena();
  std::vector<std::shared_ptr<Tracked>> old_chunk;
  std::shared_ptr<Tracked> newest;
  for (std::uint64_t i = 0;; ++i) {
    newest = MakeTracked(arena, i);
    if (!old_chunk.empty() && ChunkOf(newest.get()) != ChunkOf(old_chunk.front().get())) break;
    old_chunk.push_back(newest);
  }
  const void* old_address = old_chunk.front().get();
  old_chunk.clear();
  EXPECT_FALSE(Mapped(old_address));
  EXPECT_TRUE(Mapped(newest.get()));
  EXPECT_EQ(Tracked::alive, 1);
}

TEST(RecordArenaTest, ABuildThatRaisesLeavesItsSlotFreeAndDestroysNothing) {
  {
    RecordArena arena = TrackedArena();
    auto a = MakeTracked(arena, 1);
    EXPECT_THROW(arena.Make<Tracked>([](void*) -> Tracked* { throw std::runtime_error("no"); }),
                 std::runtime_error);
    auto b = MakeTracked(arena, 2);
    // The next object took the slot the failed one left.
    EXPECT_EQ(reinterpret_cast<char*>(b.get()) - reinterpret_cast<char*>(a.get()),
              static_cast<std::ptrdiff_t>(sizeof(Tracked)));
  }
  // Only the two built were destroyed (a third would fail its own check or go below zero).
  EXPECT_EQ(Tracked::alive, 0);
}

TEST(RecordArenaTest, ChunksKeepWhatTheArenaWasGivenToKeep) {
  auto kept = std::make_shared<std::string>("loaded bytes");
  std::weak_ptr<std::string> watch = kept;
  std::shared_ptr<Tracked> object;
  {
    RecordArena arena = TrackedArena(kept);
    kept.reset();
    object = MakeTracked(arena, 7);
  }
  EXPECT_FALSE(watch.expired()) << "the kept bytes went while an object could read them";
  object.reset();
  EXPECT_TRUE(watch.expired());
}

TEST(RecordArenaTest, ReservedChunksAreUsedInOrderAndTheUnusedOnesGoBack) {
  std::vector<std::shared_ptr<Tracked>> objects;
  void* reserved = nullptr;
  size_t reserved_bytes = 0;
  {
    RecordArena arena = TrackedArena();
    arena.Reserve(200000);
    std::tie(reserved, reserved_bytes) = arena.Reserved();
    ASSERT_NE(reserved, nullptr);
    ASSERT_GE(reserved_bytes, 200000 * sizeof(Tracked));
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(reserved) % (size_t{2} << 20), 0u);
    // The reserved memory is faulted in while objects are built in it.
    Prefault prefault({{reserved, reserved_bytes}});
    for (std::uint64_t i = 0; i < 1000; ++i) objects.push_back(MakeTracked(arena, i));
    EXPECT_EQ(static_cast<void*>(objects.front().get()),
              static_cast<char*>(reserved) + 64);  // past the first chunk's header
  }
  const char* last_reserved = static_cast<char*>(reserved) + reserved_bytes - 1;
  EXPECT_FALSE(Mapped(last_reserved)) << "an unused reserved chunk stayed mapped";
  EXPECT_TRUE(Mapped(objects.back().get()));
  for (std::uint64_t i = 0; i < objects.size(); ++i) ASSERT_EQ(objects[i]->mark, i);
}

TEST(RecordArenaTest, PrefaultingLeavesWrittenMemoryAsItIs) {
  std::vector<char> bytes(8u << 20);
  for (size_t i = 0; i < bytes.size(); i += 4096) bytes[i] = static_cast<char>(i / 4096);
  { Prefault prefault({{bytes.data(), bytes.size()}}); }
  for (size_t i = 0; i < bytes.size(); i += 4096) {
    ASSERT_EQ(bytes[i], static_cast<char>(i / 4096));
  }
}

}  // namespace
}  // namespace sintegra::detail
