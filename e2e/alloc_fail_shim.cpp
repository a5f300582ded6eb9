// Preloaded into the program (LD_PRELOAD): the first
// PELORIN_FAIL_ALLOCATIONS_AFTER calls of malloc, calloc and realloc work,
// every later one fails with ENOMEM. The C library does the work.
#include <cerrno>
#include <cstddef>
#include <cstdlib>

// glibc's own names for its allocator.
// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming)
extern "C" void* __libc_malloc(std::size_t size);
extern "C" void* __libc_calloc(std::size_t count, std::size_t size);
extern "C" void* __libc_realloc(void* block, std::size_t size);
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)

namespace {
long calls = 0;
bool may_allocate() {
    static const char* limit = std::getenv("PELORIN_FAIL_ALLOCATIONS_AFTER");
    if (limit == nullptr || ++calls <= std::strtol(limit, nullptr, 10)) return true;
    errno = ENOMEM;
    return false;
}
}  // namespace

extern "C" void* malloc(std::size_t size) {
    return may_allocate() ? __libc_malloc(size) : nullptr;
}
extern "C" void* calloc(std::size_t count, std::size_t size) {
    return may_allocate() ? __libc_calloc(count, size) : nullptr;
}
extern "C" void* realloc(void* block, std::size_t size) {
    return may_allocate() ? __libc_realloc(block, size) : nullptr;
}
