#pragma once

// The wash's blocks of 1,048,576 bytes. Each block is obtained on its own and given back on its
// own, so that what a wash gives back really returns to the system at once.

#include <cstddef>

namespace brenvik::platform {

inline constexpr std::size_t WashBlockSize = 1'048'576;

// Why a block was not handed out.
enum class BlockRefusal {
    None,    // the block was obtained
    Reserve, // taking it would have left less available memory than the safety reserve
    Failed,  // the system would not give it (address space or memory exhausted)
};

struct BlockGrant {
    std::byte* block = nullptr; // WashBlockSize writable bytes, or null when refused
    BlockRefusal refusal = BlockRefusal::None;
};

// One wash at a time uses the allocator (the wash engine serialises its washes); the accounting
// of the safety reserve relies on that.
class BlockAllocator {
public:
    virtual ~BlockAllocator() = default;

    virtual BlockGrant obtain() = 0;
    // False when the block is not one this allocator handed out (nothing is given back then).
    virtual bool release(std::byte* block) = 0;
};

} // namespace brenvik::platform
