// brenvikctl wash N: one wash of N blocks through the program's own engine, without windows, and
// the report of what it really did. On a terminal a progress line follows the blocks; Ctrl+C
// cancels the wash as the progress dialog's Cancel does, so the blocks are still given back and
// reported.

#include "common/FileUtils.h"
#include "ctl/Commands.h"
#include "memory/RelThrd.h"
#include "memory/WashLog.h"
#include "memory/WashReport.h"
#include "platform/BlockAllocator.h"
#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace brenvik::ctl {

namespace {

constexpr std::uint64_t MiB = 1ull << 20;

std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + MiB / 2) / MiB) + " MB";
}

std::string signedSize(std::int64_t bytes) {
    return (bytes < 0 ? "-" : "+") +
           FormatSize(static_cast<double>(bytes < 0 ? -bytes : bytes), false);
}

void printText(std::ostream& out, const WashResult& result, const WashReport& report) {
    std::vector<std::pair<std::string, std::string>> rows{
        {"Blocks requested:", std::to_string(result.requested)},
        {"Blocks obtained:", std::to_string(result.obtained)},
        {"Ended by:", washStopName(result.stop)},
        {"Seconds:", std::to_string(result.seconds())},
        {"Available before:", megabytes(report.before.availPhys)},
        {"Available after:", megabytes(report.after.availPhys)},
        {"Free memory:", signedSize(report.freeChange())},
        {"File cache:", signedSize(-report.cacheReleased())},
        {"Swap in use:", signedSize(report.swapChange())},
    };
    if (result.rejected > 0)
        rows.emplace_back("Blocks not given back:", std::to_string(result.rejected));
    printAligned(out, rows);
    out << washReportText(report) << '\n';
}

void printJson(std::ostream& out, const WashResult& result, const WashReport& report) {
    const nlohmann::ordered_json json{
        {"requested", result.requested},
        {"obtained", result.obtained},
        {"released", result.released},
        {"rejected", result.rejected},
        {"endedBy", washStopName(result.stop)},
        {"seconds", result.seconds()},
        {"availableBefore", report.before.availPhys},
        {"availableAfter", report.after.availPhys},
        {"report", nlohmann::ordered_json::parse(washReportJson(report))},
        {"text", washReportText(report)},
    };
    ctl::printJson(out, json);
}

// Counts the blocks a wash takes and gives back, for the progress line; the blocks themselves come
// from the allocator it stands in front of.
class CountingAllocator : public platform::BlockAllocator {
public:
    explicit CountingAllocator(std::unique_ptr<platform::BlockAllocator> inner)
        : inner_(std::move(inner)) {}

    platform::BlockGrant obtain() override {
        const platform::BlockGrant grant = inner_->obtain();
        if (grant.block != nullptr)
            taken_.fetch_add(1, std::memory_order_relaxed);
        return grant;
    }
    bool release(std::byte* block) override {
        givenBack_.fetch_add(1, std::memory_order_relaxed);
        return inner_->release(block);
    }

    int taken() const { return taken_.load(std::memory_order_relaxed); }
    int givenBack() const { return givenBack_.load(std::memory_order_relaxed); }
    std::unique_ptr<platform::BlockAllocator> takeInner() { return std::move(inner_); }

private:
    std::unique_ptr<platform::BlockAllocator> inner_;
    std::atomic<int> taken_{0};
    std::atomic<int> givenBack_{0};
};

// Puts a counter in front of the platform's allocator for the lifetime of the object.
class CountedBlocks {
public:
    explicit CountedBlocks(platform::Platform& platform) : platform_(platform) {
        auto counter = std::make_unique<CountingAllocator>(std::move(platform.allocator));
        counter_ = counter.get();
        platform.allocator = std::move(counter);
    }
    ~CountedBlocks() { platform_.allocator = counter_->takeInner(); }
    CountedBlocks(const CountedBlocks&) = delete;
    CountedBlocks& operator=(const CountedBlocks&) = delete;

    const CountingAllocator& counts() const { return *counter_; }

private:
    platform::Platform& platform_;
    CountingAllocator* counter_;
};

// The wash's events for the waiting thread, through a pipe: an interrupt (written by the SIGINT
// handler, which may do nothing else) and the end of the wash (written by the worker).
class WashEvents {
public:
    static constexpr char Interrupt = 'i';
    static constexpr char Ended = 'e';

