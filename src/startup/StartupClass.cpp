#include "startup/StartupClass.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/Platform.h"
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

std::string identityOf(const TStartupItem& item) {
    return upperAscii(item.Name()) + '\0' + upperAscii(item.CommandLine()) + '\0' +
           upperAscii(item.Location());
}

std::optional<bool> stateIn(const std::vector<TStoredState>& states, const std::string& identity) {
    for (const TStoredState& state : states)
        if (state.identity == identity)
            return state.enabled;
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> storeBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<std::uint8_t>{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
}

// A key of the platform's registry, open while the object lives (the operations that TRegistry
// does not offer).
class OpenedKey {
public:
    OpenedKey(HKEY root, std::string_view path) : registry_(*current().registry) {
        if (registry_.openKey(root, path, false, handle_) != ERROR_SUCCESS)
            handle_ = 0;
    }
    ~OpenedKey() {
        if (handle_ != 0)
            registry_.closeKey(handle_);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    explicit operator bool() const { return handle_ != 0; }
    Registry& registry() const { return registry_; }
    HKEY handle() const { return handle_; }
    bool hasValue(std::string_view name) const {
        RegValue value;
        return handle_ != 0 && registry_.queryValue(handle_, name, value) == ERROR_SUCCESS;
    }

private:
    Registry& registry_;
    HKEY handle_ = 0;
};

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
    const OpenedKey key(root, KeyFromLocation(FLocation));
    if (!key)
        return;
    // A refused write leaves the registry as it was; the entry's flag has changed all the same.
    if (value && !key.hasValue(FName))
        key.registry().setValue(key.handle(), FName, RegValue::string(FCommandLine));
    else if (!value && key.hasValue(FName))
        key.registry().disableValue(key.handle(), FName);
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

bool TStartupItem::IsValueCurrent() const {
    if (!IsValuePresent())
        return false;
    TRegistry registry(FRoot);
    if (!registry.OpenKey(FKey, false))
        return false;
    try {
        return equalAsciiFolded(registry.ReadString(FName), FCommandLine);
    } catch (const ERegistryException&) {
        return false; // changed type between the two reads
    }
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
    for (const TStartupSource& source : StartupSources) {
        ScanKey(registry, source);
        AddDisabledValues(source);
    }
}

void TStartupList::AddDisabledValues(const TStartupSource& source) {
    const OpenedKey key(source.root, source.keyPath);
    if (!key)
        return;
    std::vector<std::pair<std::string, RegValue>> values;
    key.registry().disabledValues(key.handle(), values);
    const std::string location = LocationText(source.root, source.keyPath);
    for (auto& [name, value] : values) {
        const bool known = std::any_of(items_.begin(), items_.end(), [&](const auto& item) {
            return !item->Enabled() && equalAsciiFolded(item->Name(), name) &&
                   equalAsciiFolded(item->Location(), location);
        });
        if (known)
            continue;
        // Disabled by a copy that never saved the store (ended by a crash, or another copy's
        // save overwrote it): the key's own record brings it back.
        auto item = std::make_unique<TStartupItem>();
        item->SetName(name);
        item->SetCommandLine(std::move(value.text));
        item->SetLocation(location);
        Add(std::move(item));
    }
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
        return equalAsciiFolded(item->Name(), name) &&
               equalAsciiFolded(item->CommandLine(), commandLine) &&
               equalAsciiFolded(item->Location(), location);
    });
}

bool TStartupList::Contains(const TStartupItem& item) const {
    return Contains(item.Name(), item.CommandLine(), item.Location());
}

void TStartupList::Remove(TStartupItem* item) {
    const int index = IndexOf(item);
    if (index < 0)
        return;
    if (const OpenedKey key(RootFromLocation(item->Location()), KeyFromLocation(item->Location()));
        key) {
        if (item->Enabled() && key.hasValue(item->Name()))
            key.registry().deleteValue(key.handle(), item->Name());
        key.registry().forgetDisabledValue(key.handle(), item->Name());
    }
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
    const auto bytes = storeBytes(path);
    if (!bytes) {
        result.outcome = TStoreLoadResult::Unreadable;
        result.problem = "cannot read " + path.string();
        return result;
    }
    TStoreContents contents = decodeStartupStore(*bytes);
    if (contents.countRead) {
        Clear();
        for (auto& item : contents.items)
            Add(std::move(item));
    }
    storePath_ = path;
    stored_ = StoredStates();
    if (contents.damage.empty()) {
        result.outcome = TStoreLoadResult::Read;
        return result;
    }
    result.outcome = TStoreLoadResult::Damaged;
    result.problem = contents.damage;
    result.keptAside = keepDamagedStoreAside(path);
    return result;
}

TStoreSaveResult TStartupList::SaveToFile(const std::filesystem::path& path) {
    // Two copies saving at once take turns, so neither writes over what the other merged.
    const FileLock lock(path);
    const bool merged = stored_ && storePath_ == path && MergeWithFile(path);
    TStoreSaveResult result = saveStoreFile(path, encodeStartupStore(*this));
    result.merged = merged;
    if (result.saved) {
        storePath_ = path;
        stored_ = StoredStates();
    }
    // Every save of the store holds the lock, so any temporary sibling is a killed save's.
    if (lock)
        removeStaleTemporaries(path, std::chrono::seconds(0));
    return result;
}

std::vector<TStoredState> TStartupList::StoredStates() const {
    std::vector<TStoredState> states;
    for (const auto& item : items_)
        states.push_back({identityOf(*item), item->Enabled()});
    return states;
}

bool TStartupList::MergeWithFile(const std::filesystem::path& path) {
    // A file that is missing or damaged now has nothing to merge; it is replaced as it is.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    const auto bytes = storeBytes(path);
    if (!bytes)
        return false;
    TStoreContents theirs = decodeStartupStore(*bytes);
    if (!theirs.countRead || !theirs.damage.empty())
        return false;
    std::vector<TStoredState> theirStates;
    for (const auto& item : theirs.items)
        theirStates.push_back({identityOf(*item), item->Enabled()});
    const std::vector<TStoredState>& before = *stored_;
    if (theirStates == before)
        return false;
    const auto ours = [&](const std::string& identity) -> TStartupItem* {
        for (const auto& item : items_)
            if (identityOf(*item) == identity)
                return item.get();
        return nullptr;
    };
    // Entries the other copy added, disabled or enabled.
    for (std::size_t i = 0; i < theirStates.size(); ++i) {
        const TStoredState& their = theirStates[i];
        const std::optional<bool> was = stateIn(before, their.identity);
        if (was == their.enabled)
            continue;
        TStartupItem* mine = ours(their.identity);
        if (mine == nullptr) {
            // Gone here since: deleted by the user, or dropped because its value went. Only a
            // disabled entry, which has no value to be listed by, comes back.
            if (!was || !their.enabled)
                Add(std::move(theirs.items[i]));
            continue;
        }
        // Where both copies switched the entry, this copy's later save wins.
        if (!was || mine->FEnabled == *was)
            mine->FEnabled = their.enabled;
    }
    // Entries the other copy forgot: deleted by its user, or dropped because the value went.
    for (const TStoredState& state : before) {
        if (stateIn(theirStates, state.identity))
            continue;
        if (TStartupItem* mine = ours(state.identity);
            mine != nullptr && mine->FEnabled == state.enabled)
            Delete(IndexOf(mine));
    }
    return true;
}

} // namespace brenvik
