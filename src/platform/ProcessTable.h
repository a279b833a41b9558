#pragma once

// The process table: snapshots, priority classes, memory figures, termination and icons.
// Priorities travel as Windows priority class values so that the process model and its texts
// stay the same on every system; the Linux table maps them to scheduling policies and nice values.

#include <cstdint>
#include <string>
#include <vector>

namespace brenvik::platform {

inline constexpr std::uint32_t NORMAL_PRIORITY_CLASS = 0x20;
inline constexpr std::uint32_t IDLE_PRIORITY_CLASS = 0x40;
inline constexpr std::uint32_t HIGH_PRIORITY_CLASS = 0x80;
inline constexpr std::uint32_t REALTIME_PRIORITY_CLASS = 0x100;
inline constexpr std::uint32_t BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
inline constexpr std::uint32_t ABOVE_NORMAL_PRIORITY_CLASS = 0x8000;

// One process of a snapshot (threads are not listed on their own).
struct ProcessEntry {
    std::uint32_t processId = 0;
    std::uint32_t threadCount = 0;
    // The full executable path where it can be read, otherwise the process's name; kernel
    // threads' names in brackets, as process listers show them.
    std::string exeFile;
    // When the process started, in the system's clock ticks. A PID is reused once its process
    // has ended; the PID with its start time names one process for good.
    std::uint64_t startTime = 0;
};

class ProcessTable {
public:
    // Results of terminate(): the system's error codes.
    static constexpr std::uint32_t Ended = 0;
    static constexpr std::uint32_t AccessDenied = 5;
    static constexpr std::uint32_t NoSuchProcess = 87;

    virtual ~ProcessTable() = default;

    // Every running process; one that ends while it is being read is left out.
    virtual std::vector<ProcessEntry> snapshot() = 0;
    // The full path of the process's executable; empty when it cannot be read.
    virtual std::string modulePath(std::uint32_t processId) = 0;
    // The priority class; 0 when it cannot be read.
    virtual std::uint32_t priorityClass(std::uint32_t processId) = 0;
    // The operations below act on the process a snapshot listed with that PID and start time,
    // never on a later process that has been given the same PID.

    // True when the process now runs the class. False when it is gone or the system refuses the
    // change; the process is then left as it was.
    virtual bool setPriorityClass(std::uint32_t processId, std::uint64_t startTime,
                                  std::uint32_t priorityClass) = 0;
    // Resident memory in bytes; 0 when it cannot be read.
    virtual std::uint64_t memoryUsage(std::uint32_t processId) = 0;
    // Ends the process at once: Ended, AccessDenied when the caller may not end it, another code
    // when it cannot be ended for another reason (NoSuchProcess when it has already ended).
    virtual std::uint32_t terminate(std::uint32_t processId, std::uint64_t startTime) = 0;
    // The second attempt of a denied termination, with the debug privilege held around it.
    // Systems without such a privilege answer false.
    virtual bool terminateWithDebugPrivilege(std::uint32_t processId, std::uint64_t startTime) = 0;
    // The path of the running program's own executable.
    virtual std::string ownExecutablePath() = 0;
    // The icon the desktop associates with an executable (a path, or a bare name when the path
    // is unknown): an icon-theme name or an image file path; empty when there is none.
    virtual std::string iconFor(const std::string& executable) = 0;
};

} // namespace brenvik::platform
