#pragma once

// What a wash really did: the memory figures right before its blocks were taken, at its peak and
// right after they were given back, and the wording users see in the tray and in brenvikctl.
//
// On Linux a wash mostly pushes the file cache out (free memory rises, available memory barely
// moves) and pushes idle programs' memory to swap where there is swap; the report says so rather
// than claiming the whole wash as "freed".

#include "platform/SystemStatus.h"

#include <cstdint>
#include <string>

namespace brenvik {

struct WashReport {
    enum class Stop { Completed, Cancelled, Reserve, Failed };

    std::int64_t endedAt = 0; // seconds since the epoch
    int requested = 0;        // megabytes asked for
    int obtained = 0;         // blocks actually taken
    Stop stop = Stop::Completed;
    double seconds = 0; // taking and giving back the blocks
    platform::MemoryStatus before;
    platform::MemoryStatus peak;
    platform::MemoryStatus after;

    // Signed changes from before to after, in bytes.
    std::int64_t cacheReleased() const;   // positive when the file cache shrank
    std::int64_t freeChange() const;      // unused memory
    std::int64_t availableChange() const; // what can be handed out without swapping
    std::int64_t swapChange() const;      // swap in use; positive when programs were swapped out
};

const char* washStopKey(WashReport::Stop stop);

struct WashResult;
// The report of a finished wash, ended now.
WashReport washReportOf(const WashResult& result);

// One line for a notification, e.g. "Washed 2048 MB in 1.1 s — 1.90 GB of cache released,
// available memory +12.00 MB".
std::string washReportText(const WashReport& report);
// The same report as one JSON object on one line (no line breaks), for the wash log and scripts.
std::string washReportJson(const WashReport& report);

} // namespace brenvik
