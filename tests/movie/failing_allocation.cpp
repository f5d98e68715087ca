#include "tests/movie/failing_allocation.h"

#include <cstdlib>
#include <new>

namespace skorva::testing {
namespace {

thread_local bool failNext = false;

void* allocate(std::size_t size) {
    if (failNext) {
        failNext = false;
        throw std::bad_alloc();
    }
    if (void* block = std::malloc(size == 0 ? 1 : size)) {
        return block;
    }
    throw std::bad_alloc();
}

void* allocateOrNull(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

void failNextAllocationOnThisThread() {
    failNext = true;
}

}  // namespace skorva::testing

// Every plain form of new and delete, so that no block passes between this allocator and another.
void* operator new(std::size_t size) {
    return skorva::testing::allocate(size);
}
void* operator new[](std::size_t size) {
    return skorva::testing::allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return skorva::testing::allocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return skorva::testing::allocateOrNull(size);
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
