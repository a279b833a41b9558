#include "ctl/Commands.h"
#include "sysinfo/BooleanWords.h"
#include "sysinfo/ComputerInfo.h"

#include <nlohmann/json.hpp>
#include <ostream>

namespace brenvik::ctl {

namespace {

struct Section {
    const char* title;
    const char* key; // in the JSON document
    std::vector<InfoRow> rows;
};

// The System page's three boxes, row by row as the page shows them.
std::vector<Section> systemFacts() {
    const TComputerInfo info;
    std::vector<InfoRow> cpu = CpuIdentityRows(info.CPU());
    SetBooleanWords("Yes", "No");
    for (auto& row : CpuCapabilityRows(info.CPU()))
        cpu.push_back(std::move(row));
    std::vector<InfoRow> folders;
    for (const FolderRow& row : FolderRows())
        folders.emplace_back(row.caption, row.read(info.Folders()));
    return {
        {"Windows", "windows", WindowsRows(info.OS())},
        {"CPU Information", "cpu", std::move(cpu)},
        {"Special Folders Locations", "folders", std::move(folders)},
    };
}

} // namespace

int runSysinfo(Invocation& call) {
    if (!call.args.empty())
        return 2;
    const std::vector<Section> sections = systemFacts();
    if (call.json) {
        nlohmann::ordered_json json = nlohmann::ordered_json::object();
        for (const Section& section : sections) {
            nlohmann::ordered_json rows = nlohmann::ordered_json::object();
            for (const auto& [caption, value] : section.rows)
                rows[caption] = value;
            json[section.key] = std::move(rows);
        }
        printJson(call.out, json);
        return 0;
    }
    bool first = true;
    for (const Section& section : sections) {
        if (!first)
            call.out << '\n';
        first = false;
        call.out << section.title << '\n';
        printAligned(call.out, section.rows);
    }
    return 0;
}

} // namespace brenvik::ctl
