#include "app/SettingsClass.h"

#include "platform/Platform.h"
#include "platform/SystemStatus.h"

namespace brenvik {

using namespace platform;

TSettings::TSettings() : FRegistry(std::make_unique<TRegistry>()) {}

void TSettings::SetRootKey(HKEY root) {
    FRootKey = root;
    FRegistry->SetRootKey(root);
}

void TSettings::SetKeyPath(const std::string& path) {
    FKeyPath = path;
}

std::int32_t TSettings::loadValue(const char* name, std::int32_t defaultValue) {
    if (FRegistry->GetDataTypeCode(name) == REG_DWORD)
        return FRegistry->ReadInteger(name);
    FRegistry->WriteInteger(name, defaultValue);
    return defaultValue;
}

void TSettings::Load() {
    {
        TRegistry run(HKEY_CURRENT_USER);
        if (run.OpenKey(RunKeyPath, true))
            FRunAtStartup = run.ValueExists(RunValueName);
    }
    if (!FRegistry->OpenKey(FKeyPath, true))
        return;
    FLoadBVSystemTray = loadValue("LoadBVSystemTray", 0) != 0;
    FCloseBVAfterWash = loadValue("CloseBVAfterWash", 0) != 0;
    FCleanMemWhenMemReach = loadValue("CleanMemWhenMemReach", 0) != 0;
    FCleanMemoryOnTimer = loadValue("CleanMemoryOnTimer", 0) != 0;
    FShowSplashOnStartup = loadValue("ShowSplashOnStartup", 1) != 0;
    FAutoRefreshTimerInt = loadValue("AutoRefreshTimerInt", 0);
    FCleanMemoryEveryMinute = loadValue("CleanMemoryEveryMinute", 0);
    FCleanMemoryOnMemLimit = loadValue("CleanMemoryOnMemLimit", 0);
    // Newer than the eight above, so it comes after them in a key that older versions wrote.
    FShowMemoryLoadInTray = loadValue("ShowMemoryLoadInTray", 1) != 0;
    FRegistry->CloseKey();
}

void TSettings::writeThrough(const char* name, std::int32_t value) {
    if (!FRegistry->OpenKey(FKeyPath, true))
        return;
    FRegistry->WriteInteger(name, value);
    FRegistry->CloseKey();
}

void TSettings::SetLoadBVSystemTray(bool value) {
    FLoadBVSystemTray = value;
    writeThrough("LoadBVSystemTray", value);
}

void TSettings::SetCloseBVAfterWash(bool value) {
    FCloseBVAfterWash = value;
    writeThrough("CloseBVAfterWash", value);
}

void TSettings::SetCleanMemWhenMemReach(bool value) {
    FCleanMemWhenMemReach = value;
    writeThrough("CleanMemWhenMemReach", value);
}

void TSettings::SetCleanMemoryOnTimer(bool value) {
    FCleanMemoryOnTimer = value;
    writeThrough("CleanMemoryOnTimer", value);
}

void TSettings::SetShowSplashOnStartup(bool value) {
    FShowSplashOnStartup = value;
    writeThrough("ShowSplashOnStartup", value);
}

void TSettings::SetAutoRefreshTimerInt(std::int32_t value) {
    FAutoRefreshTimerInt = value;
    writeThrough("AutoRefreshTimerInt", value);
}

void TSettings::SetCleanMemoryEveryMinute(std::int32_t value) {
    FCleanMemoryEveryMinute = value;
    writeThrough("CleanMemoryEveryMinute", value);
}

void TSettings::SetCleanMemoryOnMemLimit(std::int32_t value) {
    FCleanMemoryOnMemLimit = value;
    writeThrough("CleanMemoryOnMemLimit", value);
}

void TSettings::SetShowMemoryLoadInTray(bool value) {
    FShowMemoryLoadInTray = value;
    writeThrough("ShowMemoryLoadInTray", value);
}

void TSettings::SetRunAtStartup(bool on) {
    FRunAtStartup = on;
    TRegistry run(HKEY_CURRENT_USER);
    if (!run.OpenKey(RunKeyPath, false))
        return;
    if (on)
        run.WriteString(RunValueName, current().system->programPath().string());
    else if (run.ValueExists(RunValueName))
        run.DeleteValue(RunValueName);
    run.CloseKey();
}

bool ReadSettingsFlag(const char* name) {
    try {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(SettingsKeyPath))
            return false;
        if (registry.GetDataTypeCode(name) != REG_DWORD)
            return false;
        return registry.ReadInteger(name) != 0;
    } catch (const ERegistryException&) {
        return false;
    }
}

} // namespace brenvik
