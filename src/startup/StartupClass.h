#pragma once

// The programs started at log-on through the registry's Run-type keys: one entry per value, with
// the three changes the Startup page offers (disable, enable, delete). Disabled entries exist only
// in the list and in the store file, since their registry value is gone.

#include "platform/Registry.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

namespace platform {
class TRegistry;
}

struct TRootName {
    std::string_view name;
    platform::HKEY handle;
};

// The registry root names in search order.
inline constexpr std::array<TRootName, 5> RootNames{{
    {"HKEY_CLASSES_ROOT", platform::HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", platform::HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", platform::HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", platform::HKEY_USERS},
    {"HKEY_CURRENT_CONFIG", platform::HKEY_CURRENT_CONFIG},
}};

struct TStartupSource {
    platform::HKEY root;
    std::string_view keyPath;
};

// The keys read by a registry scan, in scan order. Only their direct values count.
inline constexpr std::array<TStartupSource, 5> StartupSources{{
    {platform::HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {platform::HKEY_CURRENT_USER, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {platform::HKEY_LOCAL_MACHINE, "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {platform::HKEY_LOCAL_MACHINE, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce"},
    {platform::HKEY_LOCAL_MACHINE, "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx"},
}};

// The handle of the first root name found anywhere in the text; 0 when none occurs.
platform::HKEY RootFromLocation(std::string_view text);
// The text with the first occurrence of that root name cut out; unchanged without a root name.
std::string KeyFromLocation(std::string_view text);
// The root's name followed directly by the key path (which begins with a backslash).
std::string LocationText(platform::HKEY root, std::string_view keyPath);

enum class TPropertyKind { Text, Integer, Boolean, Event };

struct TPublishedProperty {
    int index;
    std::string_view name;
    TPropertyKind kind;
};

// The published properties of an entry in their streaming numbering: the store file records them
// by name in this order. Name replaces the inherited component name at position 0; the inherited
// Tag is always 0 and OnChange is never raised, so neither is ever stored.
inline constexpr std::array<TPublishedProperty, 8> StartupItemProperties{{
    {0, "Name", TPropertyKind::Text},
    {1, "Tag", TPropertyKind::Integer},
    {2, "Root", TPropertyKind::Integer},
    {3, "Key", TPropertyKind::Text},
    {4, "Enabled", TPropertyKind::Boolean},
    {5, "CommandLine", TPropertyKind::Text},
    {6, "Location", TPropertyKind::Text},
    {7, "OnChange", TPropertyKind::Event},
}};

class TStartupItem;
using TNotifyEvent = std::function<void(TStartupItem* sender)>;

// One startup entry. Only SetEnabled reaches outside the object: it writes or deletes the
// registry value. Texts are UTF-8.
class TStartupItem {
public:
    TStartupItem() = default;
    TStartupItem(const TStartupItem&) = delete;
    TStartupItem& operator=(const TStartupItem&) = delete;

    const std::string& Name() const { return FName; }
    void SetName(std::string value) { FName = std::move(value); }
    platform::HKEY Root() const { return FRoot; }
    void SetRoot(platform::HKEY value) { FRoot = value; }
    const std::string& Key() const { return FKey; }
    void SetKey(std::string value) { FKey = std::move(value); }
    bool Enabled() const { return FEnabled; }
    // Writes the value back (when it is missing) or deletes it. While Location is empty no key can
    // be opened and only the flag changes: building an entry never touches the registry.
    void SetEnabled(bool value);
    const std::string& CommandLine() const { return FCommandLine; }
    void SetCommandLine(std::string value) { FCommandLine = std::move(value); }
    const std::string& Location() const { return FLocation; }
    // Also derives Root and Key from the text.
    void SetLocation(std::string value);
    const TNotifyEvent& OnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent value) { FOnChange = std::move(value); }

    // Whether the entry's value exists in its key as a string value.
    bool IsValuePresent() const;
    // Whether the value is present and still says this entry's command line (letters a to z
    // folded). An active entry whose value has gone or now says another command is out of date:
    // the refresh drops it and the scan lists the value as it is now.
    bool IsValueCurrent() const;

private:
    friend class TStartupList; // takes another copy's flag from the store file, without effect

    bool FEnabled = false;
    std::string FName;
    std::string FCommandLine;
    std::string FLocation;
    TNotifyEvent FOnChange;
    platform::HKEY FRoot = 0;
    std::string FKey;
};

// How reading the store file went.
struct TStoreLoadResult {
    enum Outcome { Missing, Read, Damaged, Unreadable };
    Outcome outcome = Missing;
    std::string problem;             // what was wrong, for Damaged and Unreadable
    std::filesystem::path keptAside; // where a damaged file was copied; empty when it could not be
};

struct TStoreSaveResult {
    bool saved = false;
    std::string problem;
    bool merged = false; // another copy's changes were taken into the list first
};

// What the store file said about one entry when this list last read or wrote it.
struct TStoredState {
    std::string identity; // name, command line and location, letters a to z folded
    bool enabled = false;
    friend bool operator==(const TStoredState&, const TStoredState&) = default;
};

// The owning, ordered list of entries: those read from the store file first, in file order, then
// those added by registry scans, in scan order.
class TStartupList {
public:
    TStartupList();
    ~TStartupList();
    TStartupList(const TStartupList&) = delete;
    TStartupList& operator=(const TStartupList&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    TStartupItem* Items(int index) const {
        return items_.at(static_cast<std::size_t>(index)).get();
    }
    int IndexOf(const TStartupItem* item) const;

    void Add(std::unique_ptr<TStartupItem> item);
    // Takes the entry at the index out of the list and destroys it; the registry is not touched.
    void Delete(int index);
    void Clear();

    // Reads the values of the five sources and appends the entries not yet in the list; then
    // the values a source remembers as disabled (see platform::Registry::disabledValues) that
    // have no disabled entry of that name and location yet, as disabled entries.
    void ScanRegistry();
    // Whether an entry has the same name, command line and location, with letters a to z folded.
    bool Contains(std::string_view name, std::string_view commandLine,
                  std::string_view location) const;
    bool Contains(const TStartupItem& item) const;
    // Deletes the registry value of an active entry (a disabled one has none: a value of the same
    // name belongs to another entry and is left alone) and any record of it as disabled, then
    // takes the entry out of the list and destroys it.
    void Remove(TStartupItem* item);

    // A missing file leaves the list as it is. A damaged one keeps the entries read before the
    // damage and is copied aside so that the next save does not lose it.
    TStoreLoadResult LoadFromFile(const std::filesystem::path& path);
    // Replaces the file atomically under a lock; when that fails the old file stays as it was.
    // When this list was read from the same file and another copy has saved it since, that
    // copy's changes are merged into the list first: an entry it added, disabled, enabled or
    // forgot, and that this list did not change meanwhile, takes its state.
    TStoreSaveResult SaveToFile(const std::filesystem::path& path);

private:
    void ScanKey(platform::TRegistry& registry, const TStartupSource& source);
    void AddDisabledValues(const TStartupSource& source);
    std::vector<TStoredState> StoredStates() const;
    bool MergeWithFile(const std::filesystem::path& path);

    std::vector<std::unique_ptr<TStartupItem>> items_;
    // The file this list was last read from or written to, and what it said then.
    std::filesystem::path storePath_;
    std::optional<std::vector<TStoredState>> stored_;
};

} // namespace brenvik