    WashEvents() {
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
            throw std::system_error(errno, std::generic_category(), "pipe");
        signalFd_.store(fds_[1]);
        struct sigaction action {};
        action.sa_handler = &WashEvents::onInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, &previous_);
    }
    ~WashEvents() {
        ::sigaction(SIGINT, &previous_, nullptr);
        signalFd_.store(-1);
        ::close(fds_[0]);
        ::close(fds_[1]);
    }
    WashEvents(const WashEvents&) = delete;
    WashEvents& operator=(const WashEvents&) = delete;

    void post(char event) { [[maybe_unused]] const auto written = ::write(fds_[1], &event, 1); }

    // Waits up to `timeout` (forever when negative) and returns the events that came.
    std::string wait(std::chrono::milliseconds timeout) {
        pollfd ready{fds_[0], POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(timeout.count()));
        std::string events;
        char buffer[64];
        for (ssize_t got; (got = ::read(fds_[0], buffer, sizeof buffer)) > 0;)
            events.append(buffer, static_cast<std::size_t>(got));
        return events;
    }

private:
    static void onInterrupt(int) {
        const int savedErrno = errno;
        const char event = Interrupt;
        if (const int fd = signalFd_.load(); fd >= 0) {
            [[maybe_unused]] const auto written = ::write(fd, &event, 1);
        }
        errno = savedErrno;
    }

    static inline std::atomic<int> signalFd_{-1};
    int fds_[2]{-1, -1};
    struct sigaction previous_ {};
};

// One line on standard error, rewritten in place at most ten times a second and wiped before the
// report. Only blanks and carriage returns: any terminal shows that right.
class ProgressLine {
public:
    static constexpr std::chrono::milliseconds Period{100};

    explicit ProgressLine(std::ostream& err) : err_(err) {}

    void show(const CountingAllocator& blocks, int requested, bool cancelling) {
        // Giving back cannot be cancelled: only the taking offers it.
        const int givenBack = blocks.givenBack();
        const std::string text = givenBack == 0
                                     ? "Taking blocks: " + std::to_string(blocks.taken()) + " of " +
                                           std::to_string(requested) +
                                           (cancelling ? "  (cancelling)" : "  (Ctrl+C cancels)")
                                     : "Giving back blocks: " + std::to_string(givenBack) + " of " +
                                           std::to_string(blocks.taken());
        if (text == shown_)
            return;
        write(text);
    }
    void clear() {
        if (!shown_.empty())
            write({});
    }

private:
    void write(const std::string& text) {
        const std::size_t width = std::max(text.size(), shown_.size());
        err_ << '\r' << text << std::string(width - text.size(), ' ');
        if (text.empty())
            err_ << '\r';
        err_.flush();
        shown_ = text;
    }

    std::ostream& err_;
    std::string shown_;
};

} // namespace

int runWash(Invocation& call) {
    if (call.args.size() != 1)
        return 2;
    const std::string& word = call.args.front();
    int megabytes = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), megabytes);
    if (error != std::errc() || end != word.data() + word.size() || megabytes < 0) {
        call.err << "brenvikctl: wash: not a number of megabytes: '" << word << "'\n";
        return 2;
    }

    const CountedBlocks blocks(platform::current());
    WashEvents events;
    TRelocateThread worker(megabytes, std::make_shared<NoWashWindows>());
    worker.Log = std::make_shared<WashLog>();
    worker.OnTerminate = [&events](const WashResult&) { events.post(WashEvents::Ended); };
    worker.Start();
    {
        std::optional<ProgressLine> progress;
        if (call.errIsTerminal)
            progress.emplace(call.err);
        for (bool ended = false, cancelling = false; !ended;) {
            if (progress)
                progress->show(blocks.counts(), megabytes, cancelling);
            const std::string happened =
                events.wait(progress ? ProgressLine::Period : std::chrono::milliseconds(-1));
            if (happened.find(WashEvents::Interrupt) != std::string::npos && !cancelling) {
                worker.CancelWash();
                cancelling = true;
            }
            ended = happened.find(WashEvents::Ended) != std::string::npos;
        }
        if (progress)
            progress->clear();
    }
    worker.WaitFor();
    const WashResult& result = worker.result();
    const WashReport report = washReportOf(result);

    if (call.json)
        printJson(call.out, result, report);
    else
        printText(call.out, result, report);
    return result.rejected > 0 ? 1 : 0;
}

} // namespace brenvik::ctl
