#include "platform/HiveFile.h"
#include "platform/Registry.h"
#include "platform/XdgPaths.h"
#include "platform/linux/AutostartKeys.h"
#include "platform/linux/CpuUsageProvider.h"
#include "platform/linux/LinuxServices.h"
#include "platform/linux/OsRelease.h"

namespace brenvik::platform {

namespace {

constexpr const char* RunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* CurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

std::vector<std::filesystem::path> systemAutostartFolders() {
    std::vector<std::filesystem::path> folders;
    for (const auto& dir : xdg::configDirs())
        folders.push_back(dir / "autostart");
    return folders;
}

// The keys served from live Linux state instead of a hive, one line each.
void mountLiveKeys(Registry& registry) {
    const auto userAutostart = xdg::configHome() / "autostart";
    registry.mount(HKEY_CURRENT_USER, RunKey, std::make_shared<UserAutostartKey>(userAutostart));
    registry.mount(HKEY_LOCAL_MACHINE, RunKey,
                   std::make_shared<SystemAutostartKey>(userAutostart, systemAutostartFolders()));
    registry.mount(HKEY_LOCAL_MACHINE, CurrentVersionKey, std::make_shared<OsReleaseKey>());
    registry.mount(HKEY_DYN_DATA, CpuUsageKeyPath, std::make_shared<CpuUsageProvider>());
}

} // namespace

std::unique_ptr<Registry> makeLinuxRegistry() {
    auto registry = std::make_unique<Registry>();
    // The program does not run as administrator here, so the machine's keys are kept per user.
    const auto folder = xdg::appConfigDir();
    registry->setHive(
        HKEY_LOCAL_MACHINE,
        std::make_shared<HiveFile>(folder / "HKEY_LOCAL_MACHINE.reg", "HKEY_LOCAL_MACHINE"));
    registry->setHive(
        HKEY_CURRENT_USER,
        std::make_shared<HiveFile>(folder / "HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER"));
    mountLiveKeys(*registry);
    return registry;
}

} // namespace brenvik::platform
