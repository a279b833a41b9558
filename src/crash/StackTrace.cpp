#include "crash/StackTrace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <dlfcn.h>
#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace brenvik::crash {

namespace {

constexpr int MaxFrames = 64;
// addr2line on a large library without an index can be slow; a report must not hang on it.
// The time is shared by all modules of one trace.
constexpr auto SymboliserTimeout = std::chrono::seconds(5);

struct Mapping {
    std::uintptr_t start = 0;
    std::uintptr_t end = 0;
    std::string path;
};

std::vector<Mapping> fileMappings() {
    std::vector<Mapping> mappings;
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        std::istringstream fields(line);
        std::string range, perms, offset, device, inode, path;
        fields >> range >> perms >> offset >> device >> inode;
        std::getline(fields >> std::ws, path);
        if (path.empty() || path.front() != '/')
            continue;
        const auto dash = range.find('-');
        if (dash == std::string::npos)
            continue;
        mappings.push_back({std::strtoull(range.substr(0, dash).c_str(), nullptr, 16),
                            std::strtoull(range.substr(dash + 1).c_str(), nullptr, 16), path});
    }
    return mappings;
}

std::string moduleOf(const std::vector<Mapping>& mappings, std::uintptr_t address) {
    for (const Mapping& mapping : mappings)
        if (address >= mapping.start && address < mapping.end)
            return mapping.path;
    return {};
}

// The address as addr2line wants it: relative to the load address for position-independent
// modules, as it is for fixed-address executables.
std::uintptr_t fileAddress(const Dl_info& info, std::uintptr_t address) {
    const auto* header = static_cast<const Elf64_Ehdr*>(info.dli_fbase);
    if (header != nullptr && std::memcmp(header->e_ident, ELFMAG, SELFMAG) == 0 &&
        header->e_type == ET_EXEC)
        return address;
    return address - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

// Runs addr2line over one module's addresses and returns its "function" and "file:line" pairs,
// or nothing when it is missing, fails or takes too long.
std::vector<std::pair<std::string, std::string>>
symbolise(const std::string& module, const std::vector<std::uintptr_t>& addresses,
          std::chrono::steady_clock::time_point deadline) {
    if (std::chrono::steady_clock::now() >= deadline)
        return {};
    std::vector<std::string> arguments{"addr2line", "-C", "-f", "-e", module};
    for (const std::uintptr_t address : addresses) {
        char text[32];
        std::snprintf(text, sizeof text, "0x%zx", static_cast<std::size_t>(address));
        arguments.emplace_back(text);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t child = 0;
    const int failed = posix_spawnp(&child, "addr2line", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (failed != 0) {
        close(output[0]);
        return {};
    }

    std::string text;
    bool finished = false;
    while (!finished) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd ready{output[0], POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buffer[4096];
        const ssize_t got = read(output[0], buffer, sizeof buffer);
        if (got <= 0)
            finished = got == 0;
        else
            text.append(buffer, static_cast<std::size_t>(got));
    }
    close(output[0]);
    if (!finished)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (!finished || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return {};

    std::vector<std::pair<std::string, std::string>> names;
    std::istringstream lines(text);
    std::string function, place;
    while (std::getline(lines, function) && std::getline(lines, place))
        names.emplace_back(function, place);
    if (names.size() != addresses.size())
        return {};
    return names;
}

} // namespace

std::vector<void*> captureFrames(int skip) {
    void* frames[MaxFrames + 1];
    const int count = backtrace(frames, MaxFrames + 1);
    const int first = std::min(count, 1 + std::max(skip, 0));
    return {frames + first, frames + count};
}

std::string demangle(const char* name) {
    if (name == nullptr)
        return {};
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(name, nullptr, nullptr, &status), &std::free);
    return status == 0 && readable ? std::string(readable.get()) : std::string(name);
}

std::vector<std::string> describeFrames(const std::vector<void*>& frames) {
    const std::vector<Mapping> mappings = fileMappings();
    struct Frame {
        std::string module;
        std::string function;
        std::string place;
    };
    std::vector<Frame> described(frames.size());
    // Per module: which frames it holds and their file addresses, for one addr2line run each.
    std::map<std::string, std::vector<std::pair<std::size_t, std::uintptr_t>>> byModule;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        auto address = reinterpret_cast<std::uintptr_t>(frames[i]);
        // A return address points after the call; the line wanted is the call's own.
        const std::uintptr_t lookup = i == 0 ? address : address - 1;
        described[i].module = moduleOf(mappings, lookup);
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(lookup), &info) == 0)
            continue;
        if (info.dli_sname != nullptr)
            described[i].function = demangle(info.dli_sname);
        if (described[i].module.empty() && info.dli_fname != nullptr)
            described[i].module = info.dli_fname;
        if (!described[i].module.empty())
            byModule[described[i].module].emplace_back(i, fileAddress(info, lookup));
    }
    const auto deadline = std::chrono::steady_clock::now() + SymboliserTimeout;
    for (const auto& [module, entries] : byModule) {
        std::vector<std::uintptr_t> addresses;
        for (const auto& entry : entries)
            addresses.push_back(entry.second);
        const auto names = symbolise(module, addresses, deadline);
        for (std::size_t k = 0; k < names.size(); ++k) {
            Frame& frame = described[entries[k].first];
            if (names[k].first != "??")
                frame.function = names[k].first;
            if (names[k].second.rfind("??", 0) != 0)
                frame.place = names[k].second;
        }
    }
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        char head[48];
        std::snprintf(head, sizeof head, "#%-2zu %p", i, frames[i]);
        std::string line = head;
        const Frame& frame = described[i];
        line += ' ' + (frame.function.empty() ? std::string("??") : frame.function);
        if (!frame.place.empty())
            line += " at " + frame.place;
        if (!frame.module.empty())
            line += " (" + frame.module + ')';
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace brenvik::crash
