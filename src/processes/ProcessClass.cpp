#include "processes/ProcessClass.h"

#include "platform/AsciiCase.h"
#include "platform/Platform.h"
#include "platform/ProcessTable.h"

#include <algorithm>

namespace brenvik {

namespace {

using platform::upperAscii;

platform::ProcessTable& table() {
    return *platform::current().processes;
}

// The file name after the last separator. A name that is not a path (a process name, which may
// itself hold a slash, like a kernel worker's) is taken whole.
std::string nameOf(const std::string& fileText) {
    if (fileText.empty() || fileText.front() != '/')
        return fileText;
    return fileText.substr(fileText.rfind('/') + 1);
}

void raise(const TProcessNotify& notify, TProcessItem& item) {
    if (notify)
        notify(item);
}

} // namespace

TProcessItem::TProcessItem(TProcessList& owner, std::uint32_t processId, std::uint64_t startTime,
                           std::uint32_t threadCount, std::uint32_t priority,
                           std::uint64_t memoryUsage, std::string name, const std::string& path)
    : FMemoryUsage(memoryUsage), FProcessID(processId), FStartTime(startTime),
      FThreadCount(threadCount), FName(std::move(name)), FPriority(priority), FOwner(&owner) {
    SetPath(path);
}

void TProcessItem::SetPath(const std::string& path) {
    if (path == FPath)
        return;
    FPath = path;
    if (std::string icon = table().iconFor(path); !icon.empty())
        FIcon = std::move(icon);
    raise(OnPathChange, *this);
}

void TProcessItem::SetPriority(std::uint32_t priorityClass) {
    if (priorityClass == FPriority)
        return;
    if (!table().setPriorityClass(FProcessID, FStartTime, priorityClass))
        return;
    FPriority = priorityClass;
    raise(OnPriorityChange, *this);
}

bool TProcessItem::Terminate() {
    const std::uint32_t error = table().terminate(FProcessID, FStartTime);
    if (error == platform::ProcessTable::Ended)
        return true;
    if (error != platform::ProcessTable::AccessDenied || !isNtFamily(FOwner->WindowsVersion()))
        return false;
    return table().terminateWithDebugPrivilege(FProcessID, FStartTime);
}

TProcessList::TProcessList(TImageList& imageList, std::string defaultIcon)
    : FImageList(&imageList), FDefaultIcon(std::move(defaultIcon)) {}

void TProcessList::Refresh() {
    while (FImageList->Count() > 1)
        FImageList->Delete(FImageList->Count() - 1);
    FItems.clear();
    const std::string ownPath = upperAscii(table().ownExecutablePath());
    for (const platform::ProcessEntry& entry : table().snapshot()) {
        std::string path = entry.exeFile;
        if (isNtFamily(FWindowsVersion))
            if (std::string module = table().modulePath(entry.processId); !module.empty())
                path = std::move(module);
        auto item = std::make_unique<TProcessItem>(*this, entry.processId, entry.startTime,
                                                   entry.threadCount, GetPriority(entry.processId),
                                                   GetMemoryUsage(entry.processId),
                                                   nameOf(entry.exeFile), path);
        if (!ownPath.empty() && upperAscii(item->Path()) == ownPath)
            continue;
        FItems.push_back(std::move(item));
    }
}

std::uint32_t TProcessList::GetPriority(std::uint32_t processId) {
    return table().priorityClass(processId);
}

std::uint64_t TProcessList::GetMemoryUsage(std::uint32_t processId) {
    return table().memoryUsage(processId);
}

std::string PriorityToText(std::uint32_t priorityClass) {
    switch (priorityClass) {
    case platform::NORMAL_PRIORITY_CLASS:
        return "Normal";
    case platform::IDLE_PRIORITY_CLASS:
        return "Idle";
    case platform::HIGH_PRIORITY_CLASS:
        return "High";
    case platform::REALTIME_PRIORITY_CLASS:
        return "Realtime";
    case platform::BELOW_NORMAL_PRIORITY_CLASS:
        return "Below Normal";
    case platform::ABOVE_NORMAL_PRIORITY_CLASS:
        return "Above Normal";
    default:
        return "Unknown";
    }
}

int CompareListText(std::string_view left, std::string_view right) {
    const std::size_t common = std::min(left.size(), right.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto a = static_cast<unsigned char>(upperAscii(left[i]));
        const auto b = static_cast<unsigned char>(upperAscii(right[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (left.size() == right.size())
        return 0;
    return left.size() < right.size() ? -1 : 1;
}

bool ListTextBefore(std::string_view left, std::string_view right) {
    if (left.empty() || right.empty())
        return !left.empty() && right.empty();
    return CompareListText(left, right) < 0;
}

} // namespace brenvik
