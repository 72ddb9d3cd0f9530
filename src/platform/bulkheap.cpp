#include "platform/bulkheap.h"

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

void ReserveBulkHeap(std::size_t bytes) {
  if (bytes == 0) return;
  // Every block comes from the main heap, which is one mapping: large blocks too, which
  // would otherwise get mappings of their own, faulted page by page.
  if (mallopt(M_MMAP_MAX, 0) == 0) return;
  // Freed room stays in the heap: handing it back would let the next block fault it in again.
  mallopt(M_TRIM_THRESHOLD, static_cast<int>(std::min<std::size_t>(bytes * 2, 1U << 30)));
  // One block the size of the room grows the heap by that much; freed, it is the room the
  // blocks after it are cut from. Nothing of it is touched but its ends.
  void* block = std::malloc(bytes);
  if (!block) return;
  const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto begin = (reinterpret_cast<std::uintptr_t>(block) + page - 1) / page * page;
  const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) / page * page;
  std::free(block);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

#else

void ReserveBulkHeap(std::size_t) {}

#endif
