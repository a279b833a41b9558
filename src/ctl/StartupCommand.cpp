#include "ctl/Commands.h"
#include "platform/AsciiCase.h"
#include "startup/StartupClass.h"
#include "startup/StartupStore.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <ostream>

namespace brenvik::ctl {

namespace {

std::string statusOf(const TStartupItem& item) {
    return item.Enabled() ? "Active" : "Disabled";
}

nlohmann::ordered_json jsonOf(const TStartupItem& item) {
    return {{"name", item.Name()},
            {"status", statusOf(item)},
            {"commandLine", item.CommandLine()},
            {"location", item.Location()}};
}

// The list as the Startup page shows it after a refresh: the store's entries without the active
// ones whose value has gone, then the registry's values that are new.
TStoreLoadResult loadAndRefresh(TStartupList& list, std::ostream& err) {
    const TStoreLoadResult loaded = list.LoadFromFile(startupStorePath());
    if (!loaded.problem.empty())
        err << "brenvikctl: " << startupStorePath().string() << ": " << loaded.problem << '\n';
    if (!loaded.keptAside.empty())
        err << "brenvikctl: the damaged file was copied to " << loaded.keptAside.string() << '\n';
    for (int i = 0; i < list.Count();) {
        if (list.Items(i)->Enabled() && !list.Items(i)->IsValueCurrent())
            list.Delete(i);
        else
            ++i;
    }
    list.ScanRegistry();
    return loaded;
}

// In the page's order: by name, letters a to z folded, empty names last.
std::vector<const TStartupItem*> sortedByName(const TStartupList& list) {
    std::vector<const TStartupItem*> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(list.Items(i));
    std::stable_sort(items.begin(), items.end(), [](const auto* a, const auto* b) {
        if (a->Name().empty() || b->Name().empty())
            return !a->Name().empty() && b->Name().empty();
        return platform::upperAscii(a->Name()) < platform::upperAscii(b->Name());
    });
    return items;
}

void printTable(std::ostream& out, const std::vector<const TStartupItem*>& items) {
    std::vector<std::vector<std::string>> rows{
        {"Program Name", "Status", "Command Line", "Location"}};
    for (const TStartupItem* item : items)
        rows.push_back({item->Name(), statusOf(*item), item->CommandLine(), item->Location()});
    printColumns(out, rows);
}

int listEntries(Invocation& call) {
    TStartupList list;
    loadAndRefresh(list, call.err);
    const auto items = sortedByName(list);
    if (call.json) {
        nlohmann::ordered_json entries = nlohmann::ordered_json::array();
        for (const TStartupItem* item : items)
            entries.push_back(jsonOf(*item));
        printJson(call.out, entries);
    } else {
        printTable(call.out, items);
    }
    return 0;
}

enum class Change { Disable, Enable, Delete };

int change(Invocation& call, Change what) {
    const std::string& name = call.args[1];
    TStartupList list;
    if (loadAndRefresh(list, call.err).outcome == TStoreLoadResult::Unreadable) {
        call.err << "brenvikctl: the startup store cannot be read, so it is not changed\n";
        return 1;
    }
    std::vector<TStartupItem*> matches;
    for (int i = 0; i < list.Count(); ++i)
        if (platform::upperAscii(list.Items(i)->Name()) == platform::upperAscii(name))
            matches.push_back(list.Items(i));
    if (matches.empty()) {
        call.err << "brenvikctl: no startup entry is named '" << name << "'\n";
        return 1;
    }
    // The store must take the change before the registry does: a disabled entry lives only there.
    const std::filesystem::path store = startupStorePath();
    if (const TStoreSaveResult check = list.SaveToFile(store); !check.saved) {
        call.err << "brenvikctl: " << check.problem << '\n';
        return 1;
    }
    nlohmann::ordered_json changed = nlohmann::ordered_json::array();
    for (TStartupItem* item : matches) {
        changed.push_back(jsonOf(*item));
        switch (what) {
        case Change::Disable:
            item->SetEnabled(false);
            break;
        case Change::Enable:
            item->SetEnabled(true);
            break;
        case Change::Delete:
            list.Remove(item);
            continue;
        }
        changed.back()["status"] = statusOf(*item);
    }
    if (const TStoreSaveResult saved = list.SaveToFile(store); !saved.saved) {
        call.err << "brenvikctl: " << saved.problem << '\n';
        return 1;
    }
    const char* verb = what == Change::Disable  ? "Disabled"
                       : what == Change::Enable ? "Enabled"
                                                : "Deleted";
    if (call.json) {
        printJson(call.out, nlohmann::ordered_json{{"action", verb}, {"entries", changed}});
        return 0;
    }
    for (const auto& entry : changed)
        call.out << verb << ' ' << entry["name"].get<std::string>() << " ("
                 << entry["location"].get<std::string>() << ")\n";
    return 0;
}

} // namespace

int runStartup(Invocation& call) {
    if (call.args.size() == 1 && call.args[0] == "list")
        return listEntries(call);
    if (call.args.size() != 2)
        return 2;
    if (call.args[0] == "disable")
        return change(call, Change::Disable);
    if (call.args[0] == "enable")
        return change(call, Change::Enable);
    if (call.args[0] == "delete")
        return change(call, Change::Delete);
    return 2;
}

} // namespace brenvik::ctl
