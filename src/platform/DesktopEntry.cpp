#include "platform/DesktopEntry.h"

#include <algorithm>

namespace brenvik::platform {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (isBlank(text.front()) || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

DesktopEntry::Line DesktopEntry::classify(std::string text) {
    Line line;
    line.text = std::move(text);
    std::string_view body = trimmed(line.text);
    if (body.empty()) {
        line.kind = Kind::Blank;
    } else if (body.front() == '#') {
        line.kind = Kind::Comment;
    } else if (body.front() == '[' && body.back() == ']') {
        line.kind = Kind::Group;
        line.name = std::string(body.substr(1, body.size() - 2));
    } else if (const auto equals = body.find('='); equals != std::string_view::npos && equals > 0) {
        const std::string_view key = trimmed(body.substr(0, equals));
        // Blanks after '=' are dropped, trailing ones belong to the value; only the carriage
        // return of a CRLF file does not.
        std::string_view value = std::string_view(line.text);
        value = value.substr(value.find('=') + 1);
        while (!value.empty() && isBlank(value.front()))
            value.remove_prefix(1);
        if (!value.empty() && value.back() == '\r')
            value.remove_suffix(1);
        line.kind = key.empty() ? Kind::Unknown : Kind::Entry;
        line.name = std::string(key);
        line.value = std::string(value);
    }
    return line;
}

DesktopEntry DesktopEntry::parse(std::string_view text) {
    DesktopEntry entry;
    entry.finalNewline_ = text.empty() || text.back() == '\n';
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::size_t stop = end == std::string_view::npos ? text.size() : end;
        entry.lines_.push_back(classify(std::string(text.substr(at, stop - at))));
        at = stop + 1;
    }
    return entry;
}

std::string DesktopEntry::text() const {
    std::string text;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += lines_[i].text;
    }
    if (finalNewline_ && !lines_.empty())
        text += '\n';
    return text;
}

std::optional<std::pair<std::size_t, std::size_t>>
DesktopEntry::range(std::string_view group) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (lines_[i].kind != Kind::Group || lines_[i].name != group)
            continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && lines_[end].kind != Kind::Group)
            ++end;
        return std::pair{i + 1, end};
    }
    return std::nullopt;
}

bool DesktopEntry::hasGroup(std::string_view group) const {
    return range(group).has_value();
}

std::vector<std::string> DesktopEntry::groups() const {
    std::vector<std::string> groups;
    for (const auto& line : lines_)
        if (line.kind == Kind::Group)
            groups.push_back(line.name);
    return groups;
}

std::vector<std::string> DesktopEntry::keys(std::string_view group) const {
    std::vector<std::string> keys;
    if (const auto lines = range(group))
        for (std::size_t i = lines->first; i < lines->second; ++i)
            if (lines_[i].kind == Kind::Entry)
                keys.push_back(lines_[i].name);
    return keys;
}

bool DesktopEntry::hasUnknownLines() const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [](const Line& line) { return line.kind == Kind::Unknown; });
}

bool DesktopEntry::hasComments() const {
    return std::any_of(lines_.begin(), lines_.end(),
                       [](const Line& line) { return line.kind == Kind::Comment; });
}

std::optional<std::string> DesktopEntry::raw(std::string_view group, std::string_view key) const {
    std::optional<std::string> found;
    if (const auto lines = range(group))
        for (std::size_t i = lines->first; i < lines->second; ++i)
            if (lines_[i].kind == Kind::Entry && lines_[i].name == key)
                found = lines_[i].value;
    return found;
}

std::optional<std::string> DesktopEntry::string(std::string_view group,
                                                std::string_view key) const {
    auto value = raw(group, key);
    if (!value)
        return std::nullopt;
    return unescapeDesktopString(*value);
}

std::optional<bool> DesktopEntry::boolean(std::string_view group, std::string_view key) const {
    const auto value = raw(group, key);
    if (!value)
        return std::nullopt;
    const std::string_view text = trimmed(*value);
    if (text == "true" || text == "1")
        return true;
    if (text == "false" || text == "0")
        return false;
    return std::nullopt;
}

void DesktopEntry::setRaw(std::string_view group, std::string_view key, std::string_view rawValue) {
    Line line = classify(std::string(key) + "=" + std::string(rawValue));
    auto lines = range(group);
    if (!lines) {
        // The main group must come first; comments before it stay at the top of the file.
        std::size_t at = lines_.size();
        if (group == MainGroup) {
            at = 0;
            while (at < lines_.size() && lines_[at].kind != Kind::Group)
                ++at;
        }
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                      classify("[" + std::string(group) + "]"));
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at + 1), std::move(line));
        return;
    }
    std::optional<std::size_t> last;
    std::size_t insertAt = lines->first;
    for (std::size_t i = lines->first; i < lines->second; ++i) {
        if (lines_[i].kind != Kind::Entry)
            continue;
        insertAt = i + 1;
        if (lines_[i].name == key)
            last = i;
    }
    if (last)
        lines_[*last] = std::move(line);
    else
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(line));
}

