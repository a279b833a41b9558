#include "RunKeys.h"

#include "platform/Platform.h"
#include "startup/StartupClass.h"

#include <gtest/gtest.h>

namespace brenvik::test {

using namespace platform;

void putValue(HKEY root, const std::string& key, const std::string& name, const RegValue& value) {
    Registry& registry = *current().registry;
    HKEY handle = 0;
    ASSERT_EQ(registry.openKey(root, key, true, handle), ERROR_SUCCESS);
    EXPECT_EQ(registry.setValue(handle, name, value), ERROR_SUCCESS);
    registry.closeKey(handle);
}

std::optional<RegValue> valueOf(HKEY root, const std::string& key, const std::string& name) {
    Registry& registry = *current().registry;
    HKEY handle = 0;
    if (registry.openKey(root, key, false, handle) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    const LONG found = registry.queryValue(handle, name, value);
    registry.closeKey(handle);
    return found == ERROR_SUCCESS ? std::optional(value) : std::nullopt;
}

void deleteValue(HKEY root, const std::string& key, const std::string& name) {
    TRegistry registry(root);
    ASSERT_TRUE(registry.OpenKey(key, false));
    ASSERT_TRUE(registry.DeleteValue(name));
}

RunValues runValues() {
    RunValues values;
    TRegistry registry;
    for (const TStartupSource& source : StartupSources) {
        registry.SetRootKey(source.root);
        if (!registry.OpenKey(std::string(source.keyPath), false))
            continue;
        for (const std::string& name : registry.GetValueNames())
            values[{source.root, std::string(source.keyPath), name}] =
                *valueOf(source.root, std::string(source.keyPath), name);
    }
    return values;
}

} // namespace brenvik::test
