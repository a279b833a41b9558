#include "fakes/FakePlatform.h"

namespace brenvik::test {

using namespace platform;

FakeSystemStatus::FakeSystemStatus() {
    memory.totalPhys = 2048ull << 20;
    memory.availPhys = 1024ull << 20;
    memory.totalPageFile = 4096ull << 20;
    memory.availPageFile = 3072ull << 20;
    memory.freePhys = 512ull << 20;
    memory.cached = 256ull << 20;
    memory.swapTotal = 2048ull << 20;
    memory.swapFree = 2048ull << 20;
    version.platformId = VER_PLATFORM_LINUX;
    version.majorVersion = 6;
    version.minorVersion = 1;
    version.buildNumber = 0;
}

FakePlatform::FakePlatform() {
    registry = std::make_unique<Registry>();
    registry->setHive(HKEY_CURRENT_USER, std::make_shared<Hive>());
    registry->setHive(HKEY_LOCAL_MACHINE, std::make_shared<Hive>());
    system = std::make_unique<FakeSystemStatus>();
    processes = std::make_unique<FakeProcessTable>();
    allocator = std::make_unique<FakeBlockAllocator>();
    processor = std::make_unique<FakeProcessor>();
    folders = std::make_unique<FakeSpecialFolders>();
    shell = std::make_unique<FakeShell>();
}

} // namespace brenvik::test
