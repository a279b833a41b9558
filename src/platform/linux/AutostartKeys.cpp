#include "platform/linux/AutostartKeys.h"

#include "platform/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvik::platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view Suffix = ".desktop";
constexpr std::string_view Group = DesktopEntry::MainGroup;
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

std::string folded(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return result;
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
    const std::string wanted = folded(name);
    for (auto& id : idsIn(folder))
        if (folded(id) == wanted)
            return id;
    return std::nullopt;
}

std::optional<DesktopEntry> load(const fs::path& file) {
    const auto text = readWholeFile(file, MaxEntrySize);
    if (!text)
        return std::nullopt;
    return DesktopEntry::parse(*text);
}

bool isActive(const DesktopEntry& entry) {
    const auto hidden = entry.raw(Group, "Hidden");
    const auto enabled = entry.raw(Group, "X-GNOME-Autostart-enabled");
    return !(hidden && isTrue(*hidden)) && !(enabled && isFalse(*enabled));
}

std::optional<std::string> commandOf(const DesktopEntry& entry) {
    if (!isActive(entry))
        return std::nullopt;
    const auto type = entry.string(Group, "Type");
    if (type && trimmedValue(*type) != "Application")
        return std::nullopt;
    const auto exec = entry.string(Group, "Exec");
    if (!exec)
        return std::nullopt;
    return commandFromExec(*exec);
}

std::optional<std::string> commandOf(const fs::path& file) {
    const auto entry = load(file);
    return entry ? commandOf(*entry) : std::nullopt;
}

// Makes `entry` start `command`: removes what hides it, makes it an application (launchers
// start nothing else), and rewrites Exec only when it does not already say `command`.
void activate(DesktopEntry& entry, std::string_view command) {
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
        return key == "Hidden" || key == "X-GNOME-Autostart-enabled";
    });
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
    // An unquoted absolute path with blanks is one program, as long as the words do not say
    // otherwise: its first word is no file, or the whole of it is.
    const bool onePath = commandLine && command.front() == '/' &&
                         (isFile(fs::path(command)) || !isFile(fs::path(arguments->front())));
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
    if (!isValidAutostartName(name))
        return ERROR_INVALID_PARAMETER;
    const auto id = idIn(folder_, name);
    if (!id)
        return ERROR_FILE_NOT_FOUND;
    auto entry = load(fileOf(folder_, *id));
    if (!entry || !commandOf(*entry))
        return ERROR_FILE_NOT_FOUND;
    entry->setRaw(Group, "Hidden", "true");
    return save(fileOf(folder_, *id), *entry);
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
    const auto system = found ? load(found->file) : std::nullopt;
    const bool systemSays = system && commandOf(*system) == value.text;
    if (userMasks(id)) {
        auto entry = load(userFile);
        if (!entry)
            return ERROR_ACCESS_DENIED;
        if (isOnlyMask(*entry) && systemSays)
            return ::unlink(userFile.c_str()) == 0 ? ERROR_SUCCESS : ERROR_CANTWRITE;
        if (!isOnlyMask(*entry)) {
            activate(*entry, value.text);
            return save(userFile, *entry);
        }
    } else if (systemSays) {
        return ERROR_SUCCESS;
    }
    // The system entry cannot say this: the user's own copy of it (or a new entry) does.
    DesktopEntry entry = system ? *system : newEntry(id, value.text);
    activate(entry, value.text);
    return save(userFile, entry);
}

LONG SystemAutostartKey::deleteValue(std::string_view name) {
    if (!isValidAutostartName(name))
        return ERROR_INVALID_PARAMETER;
    const auto found = systemFile(name);
    if (!found || userMasks(found->id) || !commandOf(found->file))
        return ERROR_FILE_NOT_FOUND;
    DesktopEntry mask;
    mask.setRaw(Group, "Hidden", "true");
    return save(fileOf(userFolder_, found->id), mask);
}

} // namespace brenvik::platform
