#include "platform/Platform.h"

#include "platform/BlockAllocator.h"
#include "platform/ProcessTable.h"
#include "platform/Processor.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SpecialFolders.h"
#include "platform/SystemStatus.h"
#include "platform/linux/LinuxServices.h"


namespace brenvik::platform {

Platform::Platform() = default;
Platform::~Platform() = default;

namespace {

Platform* installed = nullptr;

Platform& linuxPlatform() {
    static std::unique_ptr<Platform> platform = makeLinuxPlatform();
    return *platform;
}

} // namespace

Platform& current() {
    if (installed)
        return *installed;
    return linuxPlatform();
}

std::unique_ptr<Platform> makeLinuxPlatform() {
    auto platform = std::make_unique<Platform>();
    platform->registry = makeLinuxRegistry();
    platform->system = makeLinuxSystemStatus();
    platform->processes = makeLinuxProcessTable();
    platform->allocator = makeLinuxBlockAllocator();
    platform->processor = makeLinuxProcessor();
    platform->folders = makeLinuxSpecialFolders();
    platform->shell = makeLinuxShell();
    return platform;
}

ScopedPlatform::ScopedPlatform(Platform& platform) : previous_(installed) { installed = &platform; }

ScopedPlatform::~ScopedPlatform() { installed = previous_; }

} // namespace brenvik::platform
