#pragma once

// Wash blocks for tests: real 1 MiB buffers, with the failures a test asks for and a log of
// which thread obtained and gave back what. Safe to use from several wash workers at once.

#include "platform/BlockAllocator.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace brenvik::test {

class FakeBlockAllocator : public platform::BlockAllocator {
public:
    struct Event {
        bool obtain; // false: given back
        std::thread::id thread;
    };

    // Set before a wash starts. Calls are counted from 0 over the allocator's life.
    int failAt = -1;    // this obtain call is refused by the system
    int reserveAt = -1; // this obtain call is refused for the safety reserve
    int rejectAt = -1;  // this release call is rejected as an invalid block
    // Runs on the worker at the start of every obtain call, with the call's number.
    std::function<void(int call)> onObtain;
    // Runs on the worker at the start of every release call.
    std::function<void()> onRelease;

    platform::BlockGrant obtain() override {
        int call = 0;
        {
            std::lock_guard lock(mutex_);
            call = obtainCalls_++;
        }
        if (onObtain)
            onObtain(call);
        std::lock_guard lock(mutex_);
        if (call == failAt)
            return {nullptr, platform::BlockRefusal::Failed};
        if (call == reserveAt)
            return {nullptr, platform::BlockRefusal::Reserve};
        // Not zero, so that a test sees the wash write the block.
        auto block = std::make_unique_for_overwrite<std::byte[]>(platform::WashBlockSize);
        std::byte* address = block.get();
        std::memset(address, 0xA5, platform::WashBlockSize);
        held_.push_back(std::move(block));
        events_.push_back({true, std::this_thread::get_id()});
        return {address, platform::BlockRefusal::None};
    }

    bool release(std::byte* block) override {
        if (onRelease)
            onRelease();
        std::lock_guard lock(mutex_);
        const int call = releaseCalls_++;
        const auto found = std::find_if(held_.begin(), held_.end(),
                                        [block](const auto& held) { return held.get() == block; });
        if (found == held_.end())
            return false;
        // A rejected block is freed all the same so that tests leak nothing.
        held_.erase(found);
        if (call == rejectAt)
            return false;
        events_.push_back({false, std::this_thread::get_id()});
        ++released_;
        return true;
    }

    int obtainCalls() const {
        std::lock_guard lock(mutex_);
        return obtainCalls_;
    }
    int held() const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(held_.size());
    }
    int released() const {
        std::lock_guard lock(mutex_);
        return released_;
    }
    std::vector<Event> events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    // Whether the bytes of a held block are all zero.
    bool allHeldZero() const {
        std::lock_guard lock(mutex_);
        for (const auto& block : held_)
            for (std::size_t i = 0; i < platform::WashBlockSize; ++i)
                if (block[i] != std::byte{0})
                    return false;
        return true;
    }

private:
    mutable std::mutex mutex_;
    int obtainCalls_ = 0;
    int releaseCalls_ = 0;
    int released_ = 0;
    std::vector<std::unique_ptr<std::byte[]>> held_;
    std::vector<Event> events_;
};

} // namespace brenvik::test
