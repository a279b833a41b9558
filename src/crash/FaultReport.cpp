#include "crash/FaultReport.h"

#include "crash/StackTrace.h"
#include "platform/Platform.h"
#include "platform/SystemStatus.h"
#include "platform/XdgPaths.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace brenvik::crash {

namespace {

constexpr std::size_t MaxModuleBytes = 64 * 1024;
constexpr std::size_t MaxThreadsListed = 256;
const char* const Truncated = "\n[report truncated]\n";

std::string firstLineOf(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

std::string distribution() {
    std::ifstream release("/etc/os-release");
    std::string line;
    const std::string key = "PRETTY_NAME=";
    while (std::getline(release, line)) {
        if (line.rfind(key, 0) != 0)
            continue;
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return "unknown";
}

std::string localTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    localtime_r(&seconds, &parts);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %z", &parts);
    return text;
}

void appendModules(std::ostringstream& out) {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    std::set<std::string> seen;
    std::size_t written = 0;
    while (std::getline(maps, line)) {
        const auto slash = line.find('/');
        if (slash == std::string::npos)
            continue;
        const std::string path = line.substr(slash);
        if (!seen.insert(path).second)
            continue;
        const std::string entry = "  " + line.substr(0, line.find(' ')) + ' ' + path + '\n';
        if (written + entry.size() > MaxModuleBytes) {
            out << "  [more modules left out]\n";
            return;
        }
        out << entry;
        written += entry.size();
    }
}

void appendThreads(std::ostringstream& out) {
    std::error_code error;
    std::vector<std::string> lines;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string id = task.path().filename().string();
        std::string state = firstLineOf(task.path() / "stat");
        // The state letter follows the name in parentheses, which may itself hold blanks.
        const auto close = state.rfind(')');
        state = close != std::string::npos && close + 2 < state.size() ? state.substr(close + 2, 1)
                                                                       : "?";
        lines.push_back("  " + id + ' ' + firstLineOf(task.path() / "comm") + " (" + state + ")");
    }
    out << "Threads (" << lines.size() << "):\n";
    for (std::size_t i = 0; i < lines.size() && i < MaxThreadsListed; ++i)
        out << lines[i] << '\n';
    if (lines.size() > MaxThreadsListed)
        out << "  [more threads left out]\n";
}

std::size_t processCount() {
    std::error_code error;
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos)
            ++count;
    }
    return count;
}

std::string megabytes(std::uint64_t bytes) {
    return std::to_string(bytes >> 20) + " MB";
}

void appendSystem(std::ostringstream& out) {
    out << "System:\n";
    utsname names{};
    if (uname(&names) == 0)
        out << "  Kernel: " << names.sysname << ' ' << names.release << ' ' << names.version << ' '
            << names.machine << '\n';
    out << "  Distribution: " << distribution() << '\n';
    const platform::MemoryStatus memory = platform::current().system->memoryStatus();
    out << "  Physical memory: " << megabytes(memory.totalPhys) << " total, "
        << megabytes(memory.availPhys) << " available\n";
    out << "  Commit limit: " << megabytes(memory.totalPageFile) << " total, "
        << megabytes(memory.availPageFile) << " available\n";
    out << "  Swap: " << megabytes(memory.swapTotal) << " total, " << megabytes(memory.swapFree)
        << " free\n";
    out << "  Processors: " << platform::current().system->processorCount() << '\n';
}

void appendDecimal(char*& cursor, const char* end, unsigned long long value, int width) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < 24);
    while (count < width && count < 24)
        digits[count++] = '0';
    while (count > 0 && cursor < end)
        *cursor++ = digits[--count];
}

void appendText(char*& cursor, const char* end, const char* text) {
    while (*text != '\0' && cursor < end)
        *cursor++ = *text++;
}

} // namespace

std::string composeReport(const FaultDescription& fault,
                          std::chrono::system_clock::time_point when) {
    std::ostringstream out;
    out << "Brenvik error report\n";
    out << "Time: " << localTime(when) << '\n';
    out << "Program: Brenvik " << BRENVIK_VERSION << " ("
        << platform::current().system->programPath().string() << "), process " << getpid() << '\n';
    out << "Thread: " << gettid() << '\n';
    out << "Exception: " << fault.typeName << '\n';
    std::string message = fault.message;
    if (message.size() > MaxMessageBytes)
        message = message.substr(0, MaxMessageBytes) + " [message truncated]";
    out << "Message: " << message << "\n\n";

    out << (fault.framesFromThrow ? "Stack trace (where it was thrown):\n"
                                  : "Stack trace (where it was handled):\n");
    for (const std::string& line : describeFrames(fault.frames))
        out << "  " << line << '\n';
    if (fault.frames.empty())
        out << "  [no frames]\n";
    out << '\n';

    out << "Modules:\n";
    appendModules(out);
    out << '\n';
    appendThreads(out);
    out << "\nProcesses: " << processCount() << "\n\n";
    appendSystem(out);

    std::string text = out.str();
    if (text.size() > MaxReportBytes) {
        const std::size_t marker = std::char_traits<char>::length(Truncated);
        text.resize(MaxReportBytes - marker);
        text += Truncated;
    }
    return text;
}

