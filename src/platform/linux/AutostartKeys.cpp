#include "platform/linux/AutostartKeys.h"

#include "platform/AsciiCase.h"
#include "platform/AtomicFile.h"
#include "platform/linux/SearchPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvik::platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view Suffix = ".desktop";
constexpr std::string_view Group = DesktopEntry::MainGroup;
constexpr std::string_view DisabledMark = AutostartDisabledMark;
// Desktop entries are a few kilobytes; a bigger file is not one to rewrite.
constexpr std::size_t MaxEntrySize = 1u << 20;

std::string trimmedValue(std::string_view raw) {
    while (!raw.empty() && (raw.front() == ' ' || raw.front() == '\t'))
        raw.remove_prefix(1);
    while (!raw.empty() && (raw.back() == ' ' || raw.back() == '\t'))
        raw.remove_suffix(1);
    return std::string(raw);
}
bool isTrue(std::string_view raw) {
    const auto value = trimmedValue(raw);
    return value == "true" || value == "1";
}
bool isFalse(std::string_view raw) {
    const auto value = trimmedValue(raw);
    return value == "false" || value == "0";
}

std::string joinCommand(const std::vector<std::string>& arguments) {
    std::string command;
    for (const auto& argument : arguments) {
        if (!command.empty())
            command += ' ';
        command += quoteExecArgument(argument);
    }
    return command;
}

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

