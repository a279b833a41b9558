#include "memory/RelThrd.h"

#include "memory/WashLog.h"
#include "memory/WashReport.h"
#include "platform/BlockAllocator.h"
#include "platform/Platform.h"
#include "platform/SystemStatus.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <iostream>
#include <vector>

namespace brenvik {

using platform::BlockRefusal;
using platform::WashBlockSize;

std::mutex WashLock;

namespace {

struct WorkerList {
    std::mutex mutex;
    std::vector<TRelocateThread*> workers;
};

// Never destroyed: a worker that frees itself may still be leaving the list while the program
// exits.
WorkerList& workerList() {
    static auto* list = new WorkerList;
    return *list;
}

using Clock = std::chrono::steady_clock;

} // namespace

const char* washStopName(WashStop stop) {
    switch (stop) {
    case WashStop::Completed:
        return "completed";
    case WashStop::Cancelled:
        return "cancelled";
    case WashStop::Reserve:
        return "safety reserve";
    case WashStop::Failed:
        return "block refused";
    }
    return "";
}

void NoWashWindows::reportUnexpected(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        std::cerr << "brenvik: unexpected error in a wash: " << e.what() << '\n';
    } catch (...) {
        std::cerr << "brenvik: unexpected error in a wash\n";
    }
}

// The block list of one wash: N slots sized once, and whatever is still held is given back when
// the list goes, so that no path out of a wash keeps memory.
class WashBlocks {
public:
    WashBlocks(platform::BlockAllocator& allocator, int slots) : allocator_(allocator) {
        blocks_.reserve(static_cast<std::size_t>(slots));
    }
    ~WashBlocks() {
        for (std::size_t i = next_; i < blocks_.size(); ++i)
            allocator_.release(blocks_[i]);
    }
    WashBlocks(const WashBlocks&) = delete;
    WashBlocks& operator=(const WashBlocks&) = delete;

    void add(std::byte* block) { blocks_.push_back(block); }
    int count() const { return static_cast<int>(blocks_.size()); }
    // Gives back the oldest block still held; false when the allocator rejected it.
    bool releaseNext() { return allocator_.release(blocks_[next_++]); }
    bool empty() const { return next_ == blocks_.size(); }

private:
    platform::BlockAllocator& allocator_;
    std::vector<std::byte*> blocks_;
    std::size_t next_ = 0;
};

TRelocateThread::TRelocateThread(int megabytes, std::shared_ptr<WashWindows> windows)
    : FMegabytes(std::max(megabytes, 0)), windows_(std::move(windows)),
      allocator_(*platform::current().allocator) {
    result_.requested = FMegabytes;
}

TRelocateThread::~TRelocateThread() {
    if (thread_.joinable())
        thread_.join();
    WorkerList& list = workerList();
    std::lock_guard lock(list.mutex);
    if (registered_)
        std::erase(list.workers, this);
}

void TRelocateThread::Start() {
    WorkerList& list = workerList();
    std::lock_guard lock(list.mutex);
    thread_ = std::thread(&TRelocateThread::run, this);
    list.workers.push_back(this);
    registered_ = true;
}

void TRelocateThread::WaitFor() {
    if (thread_.joinable())
        thread_.join();
}

void TRelocateThread::CancelWash() {
    stop_->store(true, std::memory_order_relaxed);
}

void TRelocateThread::StopAll() {
    WorkerList& list = workerList();
    std::vector<TRelocateThread*> ending;
    {
        std::lock_guard lock(list.mutex);
        for (TRelocateThread* worker : list.workers) {
            worker->CancelWash();
            if (worker->FreeOnTerminate && !worker->joinedByStopAll_) {
                worker->joinedByStopAll_ = true;
                ending.push_back(worker);
            }
        }
    }
    for (TRelocateThread* worker : ending)
        delete worker; // joins it
}

int TRelocateThread::liveWorkers() {
    WorkerList& list = workerList();
    std::lock_guard lock(list.mutex);
    return static_cast<int>(list.workers.size());
}

