#pragma once

// Reading and planting registry values in the tests of the startup manager.

#include "platform/TRegistry.h"

#include <map>
#include <optional>
#include <string>
#include <tuple>

namespace brenvik::test {

inline const std::string RunKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const std::string RunOnceKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline const std::string RunOnceExKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx";
inline const std::string UserRun = "HKEY_CURRENT_USER" + RunKey;
inline const std::string MachineRun = "HKEY_LOCAL_MACHINE" + RunKey;

// Writes a value of any type, creating the key.
void putValue(platform::HKEY root, const std::string& key, const std::string& name,
              const platform::RegValue& value);
inline void putString(platform::HKEY root, const std::string& key, const std::string& name,
                      const std::string& text) {
    putValue(root, key, name, platform::RegValue::string(text));
}
std::optional<platform::RegValue> valueOf(platform::HKEY root, const std::string& key,
                                          const std::string& name);
void deleteValue(platform::HKEY root, const std::string& key, const std::string& name);

// Every value of the keys the startup manager reads, to show that something left them alone.
using RunValues =
    std::map<std::tuple<platform::HKEY, std::string, std::string>, platform::RegValue>;
RunValues runValues();

} // namespace brenvik::test
