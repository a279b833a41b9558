#pragma once

// A freedesktop desktop entry file, kept line by line: changing one key rewrites that line only,
// so comments, other groups, translations (Key[xx]) and keys this program does not know all
// survive a rewrite byte for byte.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik::platform {

class DesktopEntry {
public:
    static constexpr std::string_view MainGroup = "Desktop Entry";

    DesktopEntry() = default;
    static DesktopEntry parse(std::string_view text);
    std::string text() const;

    bool hasGroup(std::string_view group) const;
    std::vector<std::string> groups() const;
    // Keys of `group` in file order, translations included as written ("Name[de]").
    std::vector<std::string> keys(std::string_view group) const;
    // Lines that are neither blank, a comment, a group header nor a key: a malformed file.
    bool hasUnknownLines() const;
    bool hasComments() const;

    // The value of `key` in `group` as written (a later duplicate wins); exactly that key, so
    // "Name" does not find "Name[de]".
    std::optional<std::string> raw(std::string_view group, std::string_view key) const;
    // The same with the string escapes undone.
    std::optional<std::string> string(std::string_view group, std::string_view key) const;
    // "true" or "1" is true, "false" or "0" false; anything else is no boolean.
    std::optional<bool> boolean(std::string_view group, std::string_view key) const;

    // Sets `key` to an already escaped value: its (last) line is rewritten in place, or a new
    // line goes after the last key of the group. A missing group is added; the main group goes
    // before every other group, as the format requires.
    void setRaw(std::string_view group, std::string_view key, std::string_view rawValue);
    void setString(std::string_view group, std::string_view key, std::string_view value);
    // Removes the lines of `key` whose raw value satisfies `which`; returns how many went.
    std::size_t removeIf(std::string_view group, std::string_view key,
                         const std::function<bool(std::string_view)>& which);

private:
    enum class Kind { Blank, Comment, Group, Entry, Unknown };
    struct Line {
        std::string text; // as in the file, without the line break
        Kind kind = Kind::Unknown;
        std::string name; // group name for Group, key for Entry
        std::string value;
    };
    static Line classify(std::string text);
    // Index range [first, last) of the lines that belong to `group`; nullopt when missing.
    std::optional<std::pair<std::size_t, std::size_t>> range(std::string_view group) const;

    std::vector<Line> lines_;
    bool finalNewline_ = true;
};

// The string escapes of the format: \s space, \n, \t, \r and \\.
std::string unescapeDesktopString(std::string_view raw);
// Escapes a string value so that it reads back unchanged (a leading blank becomes \s).
std::string escapeDesktopString(std::string_view value);

// Splits an Exec command line (string escapes already undone) into its arguments, undoing the
// double-quote quoting; "%%" becomes "%" and other field codes stay as written. Nullopt when a
// quote is not closed.
std::optional<std::vector<std::string>> splitExec(std::string_view exec);
// Whether an argument is a whole field code ("%U", "%f", ...), which a launcher expands or drops.
bool isFieldCode(std::string_view argument);
// The Exec command line of `arguments` (before string escaping): an argument with a reserved
// character is double-quoted; a whole field code stays as it is, any other "%" is doubled.
std::string joinExec(const std::vector<std::string>& arguments);
// One argument quoted as the command line needs it (without doubling "%").
std::string quoteExecArgument(std::string_view argument);

} // namespace brenvik::platform
