#include "common/FileUtils.h"
#include "ctl/Commands.h"
#include "processes/ProcessClass.h"
#include "sysinfo/OSVersionInfo.h"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <ostream>

namespace brenvik::ctl {

namespace {

// Nothing is drawn here, so no image is kept.
class NoImages : public TImageList {
public:
    int Count() const override { return 1; }
    void Delete(int) override {}
    int AddIcon(const std::string&) override { return -1; }
};

std::string memoryText(const TProcessItem& item) {
    return FormatSize(static_cast<double>(item.MemoryUsage()), false);
}

// In the page's order after a refresh: by name as text, letters folded, empty names last.
std::vector<const TProcessItem*> sortedByName(const TProcessList& list) {
    std::vector<const TProcessItem*> items;
    for (int i = 0; i < list.Count(); ++i)
        items.push_back(&list.Items(i));
    std::stable_sort(items.begin(), items.end(), [](const auto* a, const auto* b) {
        return ListTextBefore(a->Name(), b->Name());
    });
    return items;
}

void printTable(std::ostream& out, const std::vector<const TProcessItem*>& items) {
    std::vector<std::vector<std::string>> rows{
        {"Process", "Priority", "Memory Usage", "PID", "Threads", "Path"}};
    for (const TProcessItem* item : items)
        rows.push_back({item->Name(), PriorityToText(item->Priority()), memoryText(*item),
                        std::to_string(item->ProcessID()), std::to_string(item->ThreadCount()),
                        item->Path()});
    printColumns(out, rows);
}

} // namespace

int runProcesses(Invocation& call) {
    if (!call.args.empty())
        return 2;
    NoImages images;
    TProcessList list(images, {});
    list.SetWindowsVersion(TOSVersionInfo().OSVersion());
    list.Refresh();
    const auto items = sortedByName(list);
    if (!call.json) {
        printTable(call.out, items);
        return 0;
    }
    nlohmann::ordered_json processes = nlohmann::ordered_json::array();
    for (const TProcessItem* item : items)
        processes.push_back({{"name", item->Name()},
                             {"priority", PriorityToText(item->Priority())},
                             {"priorityClass", item->Priority()},
                             {"memory", memoryText(*item)},
                             {"memoryBytes", item->MemoryUsage()},
                             {"path", item->Path()},
                             {"pid", item->ProcessID()},
                             {"threads", item->ThreadCount()}});
    printJson(call.out, processes);
    return 0;
}

} // namespace brenvik::ctl
