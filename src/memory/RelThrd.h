#pragma once

// The wash worker. A wash takes N blocks of 1 MiB one after another, writes every byte of each,
// then gives them all back; the pressure makes the system trim other programs' memory. Each
// requested wash runs on a worker thread of its own; WashLock lets one wash at a time take and
// give back memory, so washes requested during a wash wait their turn.
//
// The worker knows no toolkit: whatever it asks of windows goes through WashWindows, which the
// widgets implement with calls into the interface thread and brenvikctl with nothing at all.

#include "platform/SystemStatus.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace brenvik {

namespace platform {
class BlockAllocator;
}

class WashBlocks;
class WashLog;

// Held by one wash from before its first block is taken until after its last one is given back.
extern std::mutex WashLock;

enum class WashStop {
    Completed, // every requested block was taken
    Cancelled, // the user (or the program's end) asked the wash to stop
    Reserve,   // a block would have eaten into the safety reserve
    Failed,    // the system would not give a block
};

const char* washStopName(WashStop stop);

struct WashResult {
    int requested = 0;
    int obtained = 0;
    int released = 0;
    int rejected = 0; // blocks the allocator refused to take back
    WashStop stop = WashStop::Completed;
    std::chrono::steady_clock::duration waited{};   // waiting for WashLock
    std::chrono::steady_clock::duration duration{}; // taking and giving back the blocks
    // The system's memory right before the first block was taken, after the last one was taken,
    // and right after they were all given back.
    platform::MemoryStatus before;
    platform::MemoryStatus peak;
    platform::MemoryStatus after;

    double seconds() const { return std::chrono::duration<double>(duration).count(); }
};

// What a wash asks of the windows, called from the worker thread in the order the wash needs.
// The calls marked "waits" return only once the interface thread has done them.
class WashWindows {
public:
    virtual ~WashWindows() = default;

    virtual bool mainWindowVisible() = 0; // waits
    virtual void setMainWindowEnabled(bool enabled) = 0;
    // The progress dialog's OnCancel; the callable stays safe to call after the wash has ended.
    virtual void setCancelTarget(std::function<void()> cancel) = 0;
    virtual void setBarPartsComplete(int parts) = 0;
    virtual void setBarTotal(int total) = 0;
    virtual void advanceBar() = 0;
    virtual void showProgress() = 0;    // waits
    virtual void repaintProgress() = 0; // waits
    virtual void closeProgress() = 0;   // waits
    virtual void showError(const std::string& message) = 0;
    virtual void reportUnexpected(std::exception_ptr error) = 0;
    // Runs `call` on the interface thread (waits); how the end notification reaches it.
    virtual void synchronize(const std::function<void()>& call) = 0;
};

// A wash without windows: nothing is visible, the end notification runs on the worker itself.
class NoWashWindows : public WashWindows {
public:
    bool mainWindowVisible() override { return false; }
    void setMainWindowEnabled(bool) override {}
    void setCancelTarget(std::function<void()>) override {}
    void setBarPartsComplete(int) override {}
    void setBarTotal(int) override {}
    void advanceBar() override {}
    void showProgress() override {}
    void repaintProgress() override {}
    void closeProgress() override {}
    void showError(const std::string&) override {}
    void reportUnexpected(std::exception_ptr error) override;
    void synchronize(const std::function<void()>& call) override { call(); }
};

class TRelocateThread {
public:
    // Created suspended: nothing runs before Start.
    TRelocateThread(int megabytes, std::shared_ptr<WashWindows> windows);
    ~TRelocateThread();
    TRelocateThread(const TRelocateThread&) = delete;
    TRelocateThread& operator=(const TRelocateThread&) = delete;

    // Runs on the interface thread (through WashWindows::synchronize) after the body returns.
    std::function<void(const WashResult&)> OnTerminate;
    // A worker that frees itself is destroyed right after its end notification; the others are
    // waited for (WaitFor) and destroyed by their owner.
    bool FreeOnTerminate = false;
    // Where the wash's report goes when it has ended; no log when empty.
    std::shared_ptr<WashLog> Log;

    void Start();
    void WaitFor();
    // Asks the wash to stop; it does so once the block in hand has been obtained.
    void CancelWash();
    bool Terminated() const { return stop_->load(std::memory_order_relaxed); }
    // The figures of the finished wash; read after WaitFor or in OnTerminate.
    const WashResult& result() const { return result_; }

    // For the program's end: asks every worker to stop and waits for those that free themselves.
    // Their windows must no longer wait for the interface thread, or this would never return.
    static void StopAll();
    static int liveWorkers();

private:
    void run();
    void Execute();
    // The allocation and release phases, under the lock.
    void washBlocks(bool visible);
    void allocate(WashBlocks& blocks, bool visible);
    void release(WashBlocks& blocks, bool visible);

    const int FMegabytes;
    std::shared_ptr<WashWindows> windows_;
    platform::BlockAllocator& allocator_;
    // Shared with the dialog's OnCancel, which may outlive the worker.
    std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
    WashResult result_;
    std::thread thread_;
    bool registered_ = false;      // in the list of live workers; guarded by that list's lock
    bool joinedByStopAll_ = false; // likewise
};

} // namespace brenvik
