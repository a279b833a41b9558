#pragma once

// The wash's blocks of 1,048,576 bytes. (Filled in by the wash work.)

namespace brenvik::platform {

class BlockAllocator {
public:
    virtual ~BlockAllocator() = default;
};

} // namespace brenvik::platform
