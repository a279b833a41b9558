#pragma once

// An in-memory process table: the test lists the processes and decides what the system allows.

#include "platform/ProcessTable.h"

#include <map>
#include <set>

namespace brenvik::test {

class FakeProcessTable : public platform::ProcessTable {
public:
    struct Process {
        std::uint32_t processId = 0;
        std::uint32_t threadCount = 1;
        std::string exeFile;
        std::uint32_t priority = platform::NORMAL_PRIORITY_CLASS;
        std::uint64_t memory = 0;
        std::string modulePath; // what the module lookup finds; empty when it fails
        std::string icon;
        std::uint64_t startTime = 0; // each added process gets its own
    };
    std::vector<Process> processes;
    std::string ownPath = "/opt/brenvik/brenvik";
    std::set<std::uint32_t> protectedIds;  // priority changes and termination are refused
    std::set<std::uint32_t> privilegeEnds; // ended by the debug-privilege retry only
    int snapshots = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> priorityCalls;
    std::vector<std::uint32_t> terminateCalls;
    std::vector<std::uint32_t> privilegeCalls;

    Process& add(std::uint32_t processId, std::string exeFile) {
        processes.push_back({processId,
                             1,
                             std::move(exeFile),
                             platform::NORMAL_PRIORITY_CLASS,
                             0,
                             {},
                             {},
                             ++started_});
        return processes.back();
    }
    // The process ends and a new one is given its PID.
    Process& reusePid(std::uint32_t processId, std::string exeFile) {
        remove(processId);
        return add(processId, std::move(exeFile));
    }

    std::vector<platform::ProcessEntry> snapshot() override {
        ++snapshots;
        std::vector<platform::ProcessEntry> entries;
        for (const auto& process : processes)
            entries.push_back(
                {process.processId, process.threadCount, process.exeFile, process.startTime});
        return entries;
    }
    std::string modulePath(std::uint32_t processId) override {
        const Process* process = find(processId);
        return process ? process->modulePath : std::string();
    }
    std::uint32_t priorityClass(std::uint32_t processId) override {
        const Process* process = find(processId);
        return process ? process->priority : 0;
    }
    bool setPriorityClass(std::uint32_t processId, std::uint64_t startTime,
                          std::uint32_t priorityClass) override {
        priorityCalls.emplace_back(processId, priorityClass);
        Process* process = find(processId, startTime);
        if (!process || protectedIds.count(processId))
            return false;
        process->priority = priorityClass;
        return true;
    }
    std::uint64_t memoryUsage(std::uint32_t processId) override {
        const Process* process = find(processId);
        return process ? process->memory : 0;
    }
    std::uint32_t terminate(std::uint32_t processId, std::uint64_t startTime) override {
        terminateCalls.push_back(processId);
        if (!find(processId, startTime))
            return platform::ProcessTable::NoSuchProcess;
        if (protectedIds.count(processId) || privilegeEnds.count(processId))
            return platform::ProcessTable::AccessDenied;
        remove(processId);
        return platform::ProcessTable::Ended;
    }
    bool terminateWithDebugPrivilege(std::uint32_t processId, std::uint64_t startTime) override {
        privilegeCalls.push_back(processId);
        if (!find(processId, startTime) || !privilegeEnds.count(processId))
            return false;
        remove(processId);
        return true;
    }
    std::string ownExecutablePath() override { return ownPath; }
    std::string iconFor(const std::string& executable) override {
        for (const auto& process : processes)
            if (process.exeFile == executable || process.modulePath == executable)
                return process.icon;
        return {};
    }

private:
    Process* find(std::uint32_t processId) {
        for (auto& process : processes)
            if (process.processId == processId)
                return &process;
        return nullptr;
    }
    // The process a snapshot listed; none once its PID has passed to another.
    Process* find(std::uint32_t processId, std::uint64_t startTime) {
        Process* process = find(processId);
        return process && process->startTime == startTime ? process : nullptr;
    }
    std::uint64_t started_ = 0;
    void remove(std::uint32_t processId) {
        std::erase_if(processes, [&](const Process& p) { return p.processId == processId; });
    }
};

} // namespace brenvik::test