void DesktopEntry::setString(std::string_view group, std::string_view key, std::string_view value) {
    setRaw(group, key, escapeDesktopString(value));
}

std::size_t DesktopEntry::removeIf(std::string_view group, std::string_view key,
                                   const std::function<bool(std::string_view)>& which) {
    const auto lines = range(group);
    if (!lines)
        return 0;
    std::size_t removed = 0;
    for (std::size_t i = lines->second; i-- > lines->first;) {
        if (lines_[i].kind == Kind::Entry && lines_[i].name == key && which(lines_[i].value)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            ++removed;
        }
    }
    return removed;
}

std::string unescapeDesktopString(std::string_view raw) {
    std::string value;
    value.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\' || i + 1 == raw.size()) {
            value += raw[i];
            continue;
        }
        switch (raw[++i]) {
        case 's':
            value += ' ';
            break;
        case 'n':
            value += '\n';
            break;
        case 't':
            value += '\t';
            break;
        case 'r':
            value += '\r';
            break;
        case '\\':
            value += '\\';
            break;
        default:
            // Not a string escape (";" of a list, or a stray backslash): left for the reader
            // of the particular key.
            value += '\\';
            value += raw[i];
        }
    }
    return value;
}

std::string escapeDesktopString(std::string_view value) {
    std::string raw;
    raw.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\')
            raw += "\\\\";
        else if (c == '\n')
            raw += "\\n";
        else if (c == '\t')
            raw += "\\t";
        else if (c == '\r')
            raw += "\\r";
        else if (c == ' ' && i == 0)
            raw += "\\s"; // a reader drops blanks after '='
        else
            raw += c;
    }
    return raw;
}

namespace {

bool isReserved(char c) {
    static constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    return reserved.find(c) != std::string_view::npos;
}

bool escapedInQuotes(char c) {
    return c == '"' || c == '`' || c == '$' || c == '\\';
}

std::string undoPercent(std::string_view argument) {
    std::string result;
    for (std::size_t i = 0; i < argument.size(); ++i) {
        result += argument[i];
        if (argument[i] == '%' && i + 1 < argument.size() && argument[i + 1] == '%')
            ++i;
    }
    return result;
}

} // namespace

std::optional<std::vector<std::string>> splitExec(std::string_view exec) {
    std::vector<std::string> arguments;
    std::size_t i = 0;
    while (true) {
        while (i < exec.size() && isBlank(exec[i]))
            ++i;
        if (i == exec.size())
            return arguments;
        std::string argument;
        while (i < exec.size() && !isBlank(exec[i])) {
            if (exec[i] != '"') {
                argument += exec[i++];
                continue;
            }
            ++i;
            while (true) {
                if (i == exec.size())
                    return std::nullopt;
                if (exec[i] == '"')
                    break;
                if (exec[i] == '\\' && i + 1 < exec.size() && escapedInQuotes(exec[i + 1]))
                    ++i;
                argument += exec[i++];
            }
            ++i;
        }
        arguments.push_back(undoPercent(argument));
    }
}

std::string quoteExecArgument(std::string_view argument) {
    if (!argument.empty() && std::none_of(argument.begin(), argument.end(), isReserved))
        return std::string(argument);
    std::string quoted = "\"";
    for (char c : argument) {
        if (escapedInQuotes(c))
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

bool isFieldCode(std::string_view argument) {
    static constexpr std::string_view letters = "fFuUdDnNickvm";
    return argument.size() == 2 && argument[0] == '%' &&
           letters.find(argument[1]) != std::string_view::npos;
}

std::string joinExec(const std::vector<std::string>& arguments) {
    std::string exec;
    for (const auto& argument : arguments) {
        if (!exec.empty())
            exec += ' ';
        // A field code the launcher fills in (or drops) stays one; any other percent sign is
        // a literal one.
        if (isFieldCode(argument)) {
            exec += argument;
            continue;
        }
        std::string doubled;
        for (char c : argument) {
            doubled += c;
            if (c == '%')
                doubled += '%';
        }
        exec += quoteExecArgument(doubled);
    }
    return exec;
}

} // namespace brenvik::platform
