#include "startup/StartupClass.h"

#include "platform/TRegistry.h"
#include "startup/StartupStore.h"

#include <algorithm>
#include <fstream>
#include <iterator>

namespace brenvik {

using namespace platform;

namespace {

const TRootName* rootNameIn(std::string_view text) {
    for (const TRootName& root : RootNames)
        if (text.find(root.name) != std::string_view::npos)
            return &root;
    return nullptr;
}

// Only a to z: the comparison must not depend on the locale.
bool equalFolded(std::string_view a, std::string_view b) {
    const auto upper = [](char c) {
        return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
    };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return upper(x) == upper(y); });
}

} // namespace

HKEY RootFromLocation(std::string_view text) {
    const TRootName* root = rootNameIn(text);
    return root != nullptr ? root->handle : 0;
}

std::string KeyFromLocation(std::string_view text) {
    std::string key(text);
    if (const TRootName* root = rootNameIn(text))
        key.erase(key.find(root->name), root->name.size());
    return key;
}

std::string LocationText(HKEY root, std::string_view keyPath) {
    std::string text;
    for (const TRootName& name : RootNames)
        if (name.handle == root)
            text = name.name;
    text += keyPath;
    return text;
}

void TStartupItem::SetEnabled(bool value) {
    FEnabled = value;
    const HKEY root = RootFromLocation(FLocation);
    if (root == 0)
        return;
    TRegistry registry(root);
    if (!registry.OpenKey(KeyFromLocation(FLocation), false))
        return;
    try {
        if (value && !registry.ValueExists(FName))
            registry.WriteString(FName, FCommandLine);
        else if (!value && registry.ValueExists(FName))
            registry.DeleteValue(FName);
    } catch (const ERegistryException&) {
        // A refused write leaves the registry as it was; the entry's flag has changed all the same.
    }
}

void TStartupItem::SetLocation(std::string value) {
    FLocation = std::move(value);
    FRoot = RootFromLocation(FLocation);
    FKey = KeyFromLocation(FLocation);
}

bool TStartupItem::IsValuePresent() const {
    TRegistry registry(FRoot);
    if (!registry.OpenKey(FKey, false))
        return false;
    const std::uint32_t type = registry.GetDataTypeCode(FName);
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

TStartupList::TStartupList() = default;
TStartupList::~TStartupList() = default;

int TStartupList::IndexOf(const TStartupItem* item) const {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const auto& owned) { return owned.get() == item; });
    return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

void TStartupList::Add(std::unique_ptr<TStartupItem> item) {
    items_.push_back(std::move(item));
}

void TStartupList::Delete(int index) {
    items_.erase(items_.begin() + index);
}

void TStartupList::Clear() {
    items_.clear();
}

void TStartupList::ScanRegistry() {
    TRegistry registry;
    for (const TStartupSource& source : StartupSources)
        ScanKey(registry, source);
}

void TStartupList::ScanKey(TRegistry& registry, const TStartupSource& source) {
    registry.SetRootKey(source.root);
    if (!registry.OpenKey(std::string(source.keyPath), false))
        return;
    for (const std::string& name : registry.GetValueNames()) {
        auto item = std::make_unique<TStartupItem>();
        item->SetName(name);
        item->SetEnabled(true);
        const std::uint32_t type = registry.GetDataTypeCode(name);
        if (type == REG_SZ || type == REG_EXPAND_SZ) {
            try {
                item->SetCommandLine(registry.ReadString(name));
            } catch (const ERegistryException&) {
                // The value changed type between the two reads: listed without a command line.
            }
        }
        item->SetLocation(LocationText(source.root, source.keyPath));
        if (!Contains(*item))
            Add(std::move(item));
    }
    registry.CloseKey();
}

bool TStartupList::Contains(std::string_view name, std::string_view commandLine,
                            std::string_view location) const {
    return std::any_of(items_.begin(), items_.end(), [&](const auto& item) {
        return equalFolded(item->Name(), name) && equalFolded(item->CommandLine(), commandLine) &&
               equalFolded(item->Location(), location);
    });
}

bool TStartupList::Contains(const TStartupItem& item) const {
    return Contains(item.Name(), item.CommandLine(), item.Location());
}

void TStartupList::Remove(TStartupItem* item) {
    const int index = IndexOf(item);
    if (index < 0)
        return;
    item->SetEnabled(false);
    Delete(index);
}

TStoreLoadResult TStartupList::LoadFromFile(const std::filesystem::path& path) {
    TStoreLoadResult result;
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status))
        return result;
    // Checked before opening: opening a pipe would wait for a writer.
    if (!std::filesystem::is_regular_file(status)) {
        result.outcome = TStoreLoadResult::Unreadable;
        result.problem = path.string() + " is not a file";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.outcome = TStoreLoadResult::Unreadable;
        result.problem = "cannot read " + path.string();
        return result;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
    TStoreContents contents = decodeStartupStore(bytes);
    if (contents.countRead) {
        Clear();
        for (auto& item : contents.items)
            Add(std::move(item));
    }
    if (contents.damage.empty()) {
        result.outcome = TStoreLoadResult::Read;
        return result;
    }
    result.outcome = TStoreLoadResult::Damaged;
    result.problem = contents.damage;
    result.keptAside = keepDamagedStoreAside(path);
    return result;
}

TStoreSaveResult TStartupList::SaveToFile(const std::filesystem::path& path) const {
    return saveStoreFile(path, encodeStartupStore(*this));
}

} // namespace brenvik