void TRelocateThread::run() {
    try {
        Execute();
    } catch (...) {
        windows_->reportUnexpected(std::current_exception());
    }
    if (Log && !Log->append(washReportOf(result_)))
        std::cerr << "brenvik: the wash log " << Log->file() << " cannot be written\n";
    if (OnTerminate) {
        try {
            // By copy: the notification may end the program, which destroys this worker before
            // the notification has returned.
            windows_->synchronize([notify = OnTerminate, result = result_] { notify(result); });
        } catch (...) {
            windows_->reportUnexpected(std::current_exception());
        }
    }
    if (!FreeOnTerminate)
        return;
    WorkerList& list = workerList();
    std::unique_lock lock(list.mutex);
    if (joinedByStopAll_)
        return; // StopAll joins and destroys this worker
    std::erase(list.workers, this);
    registered_ = false;
    thread_.detach();
    lock.unlock();
    delete this;
}

void TRelocateThread::Execute() {
    const bool visible = windows_->mainWindowVisible();
    std::unique_lock lock(WashLock, std::defer_lock);
    // Whatever fails from here on, the window is enabled, the dialog closed and the lock freed
    // before the failure goes on to be reported.
    std::exception_ptr failure;
    try {
        if (visible) {
            windows_->setCancelTarget(
                [stop = stop_] { stop->store(true, std::memory_order_relaxed); });
            windows_->setMainWindowEnabled(false);
            windows_->setBarPartsComplete(0);
            windows_->showProgress();
            windows_->repaintProgress();
        }
        const Clock::time_point asked = Clock::now();
        lock.lock();
        const Clock::time_point began = Clock::now();
        result_.waited = began - asked;
        washBlocks(visible);
        result_.duration = Clock::now() - began;
    } catch (...) {
        failure = std::current_exception();
    }

    // Also when the wash was hidden and nothing disabled the window: a visible wash that started
    // before may have.
    windows_->setMainWindowEnabled(true);
    if (visible)
        windows_->closeProgress();
    if (lock.owns_lock())
        lock.unlock();
    if (failure)
        std::rethrow_exception(failure);
}

void TRelocateThread::washBlocks(bool visible) {
    if (visible)
        windows_->setBarTotal(2 * FMegabytes);
    platform::SystemStatus& system = *platform::current().system;
    // The block list gives back whatever it still holds when it goes, so a failure anywhere
    // below keeps no memory.
    WashBlocks blocks(allocator_, FMegabytes);
    result_.before = system.memoryStatus();
    std::exception_ptr failure;
    try {
        allocate(blocks, visible);
    } catch (...) {
        failure = std::current_exception();
    }
    result_.peak = system.memoryStatus();
    // Whatever ended the allocation phase, everything obtained is given back.
    release(blocks, visible);
    result_.after = system.memoryStatus();
    if (failure)
        std::rethrow_exception(failure);
}

void TRelocateThread::allocate(WashBlocks& blocks, bool visible) {
    for (int i = 0; i < FMegabytes; ++i) {
        const platform::BlockGrant grant = allocator_.obtain();
        if (grant.block == nullptr) {
            result_.stop =
                grant.refusal == BlockRefusal::Reserve ? WashStop::Reserve : WashStop::Failed;
            return;
        }
        std::memset(grant.block, 0, WashBlockSize);
        blocks.add(grant.block);
        result_.obtained = blocks.count();
        if (visible)
            windows_->advanceBar();
        if (Terminated()) {
            result_.stop = WashStop::Cancelled;
            if (visible)
                windows_->setBarPartsComplete(FMegabytes);
            return;
        }
    }
}

void TRelocateThread::release(WashBlocks& blocks, bool visible) {
    // A rejected block is reported once, and the others are still given back: stopping there
    // would keep them for the rest of the run.
    while (!blocks.empty()) {
        if (blocks.releaseNext()) {
            ++result_.released;
            if (visible)
                windows_->advanceBar();
        } else if (result_.rejected++ == 0) {
            windows_->showError("Invalid pointer operation");
        }
    }
}

} // namespace brenvik
