#pragma once

// The one in-memory copy of the preferences: read once at start-up (writing a default for every
// value that is missing), then written through to the settings key by every setter.

#include "platform/Registry.h"
#include "platform/TRegistry.h"

#include <cstdint>
#include <memory>
#include <string>

namespace brenvik {

// The settings key under HKEY_LOCAL_MACHINE.
inline constexpr const char* SettingsKeyPath = "Software\\Orlevo\\Brenvik\\Settings";
// The current user's key whose values start programs at log-on, and the program's value there.
inline constexpr const char* RunKeyPath = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr const char* RunValueName = "Brenvik";

class TSettings {
public:
    TSettings();

    void SetRootKey(platform::HKEY root);
    void SetKeyPath(const std::string& path);
    void Load();

    bool LoadBVSystemTray() const { return FLoadBVSystemTray; }
    bool CloseBVAfterWash() const { return FCloseBVAfterWash; }
    bool CleanMemWhenMemReach() const { return FCleanMemWhenMemReach; }
    bool CleanMemoryOnTimer() const { return FCleanMemoryOnTimer; }
    bool ShowSplashOnStartup() const { return FShowSplashOnStartup; }
    std::int32_t AutoRefreshTimerInt() const { return FAutoRefreshTimerInt; }
    std::int32_t CleanMemoryEveryMinute() const { return FCleanMemoryEveryMinute; }
    std::int32_t CleanMemoryOnMemLimit() const { return FCleanMemoryOnMemLimit; }
    bool RunAtStartup() const { return FRunAtStartup; }
    bool ShowMemoryLoadInTray() const { return FShowMemoryLoadInTray; }

    void SetLoadBVSystemTray(bool value);
    void SetCloseBVAfterWash(bool value);
    void SetCleanMemWhenMemReach(bool value);
    void SetCleanMemoryOnTimer(bool value);
    void SetShowSplashOnStartup(bool value);
    void SetAutoRefreshTimerInt(std::int32_t value);
    void SetCleanMemoryEveryMinute(std::int32_t value);
    void SetCleanMemoryOnMemLimit(std::int32_t value);
    void SetRunAtStartup(bool on);
    void SetShowMemoryLoadInTray(bool value);

private:
    void writeThrough(const char* name, std::int32_t value);
    // Reads a stored preference; a value that is missing or not a REG_DWORD is replaced by the
    // default, so one bad value cannot stop start-up.
    std::int32_t loadValue(const char* name, std::int32_t defaultValue);

    std::unique_ptr<platform::TRegistry> FRegistry;
    platform::HKEY FRootKey = 0;
    std::string FKeyPath;
    bool FCloseBVAfterWash = false;
    bool FCleanMemWhenMemReach = false;
    bool FCleanMemoryOnTimer = false;
    bool FShowSplashOnStartup = false;
    std::int32_t FAutoRefreshTimerInt = 0;
    bool FLoadBVSystemTray = false;
    bool FRunAtStartup = false;
    std::int32_t FCleanMemoryEveryMinute = 0;
    std::int32_t FCleanMemoryOnMemLimit = 0;
    bool FShowMemoryLoadInTray = false;
};

// Reads one boolean preference straight from the settings key without creating it; false on any
// failure (key or value missing, another type). Used before any window exists and at a wash's end.
bool ReadSettingsFlag(const char* name);

} // namespace brenvik
