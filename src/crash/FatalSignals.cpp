#include "crash/FatalSignals.h"

#include "crash/FaultReport.h"
#include "platform/Platform.h"
#include "platform/SystemStatus.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <filesystem>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace brenvik::crash {

namespace {

constexpr std::array<int, 5> FatalSignals{SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int MaxFrames = 64;
constexpr std::size_t MaxMapsBytes = 64 * 1024;

// Everything the handler reads is ready before a signal can arrive.
std::atomic<int> folderFd{-1};
char header[2048];
std::size_t headerLength = 0;
alignas(16) char alternateStack[64 * 1024];
volatile sig_atomic_t handling = 0;

void writeAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t wrote = write(fd, data, length);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0)
            return;
        data += wrote;
        length -= static_cast<std::size_t>(wrote);
    }
}

void writeText(int fd, const char* text) {
    writeAll(fd, text, std::strlen(text));
}

void writeNumber(int fd, unsigned long long value, int base = 10) {
    char digits[32];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[value % static_cast<unsigned>(base)];
        value /= static_cast<unsigned>(base);
    } while (value != 0);
    char text[34];
    int length = 0;
    if (base == 16) {
        text[length++] = '0';
        text[length++] = 'x';
    }
    while (count > 0)
        text[length++] = digits[--count];
    writeAll(fd, text, static_cast<std::size_t>(length));
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

int openReport(int folder, long long seconds) {
    for (unsigned serial = 1; serial <= 1000; ++serial) {
        char name[96];
        formatReportName(name, sizeof name, seconds, static_cast<long>(getpid()), serial);
        const int fd = openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void copyMaps(int fd) {
    const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0)
        return;
    char buffer[4096];
    std::size_t copied = 0;
    ssize_t got = 0;
    while (copied < MaxMapsBytes && (got = read(maps, buffer, sizeof buffer)) > 0) {
        writeAll(fd, buffer, static_cast<std::size_t>(got));
        copied += static_cast<std::size_t>(got);
    }
    close(maps);
}

void onFatalSignal(int signal, siginfo_t* info, void*) {
    const int folder = folderFd.load();
    if (handling == 0 && folder >= 0) {
        handling = 1;
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        const int fd = openReport(folder, now.tv_sec);
        if (fd >= 0) {
            writeAll(fd, header, headerLength);
            writeText(fd, "Time: ");
            writeNumber(fd, static_cast<unsigned long long>(now.tv_sec));
            writeText(fd, " seconds since 1970 (UTC)\nThread: ");
            writeNumber(fd, static_cast<unsigned long long>(syscall(SYS_gettid)));
            writeText(fd, "\nSignal: ");
            writeText(fd, signalName(signal));
            writeText(fd, " (");
            writeNumber(fd, static_cast<unsigned long long>(signal));
            writeText(fd, "), code ");
            writeNumber(fd, static_cast<unsigned long long>(info != nullptr ? info->si_code : 0));
            // Only a fault the kernel raised has an address; a sent signal carries the sender
            // there.
            if (info != nullptr && info->si_code > 0 && signal != SIGABRT) {
                writeText(fd, ", address ");
                writeNumber(fd, reinterpret_cast<std::uintptr_t>(info->si_addr), 16);
            }
            writeText(fd, "\n\nStack trace:\n");
            void* frames[MaxFrames];
            const int count = backtrace(frames, MaxFrames);
            backtrace_symbols_fd(frames, count, fd);
            writeText(fd, "\nModules:\n");
            copyMaps(fd);
            close(fd);
        }
    }
    // Let the default action end the process, with its core dump where the system keeps them.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);
}

void prepareHeader() {
    utsname names{};
    uname(&names);
    const std::time_t started = std::time(nullptr);
    std::tm parts{};
    localtime_r(&started, &parts);
    char startedText[64];
    std::strftime(startedText, sizeof startedText, "%Y-%m-%d %H:%M:%S %z", &parts);
    const std::string program = platform::current().system->programPath().string();
    const int length =
        std::snprintf(header, sizeof header,
                      "Brenvik fatal error report\nProgram: Brenvik %s (%s), process %ld\n"
                      "Started: %s\nKernel: %s %s %s\n",
                      BRENVIK_VERSION, program.c_str(), static_cast<long>(getpid()), startedText,
                      names.sysname, names.release, names.machine);
    headerLength = length < 0 ? 0 : std::min(static_cast<std::size_t>(length), sizeof header - 1);
}

} // namespace

bool installFatalSignalHandlers() {
    const std::filesystem::path folder = reportsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    fchmod(fd, 0700);
    prepareHeader();
    // backtrace() loads the unwinder on its first call, which must not happen inside a handler.
    void* warmUp[1];
    backtrace(warmUp, 1);
    const int previous = folderFd.exchange(fd);
    if (previous >= 0)
        close(previous);

    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = onFatalSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal : FatalSignals)
        sigaction(signal, &action, nullptr);
    return true;
}

} // namespace brenvik::crash
