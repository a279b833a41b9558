#pragma once

// An in-memory platform for tests: registry hives in memory, a system status whose figures the
// test sets, a shell that records what it was asked to start.

#include "fakes/FakeBlockAllocator.h"
#include "fakes/FakeProcessTable.h"
#include "fakes/FakeProcessor.h"
#include "fakes/FakeSpecialFolders.h"
#include "platform/BlockAllocator.h"
#include "platform/Platform.h"
#include "platform/ProcessTable.h"
#include "platform/Processor.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SpecialFolders.h"
#include "platform/SystemStatus.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace brenvik::test {

class FakeSystemStatus : public platform::SystemStatus {
public:
    platform::MemoryStatus memory;
    std::uint64_t ticks = 0;
    platform::OsVersionRecord version;
    std::vector<platform::ProcessorTimes> times;
    std::uint32_t processors = 2;
    std::filesystem::path program = "/opt/brenvik/brenvik";
    int memoryReads = 0;

    FakeSystemStatus();
    platform::MemoryStatus memoryStatus() override {
        ++memoryReads;
        return memory;
    }
    std::uint64_t tickCount() override { return ticks; }
    platform::OsVersionRecord versionRecord() override { return version; }
    std::vector<platform::ProcessorTimes> processorTimes() override { return times; }
    std::uint32_t processorCount() override { return processors; }
    std::filesystem::path programPath() override { return program; }
};

class FakeShell : public platform::Shell {
public:
    struct Call {
        std::string verb;
        std::string file;
        std::string parameters;
        std::filesystem::path directory;
    };
    std::vector<Call> calls;
    bool result = true;
    std::map<std::string, std::filesystem::path, std::less<>> programs; // on the PATH, by name
    std::set<std::string, std::less<>> handledTypes;                    // MIME types with a handler

    bool execute(std::string_view verb, const std::string& file, const std::string& parameters,
                 const std::filesystem::path& directory) override {
        calls.push_back({std::string(verb), file, parameters, directory});
        return result;
    }
    std::filesystem::path findProgram(std::string_view name) override {
        const auto found = programs.find(name);
        return found == programs.end() ? std::filesystem::path() : found->second;
    }
    bool hasHandlerFor(std::string_view mimeType) override {
        return handledTypes.find(mimeType) != handledTypes.end();
    }
};

class FakePlatform : public platform::Platform {
public:
    FakePlatform();

    FakeSystemStatus& fakeSystem() { return static_cast<FakeSystemStatus&>(*system); }
    FakeShell& fakeShell() { return static_cast<FakeShell&>(*shell); }
    FakeProcessor& fakeProcessor() { return static_cast<FakeProcessor&>(*processor); }
    FakeSpecialFolders& fakeFolders() { return static_cast<FakeSpecialFolders&>(*folders); }
    FakeProcessTable& fakeProcesses() { return static_cast<FakeProcessTable&>(*processes); }
    FakeBlockAllocator& fakeAllocator() { return static_cast<FakeBlockAllocator&>(*allocator); }
};

// Installs a fresh FakePlatform for a test's lifetime.
class FakePlatformScope {
public:
    FakePlatformScope() : scope_(platform_) {}
    FakePlatform& operator*() { return platform_; }
    FakePlatform* operator->() { return &platform_; }

private:
    FakePlatform platform_;
    platform::ScopedPlatform scope_;
};

} // namespace brenvik::test
