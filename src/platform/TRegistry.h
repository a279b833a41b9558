#pragma once

// The registry accessor the program's models use: one root, at most one open key at a time,
// typed reads that raise ERegistryException when a value is missing or of another type.

#include "platform/Registry.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace brenvik::platform {

class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry {
public:
    TRegistry();
    explicit TRegistry(HKEY root);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY RootKey() const { return root_; }
    void SetRootKey(HKEY root);

    // A path that begins with a backslash is taken from the root; any other path from the open
    // key when one is open, else from the root.
    bool OpenKey(const std::string& path, bool canCreate);
    bool OpenKeyReadOnly(const std::string& path);
    void CloseKey();
    bool KeyExists(const std::string& path);
    const std::string& CurrentPath() const { return currentPath_; }

    bool ValueExists(const std::string& name);
    TRegDataType GetDataType(const std::string& name);
    std::uint32_t GetDataTypeCode(const std::string& name); // REG_NONE when missing
    std::vector<std::string> GetValueNames();
    std::vector<std::string> GetKeyNames();

    std::int32_t ReadInteger(const std::string& name);
    bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
    std::string ReadString(const std::string& name);
    void WriteInteger(const std::string& name, std::int32_t value);
    void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    bool DeleteValue(const std::string& name);

private:
    std::string resolve(const std::string& path) const;
    void write(const std::string& name, const RegValue& value);

    Registry& registry_;
    HKEY root_ = HKEY_CURRENT_USER;
    HKEY key_ = 0;
    std::string currentPath_;
};

} // namespace brenvik::platform
