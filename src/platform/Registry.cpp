#include "platform/Registry.h"

#include "platform/AsciiCase.h"

#include <algorithm>

namespace brenvik::platform {

RegValue RegValue::string(std::string text, std::uint32_t type) {
    RegValue value;
    value.type = type;
    value.text = std::move(text);
    return value;
}

RegValue RegValue::dword(std::uint32_t number) {
    RegValue value;
    value.type = REG_DWORD;
    value.number = number;
    return value;
}

RegValue RegValue::binary(std::uint32_t type, std::vector<std::uint8_t> bytes) {
    RegValue value;
    value.type = type;
    value.bytes = std::move(bytes);
    return value;
}

LONG KeyProvider::setValue(std::string_view, const RegValue&) {
    return ERROR_ACCESS_DENIED;
}
LONG KeyProvider::deleteValue(std::string_view) {
    return ERROR_ACCESS_DENIED;
}
LONG KeyProvider::disableValue(std::string_view name) {
    return deleteValue(name);
}
std::vector<std::pair<std::string, RegValue>> KeyProvider::disabledValues() {
    return {};
}
LONG KeyProvider::forgetDisabledValue(std::string_view) {
    return ERROR_SUCCESS;
}

void Hive::read(const std::function<void(const Keys&)>& read) {
    std::lock_guard lock(mutex_);
    read(keys_);
}

LONG Hive::modify(const std::function<bool(Keys&)>& change) {
    std::lock_guard lock(mutex_);
    Keys copy = keys_;
    if (change(copy))
        keys_ = std::move(copy);
    return ERROR_SUCCESS;
}

namespace {

const Hive::Key* findKey(const Hive::Keys& keys, const std::string& path) {
    auto it = keys.find(path);
    return it == keys.end() ? nullptr : &it->second;
}

auto findValue(std::vector<std::pair<std::string, RegValue>>& values, std::string_view name) {
    const std::string folded = Registry::foldName(name);
    return std::find_if(values.begin(), values.end(), [&](const auto& entry) {
        return Registry::foldName(entry.first) == folded;
    });
}

} // namespace

std::string Registry::foldName(std::string_view name) {
    return upperAscii(name);
}

std::string Registry::normalizePath(std::string_view path) {
    std::string normal;
    normal.reserve(path.size());
    for (char c : path) {
        if (c != '\\' || (!normal.empty() && normal.back() != '\\'))
            normal.push_back(c);
    }
    if (!normal.empty() && normal.back() == '\\')
        normal.pop_back();
    return normal;
}

std::string Registry::foldPath(std::string_view path) {
    return foldName(normalizePath(path));
}

Registry::Registry() = default;
Registry::~Registry() = default;

void Registry::setHive(HKEY root, std::shared_ptr<Hive> hive) {
    std::lock_guard lock(mutex_);
    hives_[root] = std::move(hive);
}

void Registry::mount(HKEY root, std::string_view path, std::shared_ptr<KeyProvider> provider) {
    std::lock_guard lock(mutex_);
    providers_[{root, foldPath(path)}] = Mount{normalizePath(path), std::move(provider)};
}

bool Registry::isMountAncestor(HKEY root, const std::string& folded) const {
    std::lock_guard lock(mutex_);
    const std::string prefix = folded.empty() ? std::string() : folded + "\\";
    for (const auto& [where, mount] : providers_)
        if (where.first == root && where.second.size() > prefix.size() &&
            where.second.compare(0, prefix.size(), prefix) == 0)
            return true;
    return false;
}

bool Registry::isRoot(HKEY root) const {
    return root == HKEY_CLASSES_ROOT || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE ||
           root == HKEY_USERS || root == HKEY_CURRENT_CONFIG || root == HKEY_DYN_DATA;
}

std::shared_ptr<KeyProvider> Registry::providerFor(HKEY root, const std::string& folded) const {
    std::lock_guard lock(mutex_);
    auto it = providers_.find({root, folded});
    return it == providers_.end() ? nullptr : it->second.provider;
}

std::shared_ptr<Hive> Registry::hiveFor(HKEY root) const {
    std::lock_guard lock(mutex_);
    auto it = hives_.find(root);
    return it == hives_.end() ? nullptr : it->second;
}

std::optional<Registry::OpenKey> Registry::lookup(HKEY key) const {
    std::lock_guard lock(mutex_);
    auto it = open_.find(key);
    if (it == open_.end())
        return std::nullopt;
    return it->second;
}

LONG Registry::openKey(HKEY root, std::string_view path, bool create, HKEY& key) {
    key = 0;
    if (!isRoot(root))
        return ERROR_INVALID_HANDLE;
    // Control characters would break the line-based hive file; no key of the program has them.
    if (std::any_of(path.begin(), path.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        return ERROR_INVALID_PARAMETER;
    const std::string folded = foldPath(path);
    const std::string display = normalizePath(path);
    bool exists =
        folded.empty() || providerFor(root, folded) != nullptr || isMountAncestor(root, folded);
    if (!exists) {
        auto hive = hiveFor(root);
        if (!hive)
            return ERROR_FILE_NOT_FOUND;
        hive->read([&](const Hive::Keys& keys) { exists = findKey(keys, folded) != nullptr; });
        if (!exists && create) {
            // Parent keys come into being with the key, as on the system this mirrors.
            const LONG saved = hive->modify([&](Hive::Keys& keys) {
                bool added = false; // another copy may have made it meanwhile
                std::size_t at = 0;
                while (true) {
                    const std::size_t next = display.find('\\', at);
                    const std::string prefix = display.substr(0, next);
                    auto& entry = keys[foldPath(prefix)];
                    if (entry.name.empty()) {
                        entry.name = prefix;
                        added = true;
                    }
                    if (next == std::string::npos)
                        break;
                    at = next + 1;
                }
                return added;
            });
            if (saved != ERROR_SUCCESS)
                return saved;
            exists = true;
        }
    }
    if (!exists)
        return ERROR_FILE_NOT_FOUND;
    std::lock_guard lock(mutex_);
    key = nextHandle_++;
    open_[key] = OpenKey{root, folded, display};
    return ERROR_SUCCESS;
}

LONG Registry::closeKey(HKEY key) {
    std::lock_guard lock(mutex_);
    return open_.erase(key) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG Registry::queryValue(HKEY key, std::string_view name, RegValue& value) {
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (auto provider = providerFor(open->root, open->path)) {
        auto found = provider->value(name);
        if (!found)
            return ERROR_FILE_NOT_FOUND;
        value = std::move(*found);
        return ERROR_SUCCESS;
    }
    auto hive = hiveFor(open->root);
    if (!hive)
        return ERROR_FILE_NOT_FOUND;
    LONG result = ERROR_FILE_NOT_FOUND;
    hive->read([&](const Hive::Keys& keys) {
        const Hive::Key* stored = findKey(keys, open->path);
        if (!stored)
            return;
        const std::string folded = foldName(name);
        auto it = std::find_if(stored->values.begin(), stored->values.end(),
                               [&](const auto& entry) { return foldName(entry.first) == folded; });
        if (it != stored->values.end()) {
            value = it->second;
            result = ERROR_SUCCESS;
        }
    });
    return result;
}

LONG Registry::setValue(HKEY key, std::string_view name, const RegValue& value) {
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (auto provider = providerFor(open->root, open->path))
        return provider->setValue(name, value);
    auto hive = hiveFor(open->root);
    if (!hive)
        return ERROR_FILE_NOT_FOUND;
    LONG result = ERROR_SUCCESS;
    const LONG saved = hive->modify([&](Hive::Keys& keys) {
        auto it = keys.find(open->path);
        if (it == keys.end()) {
            // Another process deleted the key since it was opened: bring it back.
            it = keys.emplace(open->path, Hive::Key{open->displayPath, {}}).first;
        }
        auto found = findValue(it->second.values, name);
        if (found != it->second.values.end())
            found->second = value;
        else
            it->second.values.emplace_back(std::string(name), value);
        return true;
    });
    return saved != ERROR_SUCCESS ? saved : result;
}

LONG Registry::deleteValue(HKEY key, std::string_view name) {
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (auto provider = providerFor(open->root, open->path))
        return provider->deleteValue(name);
    auto hive = hiveFor(open->root);
    if (!hive)
        return ERROR_FILE_NOT_FOUND;
    LONG result = ERROR_FILE_NOT_FOUND;
    const LONG saved = hive->modify([&](Hive::Keys& keys) {
        auto it = keys.find(open->path);
        if (it == keys.end())
            return false;
        auto found = findValue(it->second.values, name);
        if (found == it->second.values.end())
            return false;
        it->second.values.erase(found);
        result = ERROR_SUCCESS;
        return true;
    });
    return saved != ERROR_SUCCESS ? saved : result;
}

LONG Registry::disableValue(HKEY key, std::string_view name) {
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (auto provider = providerFor(open->root, open->path))
        return provider->disableValue(name);
    return deleteValue(key, name);
}

LONG Registry::disabledValues(HKEY key, std::vector<std::pair<std::string, RegValue>>& values) {
    values.clear();
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (auto provider = providerFor(open->root, open->path))
        values = provider->disabledValues();
    return ERROR_SUCCESS;
}

LONG Registry::forgetDisabledValue(HKEY key, std::string_view name) {
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (auto provider = providerFor(open->root, open->path))
        return provider->forgetDisabledValue(name);
    return ERROR_SUCCESS;
}

LONG Registry::valueNames(HKEY key, std::vector<std::string>& names) {
    names.clear();
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    if (auto provider = providerFor(open->root, open->path)) {
        names = provider->valueNames();
        return ERROR_SUCCESS;
    }
    auto hive = hiveFor(open->root);
    if (!hive)
        return ERROR_SUCCESS;
    hive->read([&](const Hive::Keys& keys) {
        if (const Hive::Key* stored = findKey(keys, open->path))
            for (const auto& entry : stored->values)
                names.push_back(entry.first);
    });
    return ERROR_SUCCESS;
}

LONG Registry::subKeyNames(HKEY key, std::vector<std::string>& names) {
    names.clear();
    const auto open = lookup(key);
    if (!open)
        return ERROR_INVALID_HANDLE;
    const std::string prefix = open->path.empty() ? std::string() : open->path + "\\";
    // The name of the child of the open key on the way to `folded`, when there is one.
    const auto childName = [&](const std::string& folded, const std::string& shown) {
        std::optional<std::string> name;
        if (folded.size() > prefix.size() && folded.compare(0, prefix.size(), prefix) == 0) {
            // `shown` folds to `folded`, so its separators sit at the same places.
            const std::size_t end = shown.find('\\', prefix.size());
            name =
                shown.substr(prefix.size(), end == std::string::npos ? end : end - prefix.size());
        }
        return name;
    };
    const auto add = [&](const std::string& name) {
        const std::string folded = foldName(name);
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& known) { return foldName(known) == folded; }))
            names.push_back(name);
    };
    if (auto hive = hiveFor(open->root)) {
        hive->read([&](const Hive::Keys& keys) {
            for (const auto& [folded, stored] : keys)
                if (folded.find('\\', prefix.size()) == std::string::npos)
                    if (auto name = childName(folded, stored.name.empty() ? folded : stored.name))
                        add(*name);
        });
    }
    std::lock_guard lock(mutex_);
    for (const auto& [where, mount] : providers_)
        if (where.first == open->root)
            if (auto name = childName(where.second, mount.displayPath))
                add(*name);
    return ERROR_SUCCESS;
}

} // namespace brenvik::platform
