#pragma once

// The one place that knows the operating system. Models reach every system service through
// platform::current(); the Linux services are installed on first use, tests install fakes with
// ScopedPlatform.

#include <memory>

namespace brenvik::platform {

class Registry;
class SystemStatus;
class ProcessTable;
class BlockAllocator;
class Processor;
class SpecialFolders;
class Shell;

struct Platform {
    Platform();
    ~Platform();
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    std::unique_ptr<Registry> registry;         // stored hives and live keys
    std::unique_ptr<SystemStatus> system;       // memory, clock, version record, processor times
    std::unique_ptr<ProcessTable> processes;    // snapshots, priority, termination, icons
    std::unique_ptr<BlockAllocator> allocator;  // the wash's one-megabyte blocks
    std::unique_ptr<Processor> processor;       // CPUID, time-stamp and performance counters
    std::unique_ptr<SpecialFolders> folders;    // well-known folders of the user and the system
    std::unique_ptr<Shell> shell;               // open, explore and start programs
};

// The installed platform; the Linux one is built on first use when none was installed.
Platform& current();

// Builds every Linux service.
std::unique_ptr<Platform> makeLinuxPlatform();

// Installs a platform for the lifetime of the object and restores the previous one after.
class ScopedPlatform {
public:
    explicit ScopedPlatform(Platform& platform);
    ~ScopedPlatform();
    ScopedPlatform(const ScopedPlatform&) = delete;
    ScopedPlatform& operator=(const ScopedPlatform&) = delete;

private:
    Platform* previous_;
};

} // namespace brenvik::platform
