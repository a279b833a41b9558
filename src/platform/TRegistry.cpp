#include "platform/TRegistry.h"

#include "platform/Platform.h"

namespace brenvik::platform {

TRegistry::TRegistry() : registry_(*current().registry) {}

TRegistry::TRegistry(HKEY root) : TRegistry() { root_ = root; }

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
}

std::string TRegistry::resolve(const std::string& path) const {
    if (!path.empty() && path.front() == '\\')
        return path.substr(1);
    if (key_ != 0 && !currentPath_.empty())
        return currentPath_ + "\\" + path;
    return path;
}

bool TRegistry::OpenKey(const std::string& path, bool canCreate) {
    const std::string full = resolve(path);
    HKEY key = 0;
    if (registry_.openKey(root_, full, canCreate, key) != ERROR_SUCCESS)
        return false;
    CloseKey();
    key_ = key;
    currentPath_ = full;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& path) { return OpenKey(path, false); }

void TRegistry::CloseKey() {
    if (key_ != 0)
        registry_.closeKey(key_);
    key_ = 0;
    currentPath_.clear();
}

bool TRegistry::KeyExists(const std::string& path) {
    HKEY key = 0;
    if (registry_.openKey(root_, resolve(path), false, key) != ERROR_SUCCESS)
        return false;
    registry_.closeKey(key);
    return true;
}

bool TRegistry::ValueExists(const std::string& name) {
    RegValue value;
    return key_ != 0 && registry_.queryValue(key_, name, value) == ERROR_SUCCESS;
}

std::uint32_t TRegistry::GetDataTypeCode(const std::string& name) {
    RegValue value;
    if (key_ == 0 || registry_.queryValue(key_, name, value) != ERROR_SUCCESS)
        return REG_NONE;
    return value.type;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
    switch (GetDataTypeCode(name)) {
    case REG_SZ:
        return TRegDataType::rdString;
    case REG_EXPAND_SZ:
        return TRegDataType::rdExpandString;
    case REG_DWORD:
        return TRegDataType::rdInteger;
    case REG_BINARY:
        return TRegDataType::rdBinary;
    default:
        return TRegDataType::rdUnknown;
    }
}

std::vector<std::string> TRegistry::GetValueNames() {
    std::vector<std::string> names;
    if (key_ != 0)
        registry_.valueNames(key_, names);
    return names;
}

std::vector<std::string> TRegistry::GetKeyNames() {
    std::vector<std::string> names;
    if (key_ != 0)
        registry_.subKeyNames(key_, names);
    return names;
}

std::int32_t TRegistry::ReadInteger(const std::string& name) {
    RegValue value;
    if (key_ == 0 || registry_.queryValue(key_, name, value) != ERROR_SUCCESS)
        throw ERegistryException("Invalid data type for '" + name + "'");
    if (value.type != REG_DWORD)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return static_cast<std::int32_t>(value.number);
}

std::string TRegistry::ReadString(const std::string& name) {
    RegValue value;
    if (key_ == 0 || registry_.queryValue(key_, name, value) != ERROR_SUCCESS)
        return {};
    if (!value.isString())
        throw ERegistryException("Invalid data type for '" + name + "'");
    return value.text;
}

void TRegistry::write(const std::string& name, const RegValue& value) {
    if (key_ == 0 || registry_.setValue(key_, name, value) != ERROR_SUCCESS)
        throw ERegistryException("Failed to set data for '" + name + "'");
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value) {
    write(name, RegValue::dword(static_cast<std::uint32_t>(value)));
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    write(name, RegValue::string(value, REG_SZ));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value) {
    write(name, RegValue::string(value, REG_EXPAND_SZ));
}

bool TRegistry::DeleteValue(const std::string& name) {
    return key_ != 0 && registry_.deleteValue(key_, name) == ERROR_SUCCESS;
}

} // namespace brenvik::platform
