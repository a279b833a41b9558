#include "app/SettingsClass.h"
#include "ctl/Commands.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace brenvik::ctl {

int runSettings(Invocation& call) {
    if (!call.args.empty())
        return 2;
    TSettings settings;
    settings.SetRootKey(platform::HKEY_LOCAL_MACHINE);
    settings.SetKeyPath(SettingsKeyPath);
    settings.Load();
    if (call.json) {
        nlohmann::ordered_json json{
            {"LoadBVSystemTray", settings.LoadBVSystemTray()},
            {"CloseBVAfterWash", settings.CloseBVAfterWash()},
            {"CleanMemWhenMemReach", settings.CleanMemWhenMemReach()},
            {"CleanMemoryOnTimer", settings.CleanMemoryOnTimer()},
            {"ShowSplashOnStartup", settings.ShowSplashOnStartup()},
            {"AutoRefreshTimerInt", settings.AutoRefreshTimerInt()},
            {"CleanMemoryEveryMinute", settings.CleanMemoryEveryMinute()},
            {"CleanMemoryOnMemLimit", settings.CleanMemoryOnMemLimit()},
            {"RunAtStartup", settings.RunAtStartup()},
            {"ShowMemoryLoadInTray", settings.ShowMemoryLoadInTray()},
        };
        printJson(call.out, json);
        return 0;
    }
    const auto flag = [](bool value) { return std::string(value ? "true" : "false"); };
    printAligned(call.out,
                 {
                     {"LoadBVSystemTray", flag(settings.LoadBVSystemTray())},
                     {"CloseBVAfterWash", flag(settings.CloseBVAfterWash())},
                     {"CleanMemWhenMemReach", flag(settings.CleanMemWhenMemReach())},
                     {"CleanMemoryOnTimer", flag(settings.CleanMemoryOnTimer())},
                     {"ShowSplashOnStartup", flag(settings.ShowSplashOnStartup())},
                     {"AutoRefreshTimerInt", std::to_string(settings.AutoRefreshTimerInt())},
                     {"CleanMemoryEveryMinute", std::to_string(settings.CleanMemoryEveryMinute())},
                     {"CleanMemoryOnMemLimit", std::to_string(settings.CleanMemoryOnMemLimit())},
                     {"RunAtStartup", flag(settings.RunAtStartup())},
                     {"ShowMemoryLoadInTray", flag(settings.ShowMemoryLoadInTray())},
                 });
    return 0;
}

} // namespace brenvik::ctl