std::filesystem::path reportsFolder() {
    return platform::xdg::appStateDir() / "reports";
}

void formatReportName(char* out, std::size_t size, long long epochSeconds, long pid,
                      unsigned serial) {
    if (size == 0)
        return;
    char* cursor = out;
    const char* end = out + size - 1;
    // Civil date from days since 1970 (proleptic Gregorian), without the C library's time calls.
    long long days = epochSeconds / 86400;
    long long secondOfDay = epochSeconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthIndex = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    const long long month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    appendText(cursor, end, "report-");
    appendDecimal(cursor, end, static_cast<unsigned long long>(year), 4);
    appendDecimal(cursor, end, static_cast<unsigned long long>(month), 2);
    appendDecimal(cursor, end, static_cast<unsigned long long>(day), 2);
    appendText(cursor, end, "-");
    appendDecimal(cursor, end, static_cast<unsigned long long>(secondOfDay / 3600), 2);
    appendDecimal(cursor, end, static_cast<unsigned long long>(secondOfDay / 60 % 60), 2);
    appendDecimal(cursor, end, static_cast<unsigned long long>(secondOfDay % 60), 2);
    appendText(cursor, end, "-");
    appendDecimal(cursor, end, static_cast<unsigned long long>(pid), 1);
    appendText(cursor, end, "-");
    appendDecimal(cursor, end, serial, 1);
    appendText(cursor, end, ".txt");
    *cursor = '\0';
}

namespace {

// Removes the oldest reports so that the folder holds at most MaxReportsKept; `kept` stays.
void removeOldReports(const std::filesystem::path& folder, const std::filesystem::path& kept) {
    struct Report {
        std::filesystem::file_time_type written;
        std::filesystem::path path;
    };
    std::vector<Report> reports;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("report-", 0) != 0 || entry.path().extension() != ".txt")
            continue;
        std::error_code timeError;
        const auto written = entry.last_write_time(timeError);
        if (!timeError)
            reports.push_back({written, entry.path()});
    }
    if (reports.size() <= MaxReportsKept)
        return;
    // Newest first; the same time is told apart by the name, whose serial grows.
    std::sort(reports.begin(), reports.end(), [](const Report& a, const Report& b) {
        if (a.written != b.written)
            return a.written > b.written;
        const std::string x = a.path.filename().string(), y = b.path.filename().string();
        return x.size() != y.size() ? x.size() > y.size() : x > y;
    });
    for (std::size_t i = MaxReportsKept; i < reports.size(); ++i)
        if (reports[i].path != kept)
            std::filesystem::remove(reports[i].path, error);
}

} // namespace

std::filesystem::path writeReport(const std::string& text,
                                  std::chrono::system_clock::time_point when) {
    const std::filesystem::path folder = reportsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!std::filesystem::is_directory(folder, error))
        return {};
    chmod(folder.c_str(), 0700);

    // Written whole under a temporary name, then linked to a free final name: link() refuses
    // to replace, so an earlier report is never overwritten.
    std::string temporary = (folder / ".report-XXXXXX").string();
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return {};
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = write(fd, text.data() + done, text.size() - done);
        if (wrote <= 0)
            break;
        done += static_cast<std::size_t>(wrote);
    }
    const bool complete = done == text.size() && fsync(fd) == 0;
    close(fd);
    std::filesystem::path written;
    if (complete) {
        const long long seconds =
            std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
        for (unsigned serial = 1; serial <= 1000 && written.empty(); ++serial) {
            char name[96];
            formatReportName(name, sizeof name, seconds, getpid(), serial);
            const std::filesystem::path target = folder / name;
            if (link(temporary.c_str(), target.c_str()) == 0)
                written = target;
            else if (errno != EEXIST)
                break;
        }
    }
    unlink(temporary.c_str());
    if (!written.empty())
        removeOldReports(folder, written);
    return written;
}

} // namespace brenvik::crash
