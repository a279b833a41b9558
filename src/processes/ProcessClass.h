#pragma once

// The process list model: one record per running process, rebuilt from a fresh snapshot on every
// refresh, with the two actions the Process page offers (priority class and termination).

#include "sysinfo/WindowsVersion.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

class TProcessItem;
class TProcessList;

// A change notification; raising it passes the record. An unset one is skipped.
using TProcessNotify = std::function<void(TProcessItem&)>;

// The page's small-image list as the model sees it. Icons are references the page can render:
// an icon-theme name or an image file path. The first image is the default process icon.
class TImageList {
public:
    virtual ~TImageList() = default;
    virtual int Count() const = 0;
    virtual void Delete(int index) = 0;
    // The index of the added image; -1 when the reference gives no image.
    virtual int AddIcon(const std::string& icon) = 0;
};

class TProcessItem {
public:
    // startTime tells the listed process from a later one that is given the same PID.
    TProcessItem(TProcessList& owner, std::uint32_t processId, std::uint64_t startTime,
                 std::uint32_t threadCount, std::uint32_t priority, std::uint64_t memoryUsage,
                 std::string name, const std::string& path);
    TProcessItem(const TProcessItem&) = delete;
    TProcessItem& operator=(const TProcessItem&) = delete;

    const std::string& Icon() const { return FIcon; }
    // Resident bytes; 64 bits, since a 32-bit figure would wrap above 4 GiB.
    std::uint64_t MemoryUsage() const { return FMemoryUsage; }
    std::uint32_t ProcessID() const { return FProcessID; }
    std::uint32_t ThreadCount() const { return FThreadCount; }
    const std::string& Name() const { return FName; }
    const std::string& Path() const { return FPath; }
    std::uint32_t Priority() const { return FPriority; }
    int ListIndex() const { return FListIndex; }
    void SetListIndex(int index) { FListIndex = index; }
    TProcessList& Owner() const { return *FOwner; }

    // Stores the path and looks up the icon the desktop associates with it.
    void SetPath(const std::string& path);
    // On success Priority holds the new class and OnPriorityChange has been raised; a refused
    // change leaves the record (and the process) as it was. Both actions reach only the process
    // the record was made for, never a later one with the same PID.
    void SetPriority(std::uint32_t priorityClass);
    // True when the process was ended; false when it had already ended or cannot be ended.
    bool Terminate();

    TProcessNotify OnPathChange;
    TProcessNotify OnMemoryChange;
    TProcessNotify OnPriorityChange;
    TProcessNotify OnThreadsChange;

private:
    std::string FIcon;
    std::uint64_t FMemoryUsage;
    std::uint32_t FProcessID;
    std::uint64_t FStartTime;
    std::uint32_t FThreadCount;
    std::string FName;
    std::string FPath;
    std::uint32_t FPriority;
    int FListIndex = -1;
    TProcessList* FOwner;
};

class TProcessList {
public:
    // Keeps the image list (not owned) and its own copy of the default icon.
    TProcessList(TImageList& imageList, std::string defaultIcon);
    TProcessList(const TProcessList&) = delete;
    TProcessList& operator=(const TProcessList&) = delete;

    TWindowsVersion WindowsVersion() const { return FWindowsVersion; }
    void SetWindowsVersion(TWindowsVersion version) { FWindowsVersion = version; }
    TImageList& ImageList() const { return *FImageList; }
    const std::string& DefaultIcon() const { return FDefaultIcon; }

    // Discards every record and builds new ones from a fresh snapshot, in snapshot order; the
    // program's own process is left out. The image list is cut back to the default icon.
    void Refresh();
    int Count() const { return static_cast<int>(FItems.size()); }
    TProcessItem& Items(int index) const { return *FItems.at(static_cast<std::size_t>(index)); }

    std::uint32_t GetPriority(std::uint32_t processId);
    std::uint64_t GetMemoryUsage(std::uint32_t processId);

private:
    std::vector<std::unique_ptr<TProcessItem>> FItems;
    TImageList* FImageList;
    std::string FDefaultIcon;
    TWindowsVersion FWindowsVersion = wvUnknown;
};

// The text of a priority class: "Normal", "Idle", "High", "Realtime", "Below Normal",
// "Above Normal", and "Unknown" for anything else (0 included).
std::string PriorityToText(std::uint32_t priorityClass);

// The order of the process list's column texts: character by character by code, a to z folded
// to A to Z, a text that begins another first. Negative, zero or positive.
int CompareListText(std::string_view left, std::string_view right);
// Ascending order of a column: empty texts after every other.
bool ListTextBefore(std::string_view left, std::string_view right);

} // namespace brenvik