// Desktop file ids in a folder, sorted so that enumeration is stable.
std::vector<std::string> idsIn(const fs::path& folder) {
    std::vector<std::string> ids;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string file = it->path().filename().string();
        if (file.size() > Suffix.size() && file.ends_with(Suffix) && isFile(it->path()))
            ids.push_back(file.substr(0, file.size() - Suffix.size()));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

fs::path fileOf(const fs::path& folder, std::string_view id) {
    return folder / (std::string(id) + std::string(Suffix));
}

// The id of the file in `folder` for a value name: the exact file, else one whose name differs
// only in letter case (value names are compared that way).
std::optional<std::string> idIn(const fs::path& folder, std::string_view name) {
    if (isFile(fileOf(folder, name)))
        return std::string(name);
    const std::string wanted = upperAscii(name);
    for (auto& id : idsIn(folder))
        if (upperAscii(id) == wanted)
            return id;
    return std::nullopt;
}

std::optional<DesktopEntry> load(const fs::path& file) {
    const auto text = readWholeFile(file, MaxEntrySize);
    if (!text)
        return std::nullopt;
    return DesktopEntry::parse(*text);
}

bool isHidden(const DesktopEntry& entry) {
    const auto hidden = entry.raw(Group, "Hidden");
    return hidden && isTrue(*hidden);
}

bool isActive(const DesktopEntry& entry) {
    const auto enabled = entry.raw(Group, "X-GNOME-Autostart-enabled");
    return !isHidden(entry) && !(enabled && isFalse(*enabled));
}

// Whether this program hid the entry as a disabled one (and so must list it as disabled).
bool isDisabledByUs(const DesktopEntry& entry) {
    const auto mark = entry.raw(Group, DisabledMark);
    return isHidden(entry) && mark && isTrue(*mark);
}

std::vector<std::string> listItems(std::string_view raw, char separator) {
    std::vector<std::string> items;
    std::size_t at = 0;
    while (at <= raw.size()) {
        const std::size_t end = std::min(raw.find(separator, at), raw.size());
        if (end > at)
            items.emplace_back(raw.substr(at, end - at));
        at = end + 1;
    }
    return items;
}

// OnlyShowIn and NotShowIn against the session's desktops ($XDG_CURRENT_DESKTOP, a colon list),
// as the session's own start condition reads them: without the variable no OnlyShowIn matches.
bool shownInThisDesktop(const DesktopEntry& entry) {
    const char* current = std::getenv("XDG_CURRENT_DESKTOP");
    const auto desktops = listItems(current != nullptr ? current : "", ':');
    const auto names = [&](std::string_view key) {
        const auto value = entry.string(Group, key);
        return value ? std::optional(listItems(*value, ';')) : std::nullopt;
    };
    const auto matches = [&](const std::vector<std::string>& listed) {
        return std::any_of(desktops.begin(), desktops.end(), [&](const std::string& desktop) {
            return std::find(listed.begin(), listed.end(), desktop) != listed.end();
        });
    };
    const auto only = names("OnlyShowIn");
    const auto excluded = names("NotShowIn");
    return (!only || matches(*only)) && (!excluded || !matches(*excluded));
}

// The command line of an application entry with an Exec line that is not empty, whatever else
// the entry says.
std::optional<std::string> execCommandOf(const DesktopEntry& entry) {
    const auto type = entry.string(Group, "Type");
    if (type && trimmedValue(*type) != "Application")
        return std::nullopt;
    const auto exec = entry.string(Group, "Exec");
    if (!exec || trimmedValue(*exec).empty())
        return std::nullopt;
    return commandFromExec(*exec);
}

// The command line of an entry the session starts; nullopt for one it never starts.
std::optional<std::string> commandOf(const DesktopEntry& entry) {
    if (!isActive(entry) || !shownInThisDesktop(entry))
        return std::nullopt;
    if (const auto tryExec = entry.string(Group, "TryExec");
        tryExec && findExecutable(trimmedValue(*tryExec)).empty())
        return std::nullopt;
    return execCommandOf(entry);
}

std::optional<std::string> commandOf(const fs::path& file) {
    const auto entry = load(file);
    return entry ? commandOf(*entry) : std::nullopt;
}

// Makes `entry` start `command`: removes what hides it, makes it an application (launchers
// start nothing else), and rewrites Exec only when it does not already say `command`.
void activate(DesktopEntry& entry, std::string_view command) {
    entry.removeIf(Group, DisabledMark, [](std::string_view) { return true; });
    entry.removeIf(Group, "Hidden", isTrue);
    entry.removeIf(Group, "X-GNOME-Autostart-enabled", isFalse);
    const auto type = entry.string(Group, "Type");
    if (!type || trimmedValue(*type) != "Application")
        entry.setRaw(Group, "Type", "Application");
    const auto exec = entry.string(Group, "Exec");
    if (!exec || commandFromExec(*exec) != command)
        entry.setString(Group, "Exec", execFromCommand(command));
}

// Replaces `file` with the entry's text, keeping the file's permissions. A symbolic link (a
// dotfiles setup) is followed, so the link stays a link.
LONG save(const fs::path& file, const DesktopEntry& entry) {
    // Every start writes the program's own value again; an entry that already says it is left
    // untouched.
    if (const auto current = readWholeFile(file, MaxEntrySize); current && *current == entry.text())
        return ERROR_SUCCESS;
    const auto target = replacementTarget(file);
    if (!target)
        return ERROR_CANTWRITE;
    mode_t mode = 0644;
    struct stat info {};
    if (::stat(target->c_str(), &info) == 0)
        mode = info.st_mode & 07777;
    if (!makePrivateFolders(target->parent_path()))
        return ERROR_CANTWRITE;
    return replaceFile(*target, entry.text(), mode) ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

DesktopEntry newEntry(std::string_view id, std::string_view command) {
    DesktopEntry entry;
    entry.setRaw(Group, "Type", "Application");
    entry.setString(Group, "Name", id);
    entry.setString(Group, "Exec", execFromCommand(command));
    return entry;
}

// A user file that does nothing but hide a system entry: removing it loses nothing.
bool isOnlyMask(const DesktopEntry& entry) {
    if (entry.hasComments() || entry.hasUnknownLines() ||
        entry.groups() != std::vector<std::string>{std::string(Group)})
        return false;
    const auto keys = entry.keys(Group);
    return std::all_of(keys.begin(), keys.end(), [](const std::string& key) {
        return key == "Hidden" || key == "X-GNOME-Autostart-enabled" || key == DisabledMark;
    });
}

DesktopEntry maskEntry(bool disabled) {
    DesktopEntry mask;
    mask.setRaw(Group, "Hidden", "true");
    if (disabled)
        mask.setRaw(Group, DisabledMark, "true");
    return mask;
}

// Hides the entry of `file`; `disabled` marks it as one this program disabled, else any such
// mark goes (deleting is no disabling).
LONG hide(const fs::path& file, DesktopEntry entry, bool disabled) {
    entry.setRaw(Group, "Hidden", "true");
    if (disabled)
        entry.setRaw(Group, DisabledMark, "true");
    else
        entry.removeIf(Group, DisabledMark, [](std::string_view) { return true; });
    return save(file, entry);
}

// Takes the mark off an entry this program disabled; it stays hidden.
LONG unmark(const fs::path& file) {
    auto entry = load(file);
    if (!entry || !isDisabledByUs(*entry))
        return ERROR_SUCCESS;
    entry->removeIf(Group, DisabledMark, [](std::string_view) { return true; });
    return save(file, *entry);
}

} // namespace

std::string commandFromExec(std::string_view exec) {
    const auto arguments = splitExec(exec);
    if (!arguments || arguments->empty())
        return std::string(exec); // not a command line we can split: shown as written
    if (arguments->size() == 1)
        return arguments->front();
    return joinCommand(*arguments);
}

std::string execFromCommand(std::string_view command) {
    const auto arguments = splitExec(command);
    const bool commandLine =
        arguments && arguments->size() >= 2 && joinCommand(*arguments) == command;
    // An unquoted absolute path with blanks (a program folder with a blank in its name) is one
    // program when that whole path is a file, or when nothing says otherwise: its first word is
    // no file and no later word is an option or a field code. Otherwise its words are the
    // arguments the session must see.
    const auto looksLikeArgument = [](const std::string& word) {
        return word.starts_with('-') || isFieldCode(word);
    };
    const bool onePath =
        commandLine && command.front() == '/' &&
        (isFile(fs::path(command)) ||
         (!isFile(fs::path(arguments->front())) &&
          std::none_of(arguments->begin() + 1, arguments->end(), looksLikeArgument)));
    if (commandLine && !onePath)
        return joinExec(*arguments);
    return joinExec({std::string(command)});
}

bool isValidAutostartName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

UserAutostartKey::UserAutostartKey(std::filesystem::path folder) : folder_(std::move(folder)) {}

std::vector<std::string> UserAutostartKey::valueNames() {
    std::vector<std::string> names;
    for (auto& id : idsIn(folder_))
        if (commandOf(fileOf(folder_, id)))
            names.push_back(std::move(id));
    return names;
}

std::optional<RegValue> UserAutostartKey::value(std::string_view name) {
    if (!isValidAutostartName(name))
        return std::nullopt;
    const auto id = idIn(folder_, name);
    if (!id)
        return std::nullopt;
    auto command = commandOf(fileOf(folder_, *id));
    if (!command)
        return std::nullopt;
    return RegValue::string(std::move(*command));
}

LONG UserAutostartKey::setValue(std::string_view name, const RegValue& value) {
    if (!isValidAutostartName(name) || !value.isString())
        return ERROR_INVALID_PARAMETER;
    if (const auto id = idIn(folder_, name)) {
        auto entry = load(fileOf(folder_, *id));
        if (!entry)
            return ERROR_ACCESS_DENIED;
        activate(*entry, value.text);
        return save(fileOf(folder_, *id), *entry);
    }
    return save(fileOf(folder_, name), newEntry(name, value.text));
}

LONG UserAutostartKey::deleteValue(std::string_view name) {
    return hideValue(name, false);
}

LONG UserAutostartKey::disableValue(std::string_view name) {
    return hideValue(name, true);
}

LONG UserAutostartKey::hideValue(std::string_view name, bool disabled) {
    if (!isValidAutostartName(name))
        return ERROR_INVALID_PARAMETER;
    const auto id = idIn(folder_, name);
    if (!id)
        return ERROR_FILE_NOT_FOUND;
    auto entry = load(fileOf(folder_, *id));
    if (!entry || !commandOf(*entry))
        return ERROR_FILE_NOT_FOUND;
    return hide(fileOf(folder_, *id), *entry, disabled);
}

std::vector<std::pair<std::string, RegValue>> UserAutostartKey::disabledValues() {
    std::vector<std::pair<std::string, RegValue>> values;
    for (auto& id : idsIn(folder_)) {
        const auto entry = load(fileOf(folder_, id));
        // A mask of a system entry has no command of its own: that entry is the system key's.
        if (!entry || !isDisabledByUs(*entry))
            continue;
        if (auto command = execCommandOf(*entry))
            values.emplace_back(std::move(id), RegValue::string(std::move(*command)));
    }
    return values;
}

LONG UserAutostartKey::forgetDisabledValue(std::string_view name) {
    if (!isValidAutostartName(name))
        return ERROR_INVALID_PARAMETER;
    const auto id = idIn(folder_, name);
    return id ? unmark(fileOf(folder_, *id)) : ERROR_SUCCESS;
}

SystemAutostartKey::SystemAutostartKey(std::filesystem::path userFolder,
                                       std::vector<std::filesystem::path> systemFolders)
    : userFolder_(std::move(userFolder)), systemFolders_(std::move(systemFolders)) {}

std::optional<SystemAutostartKey::Found>
SystemAutostartKey::systemFile(std::string_view name) const {
    for (const auto& folder : systemFolders_)
        if (isFile(fileOf(folder, name)))
            return Found{std::string(name), fileOf(folder, name)};
    for (const auto& folder : systemFolders_)
        if (const auto id = idIn(folder, name))
            return Found{*id, fileOf(folder, *id)};
    return std::nullopt;
}

// The most important folder decides: any user file of the same id replaces the system entry,
// hidden or not.
bool SystemAutostartKey::userMasks(const std::string& id) const {
    std::error_code error;
    return fs::exists(fs::symlink_status(fileOf(userFolder_, id), error));
}

std::vector<std::string> SystemAutostartKey::valueNames() {
    std::vector<std::string> names;
    for (const auto& folder : systemFolders_)
        for (auto& id : idsIn(folder))
            if (std::find(names.begin(), names.end(), id) == names.end())
                names.push_back(std::move(id));
    std::sort(names.begin(), names.end());
    std::erase_if(names, [&](const std::string& id) {
        const auto found = systemFile(id);
        return userMasks(id) || !found || !commandOf(found->file);
    });
    return names;
}

std::optional<RegValue> SystemAutostartKey::value(std::string_view name) {
    if (!isValidAutostartName(name))
        return std::nullopt;
    const auto found = systemFile(name);
    if (!found || userMasks(found->id))
        return std::nullopt;
    auto command = commandOf(found->file);
    if (!command)
        return std::nullopt;
    return RegValue::string(std::move(*command));
}

LONG SystemAutostartKey::setValue(std::string_view name, const RegValue& value) {
    if (!isValidAutostartName(name) || !value.isString())
        return ERROR_INVALID_PARAMETER;
    const auto found = systemFile(name);
    const std::string id = found ? found->id : std::string(name);
    const fs::path userFile = fileOf(userFolder_, id);
    if (userMasks(id)) {
        auto entry = load(userFile);
        if (!entry)
            return ERROR_ACCESS_DENIED;
        // Our override goes, and the session starts the package's entry as it is now: the
        // command remembered from before may be out of date.
        if (isOnlyMask(*entry) && found)
            return ::unlink(userFile.c_str()) == 0 ? ERROR_SUCCESS : ERROR_CANTWRITE;
        if (!isOnlyMask(*entry)) {
            activate(*entry, value.text);
            return save(userFile, *entry);
        }
        // A mask of a system entry that has gone: the user's own entry carries the command on.
        return save(userFile, newEntry(id, value.text));
    }
    const auto system = found ? load(found->file) : std::nullopt;
    if (system && commandOf(*system) == value.text)
        return ERROR_SUCCESS;
    // The system entry cannot say this: the user's own copy of it (or a new entry) does.
    DesktopEntry entry = system ? *system : newEntry(id, value.text);
    activate(entry, value.text);
    return save(userFile, entry);
}

LONG SystemAutostartKey::deleteValue(std::string_view name) {
    return hideValue(name, false);
}

LONG SystemAutostartKey::disableValue(std::string_view name) {
    return hideValue(name, true);
}

LONG SystemAutostartKey::hideValue(std::string_view name, bool disabled) {
    if (!isValidAutostartName(name))
        return ERROR_INVALID_PARAMETER;
    const auto found = systemFile(name);
    if (!found || userMasks(found->id) || !commandOf(found->file))
        return ERROR_FILE_NOT_FOUND;
    return save(fileOf(userFolder_, found->id), maskEntry(disabled));
}

std::vector<std::pair<std::string, RegValue>> SystemAutostartKey::disabledValues() {
    std::vector<std::pair<std::string, RegValue>> values;
    for (auto& id : idsIn(userFolder_)) {
        const auto mask = load(fileOf(userFolder_, id));
        const auto found = systemFile(id);
        if (!mask || !found || !isOnlyMask(*mask) || !isDisabledByUs(*mask))
            continue;
        const auto system = load(found->file);
        if (auto command = system ? execCommandOf(*system) : std::nullopt)
            values.emplace_back(found->id, RegValue::string(std::move(*command)));
    }
    return values;
}

LONG SystemAutostartKey::forgetDisabledValue(std::string_view name) {
    if (!isValidAutostartName(name))
        return ERROR_INVALID_PARAMETER;
    const auto found = systemFile(name);
    if (!found || !userMasks(found->id))
        return ERROR_SUCCESS;
    const auto mask = load(fileOf(userFolder_, found->id));
    return mask && isOnlyMask(*mask) ? unmark(fileOf(userFolder_, found->id)) : ERROR_SUCCESS;
}

} // namespace brenvik::platform
