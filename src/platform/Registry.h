#pragma once

// A registry in the shape the program's rules expect: predefined roots, keys opened and closed per
// operation, typed values, results as error codes. Stored keys live in hives; some keys are views
// of live system state, served by a KeyProvider mounted at their path.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::platform {

using HKEY = std::uint32_t;
using LONG = std::int32_t;

inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;
inline constexpr HKEY HKEY_DYN_DATA = 0x80000006u;

inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_CANTWRITE = 1013;

// One typed value. Strings are UTF-8; REG_DWORD uses `number`; every other type keeps its bytes.
struct RegValue {
    std::uint32_t type = REG_NONE;
    std::string text;
    std::uint32_t number = 0;
    std::vector<std::uint8_t> bytes;

    static RegValue string(std::string text, std::uint32_t type = REG_SZ);
    static RegValue dword(std::uint32_t number);
    static RegValue binary(std::uint32_t type, std::vector<std::uint8_t> bytes);

    bool isString() const { return type == REG_SZ || type == REG_EXPAND_SZ; }
    friend bool operator==(const RegValue&, const RegValue&) = default;
};

// A key whose values come from live system state rather than a hive.
class KeyProvider {
public:
    virtual ~KeyProvider() = default;
    virtual std::vector<std::string> valueNames() = 0;
    virtual std::optional<RegValue> value(std::string_view name) = 0;
    virtual LONG setValue(std::string_view name, const RegValue& value);
    virtual LONG deleteValue(std::string_view name);
    // Deletes a value the user disabled. A key that can remember such values keeps a record of
    // it (listed by disabledValues until forgotten or written again); others just delete it.
    virtual LONG disableValue(std::string_view name);
    virtual std::vector<std::pair<std::string, RegValue>> disabledValues();
    // Drops the record of a disabled value; a value of that name that is present stays as it is.
    virtual LONG forgetDisabledValue(std::string_view name);
};

// The stored keys of one root: key path (backslash-separated, without leading backslash, compared
// without regard to letter case) to named values (names compared the same way).
class Hive {
public:
    struct Key {
        std::string name;                                     // the path as first written
        std::vector<std::pair<std::string, RegValue>> values; // in the order they were written
    };
    using Keys = std::map<std::string, Key>; // by folded path

    virtual ~Hive() = default;

    // Runs `read` over the current keys. A file-backed hive first picks up changes that another
    // process saved.
    virtual void read(const std::function<void(const Keys&)>& read);
    // Runs `change` over the keys and keeps the result when it returns true. A file-backed hive
    // holds its lock across reload, change and atomic save, so two processes never lose each
    // other's changes; a save that fails gives ERROR_CANTWRITE and the change is dropped.
    virtual LONG modify(const std::function<bool(Keys&)>& change);

protected:
    Keys keys_;
    std::mutex mutex_;
};

class Registry {
public:
    Registry();
    ~Registry();
    Registry(const Registry&) = delete;
    Registry& operator=(const Registry&) = delete;

    // Gives the stored keys of a root to `hive`. Roots without a hive hold no stored keys.
    void setHive(HKEY root, std::shared_ptr<Hive> hive);
    // Serves the key at `path` under `root` (exactly that key) from `provider`. The keys above
    // a mounted key exist and list it among their subkeys.
    void mount(HKEY root, std::string_view path, std::shared_ptr<KeyProvider> provider);

    LONG openKey(HKEY root, std::string_view path, bool create, HKEY& key);
    LONG closeKey(HKEY key);
    LONG queryValue(HKEY key, std::string_view name, RegValue& value);
    LONG setValue(HKEY key, std::string_view name, const RegValue& value);
    LONG deleteValue(HKEY key, std::string_view name);
    // The disabled values of a live key (see KeyProvider); a stored key keeps none, so there
    // disabling is deleting.
    LONG disableValue(HKEY key, std::string_view name);
    LONG disabledValues(HKEY key, std::vector<std::pair<std::string, RegValue>>& values);
    LONG forgetDisabledValue(HKEY key, std::string_view name);
    // Value names in a stable order: the order in which they were first written.
    LONG valueNames(HKEY key, std::vector<std::string>& names);
    LONG subKeyNames(HKEY key, std::vector<std::string>& names);

    // Folds a path for lookup: separators trimmed at both ends, runs collapsed, letters a to z
    // upper-cased.
    static std::string foldPath(std::string_view path);
    // The same without the upper-casing: the path as it is shown and stored.
    static std::string normalizePath(std::string_view path);
    static std::string foldName(std::string_view name);

private:
    struct OpenKey {
        HKEY root;
        std::string path; // folded
        std::string displayPath;
    };
    bool isRoot(HKEY root) const;
    std::shared_ptr<KeyProvider> providerFor(HKEY root, const std::string& folded) const;
    std::shared_ptr<Hive> hiveFor(HKEY root) const;
    std::optional<OpenKey> lookup(HKEY key) const;

    mutable std::mutex mutex_;
    std::map<HKEY, std::shared_ptr<Hive>> hives_;
    struct Mount {
        std::string displayPath;
        std::shared_ptr<KeyProvider> provider;
    };
    bool isMountAncestor(HKEY root, const std::string& folded) const;

    std::map<std::pair<HKEY, std::string>, Mount> providers_; // by root and folded path
    std::map<HKEY, OpenKey> open_;
    HKEY nextHandle_ = 0x100;
};

} // namespace brenvik::platform
