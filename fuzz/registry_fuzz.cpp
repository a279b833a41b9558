// The registry's text readers on arbitrary input: the hive format, desktop entries, Exec command
// lines and os-release. Besides not crashing, each must keep its round trip: what it writes reads
// back the same, and a desktop entry it did not change is given back byte for byte.

#include "platform/DesktopEntry.h"
#include "platform/HiveFile.h"
#include "platform/linux/AutostartKeys.h"
#include "platform/linux/OsRelease.h"

#include <cstdint>
#include <cstdlib>

using namespace brenvik::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    if (const auto keys = HiveFile::parse("HKEY_CURRENT_USER", text)) {
        const std::string written = HiveFile::format("HKEY_CURRENT_USER", *keys);
        const auto reread = HiveFile::parse("HKEY_CURRENT_USER", written);
        if (!reread || HiveFile::format("HKEY_CURRENT_USER", *reread) != written)
            std::abort();
    }

    auto entry = DesktopEntry::parse(text);
    if (entry.text() != text)
        std::abort();
    entry.setRaw(DesktopEntry::MainGroup, "Hidden", "true");
    entry.removeIf(DesktopEntry::MainGroup, "Hidden", [](std::string_view) { return true; });

    if (unescapeDesktopString(escapeDesktopString(text)) != text)
        std::abort();
    if (const auto arguments = splitExec(text);
        arguments && splitExec(joinExec(*arguments)) != arguments)
        std::abort();
    // A NUL cannot be in a path, so it has no file-system meaning to test.
    if (text.find('\0') == std::string_view::npos && commandFromExec(execFromCommand(text)) != text)
        std::abort();

    parseOsRelease(text);
    return 0;
}
