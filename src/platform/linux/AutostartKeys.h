#pragma once

// The `Run` keys as views of the freedesktop autostart folders. A value is one desktop entry:
// its name is the desktop file id (the file name without ".desktop"), its data the entry's
// command line (REG_SZ). An entry with Hidden=true or X-GNOME-Autostart-enabled=false, or
// without an Exec line, is no value.
//
// An entry the session never starts is no value either: OnlyShowIn/NotShowIn that exclude
// $XDG_CURRENT_DESKTOP, a TryExec program that cannot be found, a Type other than Application, an
// empty Exec.
//
// Files are never deleted: deleting a value hides the entry (Hidden=true), so a file that a
// person or a package wrote keeps all its other lines; writing the value again un-hides it.
// Disabling a value hides it the same way and also marks the file with AutostartDisabledMark:
// the folder itself then records what this program disabled, so no crash and no other copy's
// save can lose such an entry. Every rewrite replaces the file atomically and changes only the
// lines it must.

#include "platform/DesktopEntry.h"
#include "platform/Registry.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::platform {

// The key this program adds to an autostart entry it hid as a disabled one.
inline constexpr std::string_view AutostartDisabledMark = "X-Brenvik-Disabled";

// The command line of an Exec value (string escapes undone). An Exec of one argument gives that
// argument as it is, so a program path reads back without quotes; several arguments give a
// command line quoted as Exec quotes, without "%%" doubling.
std::string commandFromExec(std::string_view exec);
// The Exec value (before string escaping) whose command line is `command`: each argument quoted
// on its own, field codes kept. An absolute path with blanks becomes one quoted argument when it
// names a file, or when neither its first word names a file nor a later word is an option or a
// field code; commandFromExec(execFromCommand(c)) == c for every c.
std::string execFromCommand(std::string_view command);
// Whether `name` can be a desktop file id in a folder: not empty, not "." or "..", no '/' or NUL.
bool isValidAutostartName(std::string_view name);

// HKEY_CURRENT_USER's Run key: the user's autostart folder ($XDG_CONFIG_HOME/autostart).
class UserAutostartKey : public KeyProvider {
public:
    explicit UserAutostartKey(std::filesystem::path folder);

    std::vector<std::string> valueNames() override;
    std::optional<RegValue> value(std::string_view name) override;
    LONG setValue(std::string_view name, const RegValue& value) override;
    LONG deleteValue(std::string_view name) override;
    LONG disableValue(std::string_view name) override;
    std::vector<std::pair<std::string, RegValue>> disabledValues() override;
    LONG forgetDisabledValue(std::string_view name) override;

private:
    LONG hideValue(std::string_view name, bool disabled);

    std::filesystem::path folder_;
};

// HKEY_LOCAL_MACHINE's Run key: the system autostart folders ($XDG_CONFIG_DIRS/autostart, the
// earlier folder winning for the same id) as this user sees them: an entry the user's folder
// holds a file of the same id for is the user's, not the system's. The program cannot write the
// system folders: deleting a value writes a user file with Hidden=true that masks the system
// entry, and writing it back removes that mask again, so the session starts the package's entry
// as it is now. Only a value without a system entry becomes a user autostart file.
class SystemAutostartKey : public KeyProvider {
public:
    SystemAutostartKey(std::filesystem::path userFolder,
                       std::vector<std::filesystem::path> systemFolders);

    std::vector<std::string> valueNames() override;
    std::optional<RegValue> value(std::string_view name) override;
    LONG setValue(std::string_view name, const RegValue& value) override;
    LONG deleteValue(std::string_view name) override;
    LONG disableValue(std::string_view name) override;
    std::vector<std::pair<std::string, RegValue>> disabledValues() override;
    LONG forgetDisabledValue(std::string_view name) override;

private:
    LONG hideValue(std::string_view name, bool disabled);
    struct Found {
        std::string id;
        std::filesystem::path file;
    };
    std::optional<Found> systemFile(std::string_view name) const;
    bool userMasks(const std::string& id) const;

    std::filesystem::path userFolder_;
    std::vector<std::filesystem::path> systemFolders_;
};

} // namespace brenvik::platform
