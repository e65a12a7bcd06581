#include "record_arena.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
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

TEST(RecordArenaTest, BlocksAreAlignedAndDoNotOverlap) {
  RecordArena arena;
  struct Block {
    char* at;
    size_t size;
  };
  std::vector<Block> blocks;
  // Enough odd-sized blocks to spill over several chunks.
  for (int i = 0; i < 40000; ++i) {
    size_t size = 100 + (i % 7) * 29;
    size_t alignment = size_t{1} << (i % 7);  // 1 to 64
    char* at = static_cast<char*>(arena.Allocate(size, alignment));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(at) % alignment, 0u);
    std::memset(at, static_cast<char>(i), size);
    blocks.push_back({at, size});
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    const Block& b = blocks[i];
    ASSERT_EQ(b.at[0], static_cast<char>(i)) << "block " << i << " was overwritten";
    ASSERT_EQ(b.at[b.size - 1], static_cast<char>(i)) << "block " << i << " was overwritten";
  }
  for (const Block& b : blocks) RecordArena::Release(b.at);
}

TEST(RecordArenaTest, RefusesBlocksItCannotHold) {
  RecordArena arena;
  EXPECT_THROW(arena.Allocate(size_t{4} << 20, 8), std::bad_alloc);
  EXPECT_THROW(arena.Allocate(16, 128), std::bad_alloc);
  void* fits = arena.Allocate(1024, 64);
  EXPECT_NE(fits, nullptr);
  RecordArena::Release(fits);
}

TEST(RecordArenaTest, AChunkGoesBackWithItsLastBlockEvenAfterTheArena) {
  void* first = nullptr;
  void* second = nullptr;
  {
    RecordArena arena;
    first = arena.Allocate(64, 8);
    second = arena.Allocate(64, 8);
  }
  EXPECT_TRUE(Mapped(first));
  RecordArena::Release(first);
  EXPECT_TRUE(Mapped(second)) << "a chunk went back while a block in it was alive";
  RecordArena::Release(second);
  EXPECT_FALSE(Mapped(second)) << "the chunk outlived its last block";
}

TEST(RecordArenaTest, AFullChunkGoesBackWhileTheArenaCarvesANewOne) {
  RecordArena arena;
  void* old_block = arena.Allocate(1024, 8);
  // Fill the rest of the chunk, then start another.
  std::vector<void*> rest;
  void* block = nullptr;
  do {
    block = arena.Allocate(1024, 8);
    rest.push_back(block);
  } while ((reinterpret_cast<std::uintptr_t>(block) >> 21) ==
           (reinterpret_cast<std::uintptr_t>(old_block) >> 21));
  void* in_new_chunk = rest.back();
  rest.pop_back();
  RecordArena::Release(old_block);
  for (void* b : rest) RecordArena::Release(b);
  EXPECT_FALSE(Mapped(old_block));
  EXPECT_TRUE(Mapped(in_new_chunk));
  RecordArena::Release(in_new_chunk);
}

TEST(RecordArenaTest, SharedObjectsLiveAndDieInTheArena) {
  RecordArena arena;
  std::vector<std::shared_ptr<std::string>> kept;
  for (int i = 0; i < 1000; ++i) {
    kept.push_back(std::allocate_shared<std::string>(ArenaAllocator<std::string>(arena),
                                                     "value " + std::to_string(i)));
  }
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(*kept[i], "value " + std::to_string(i));
  kept.clear();  // every destructor ran and every block went back (the sanitizers check)
}

}  // namespace
}  // namespace sintegra::detail
