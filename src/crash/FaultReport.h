#pragma once

// The report of one fault: what was raised, where, and the state of the program and the machine
// at that moment. Reports are plain text files in the program's state folder, one per fault.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace brenvik::crash {

// A report never grows beyond this, whatever the message or the number of modules.
inline constexpr std::size_t MaxReportBytes = 256 * 1024;
inline constexpr std::size_t MaxMessageBytes = 8 * 1024;
// The reports folder keeps this many of the newest reports; a fault that repeats every second
// must not fill the disk.
inline constexpr std::size_t MaxReportsKept = 50;

struct FaultDescription {
    std::string typeName;
    std::string message;
    std::vector<void*> frames;    // innermost first, where the fault arose
    bool framesFromThrow = false; // the frames are those of the throw, not of the handling site
};

// The report's text, gathered now: time, program, the exception, its stack, the loaded modules,
// the program's threads, the number of processes and the system's facts.
std::string composeReport(const FaultDescription& fault,
                          std::chrono::system_clock::time_point when);

// The folder that holds the reports: $XDG_STATE_HOME/brenvik/reports.
std::filesystem::path reportsFolder();

// Stores the text as a new file in the reports folder (made when missing), never replacing an
// existing report; the file appears whole or not at all. The oldest reports beyond the newest
// MaxReportsKept are removed. The path written, or empty on failure.
std::filesystem::path writeReport(const std::string& text,
                                  std::chrono::system_clock::time_point when);

// "report-YYYYMMDD-HHMMSS-PID-N.txt" for a time in seconds since 1970 (UTC). Allocation-free, so
// that the fatal-signal path can name its files the same way.
void formatReportName(char* out, std::size_t size, long long epochSeconds, long pid,
                      unsigned serial);

} // namespace brenvik::crash
