#include "platform/HiveFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace brenvik::platform {

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

void appendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7f) {
            out += "\\x";
            out += hexDigits[byte >> 4];
            out += hexDigits[byte & 15];
        } else
            out += c;
    }
    out += '"';
}

void appendBytes(std::string& out, const std::vector<std::uint8_t>& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0)
            out += ',';
        out += hexDigits[bytes[i] >> 4];
        out += hexDigits[bytes[i] & 15];
    }
}

void appendValue(std::string& out, const std::string& name, const RegValue& value) {
    if (name.empty())
        out += '@';
    else
        appendQuoted(out, name);
    out += '=';
    switch (value.type) {
    case REG_SZ:
        appendQuoted(out, value.text);
        break;
    case REG_EXPAND_SZ:
        out += "expand:";
        appendQuoted(out, value.text);
        break;
    case REG_DWORD: {
        char digits[9];
        std::snprintf(digits, sizeof digits, "%08x", value.number);
        out += "dword:";
        out += digits;
        break;
    }
    case REG_BINARY:
        out += "hex:";
        appendBytes(out, value.bytes);
        break;
    default: {
        char code[16];
        std::snprintf(code, sizeof code, "hex(%x):", value.type);
        out += code;
        appendBytes(out, value.bytes);
    }
    }
    out += '\n';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A cursor over one line of the file.
struct LineReader {
    std::string_view line;
    std::size_t at = 0;

    bool done() const { return at == line.size(); }
    bool take(std::string_view literal) {
        if (line.substr(at, literal.size()) != literal)
            return false;
        at += literal.size();
        return true;
    }
    std::optional<std::string> quoted() {
        if (!take("\""))
            return std::nullopt;
        std::string text;
        while (at < line.size()) {
            const char c = line[at++];
            if (c == '"')
                return text;
            if (c != '\\') {
                text += c;
                continue;
            }
            if (at == line.size())
                return std::nullopt;
            const char escape = line[at++];
            switch (escape) {
            case '\\':
            case '"':
                text += escape;
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case 'x': {
                const int high = at < line.size() ? hexValue(line[at]) : -1;
                const int low = at + 1 < line.size() ? hexValue(line[at + 1]) : -1;
                if (high < 0 || low < 0)
                    return std::nullopt;
                text += static_cast<char>(high * 16 + low);
                at += 2;
                break;
            }
            default:
                return std::nullopt;
            }
        }
        return std::nullopt; // no closing quote
    }
    std::optional<std::uint32_t> hexNumber(std::size_t minDigits, std::size_t maxDigits) {
        std::uint32_t number = 0;
        std::size_t digits = 0;
        while (at < line.size() && hexValue(line[at]) >= 0 && digits < maxDigits) {
            number = number * 16 + static_cast<std::uint32_t>(hexValue(line[at++]));
            ++digits;
        }
        if (digits < minDigits)
            return std::nullopt;
        return number;
    }
    std::optional<std::vector<std::uint8_t>> bytes() {
        std::vector<std::uint8_t> bytes;
        while (!done()) {
            if (!bytes.empty() && !take(","))
                return std::nullopt;
            const auto byte = hexNumber(2, 2);
            if (!byte)
                return std::nullopt;
            bytes.push_back(static_cast<std::uint8_t>(*byte));
        }
        return bytes;
    }
};

std::optional<RegValue> parseData(LineReader& reader) {
    if (reader.take("dword:")) {
        const auto number = reader.hexNumber(8, 8);
        if (!number)
            return std::nullopt;
        return RegValue::dword(*number);
    }
    std::uint32_t type = REG_SZ;
    if (reader.take("expand:"))
        type = REG_EXPAND_SZ;
    if (reader.line.substr(reader.at, 1) == "\"") {
        auto text = reader.quoted();
        if (!text)
            return std::nullopt;
        return RegValue::string(std::move(*text), type);
    }
    if (type == REG_EXPAND_SZ)
        return std::nullopt;
    if (reader.take("hex:"))
        type = REG_BINARY;
    else if (reader.take("hex(")) {
        const auto code = reader.hexNumber(1, 8);
        // The string and number types have their readable forms; a second spelling of them
        // would only invite values whose bytes and text disagree.
        if (!code || *code == REG_SZ || *code == REG_EXPAND_SZ || *code == REG_DWORD ||
            !reader.take("):"))
            return std::nullopt;
        type = *code;
    } else
        return std::nullopt;
    auto bytes = reader.bytes();
    if (!bytes)
        return std::nullopt;
    return RegValue::binary(type, std::move(*bytes));
}

// Adds the key at `path` and its parents; returns the key.
Hive::Key& addKey(Hive::Keys& keys, std::string_view path) {
    std::size_t at = 0;
    while (true) {
        const std::size_t next = path.find('\\', at);
        const std::string prefix(path.substr(0, next));
        auto& key = keys[Registry::foldPath(prefix)];
        if (key.name.empty())
            key.name = Registry::normalizePath(prefix);
        if (next == std::string_view::npos)
            return key;
        at = next + 1;
    }
}

} // namespace

std::string HiveFile::format(std::string_view rootName, const Keys& keys) {
    std::string out(Header);
    out += '\n';
    for (const auto& [folded, key] : keys) {
        out += "\n[";
        out += rootName;
        if (!folded.empty()) {
            out += '\\';
            out += key.name.empty() ? folded : key.name;
        }
        out += "]\n";
        for (const auto& [name, value] : key.values)
            appendValue(out, name, value);
    }
    return out;
}

std::optional<Hive::Keys> HiveFile::parse(std::string_view rootName, std::string_view text) {
    // Every line we write ends with a line break: a file without one at the end was cut short.
    if (text.empty() || text.back() != '\n')
        return std::nullopt;
    Keys keys;
    Key* current = nullptr;
    std::map<const Key*, std::unordered_map<std::string, std::size_t>> valueIndex;
    bool first = true;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (first) {
            if (line != Header)
                return std::nullopt;
            first = false;
            continue;
        }
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            if (line.back() != ']')
                return std::nullopt;
            std::string_view path = line.substr(1, line.size() - 2);
            if (path.substr(0, rootName.size()) != rootName)
                return std::nullopt;
            path.remove_prefix(rootName.size());
            if (!path.empty() && path.front() != '\\')
                return std::nullopt;
            current = &addKey(keys, Registry::normalizePath(path));
            continue;
        }
        if (current == nullptr)
            return std::nullopt;
        LineReader reader{line};
        std::optional<std::string> name;
        if (reader.take("@"))
            name = std::string();
        else
            name = reader.quoted();
        if (!name || !reader.take("="))
            return std::nullopt;
        auto value = parseData(reader);
        if (!value || !reader.done())
            return std::nullopt;
        // A name given twice (a hand edit) keeps its first place and its last data.
        auto& positions = valueIndex[current];
        const auto [position, added] =
            positions.try_emplace(Registry::foldName(*name), current->values.size());
        if (added)
            current->values.emplace_back(std::move(*name), std::move(*value));
        else
            current->values[position->second].second = std::move(*value);
    }
    if (first)
        return std::nullopt;
    return keys;
}

// The advisory lock that serialises the read-modify-write of every copy of the program.
class HiveFile::Lock {
public:
    explicit Lock(const std::filesystem::path& file) {
        if (!makePrivateFolders(file.parent_path()))
            return;
        fd_.reset(::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
        while (fd_ && ::flock(fd_.get(), LOCK_EX) != 0)
            if (errno != EINTR)
                fd_.reset();
    }
    explicit operator bool() const { return static_cast<bool>(fd_); }

private:
    UniqueFd fd_; // closing it releases the lock
};

namespace {

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

HiveFile::Stamp HiveFile::Stamp::of(const struct stat& info) {
    return Stamp{info.st_dev, info.st_ino, info.st_size, info.st_mtim, info.st_ctim};
}

bool HiveFile::Stamp::operator==(const Stamp& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           sameTime(modified, other.modified) && sameTime(changed, other.changed);
}

HiveFile::HiveFile(std::filesystem::path file, std::string rootName)
    : file_(std::move(file)), rootName_(std::move(rootName)) {}

void HiveFile::setAside() {
    std::string aside = file_.string() + ".bad";
    struct stat info {};
    for (int number = 1; ::lstat(aside.c_str(), &info) == 0; ++number)
        aside = file_.string() + ".bad." + std::to_string(number);
    ::rename(file_.c_str(), aside.c_str());
}

void HiveFile::hold(UniqueFd fd) {
    struct stat info {};
    if (fd && ::fstat(fd.get(), &info) == 0)
        stamp_ = Stamp::of(info);
    else
        stamp_.reset();
    held_ = std::move(fd);
}

void HiveFile::refresh(bool locked) {
    struct stat info {};
    if (::stat(file_.c_str(), &info) != 0) {
        // Never saved, or removed by hand: no stored keys. Any other failure keeps what we have.
        if (errno == ENOENT || errno == ENOTDIR) {
            keys_.clear();
            hold(UniqueFd());
        }
        return;
    }
    if (stamp_ && *stamp_ == Stamp::of(info))
        return;
    UniqueFd fd(::open(file_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd)
        return;
    const auto text = readAll(fd.get(), MaxFileSize);
    if (auto parsed = text ? parse(rootName_, *text) : std::nullopt) {
        keys_ = std::move(*parsed);
        hold(std::move(fd));
        return;
    }
    if (!locked) {
        // Setting the file aside must not race another copy's save.
        if (Lock lock(file_); lock) {
            refresh(true);
            return;
        }
        // No lock (a read-only folder): leave the file alone and read no keys from it.
        keys_.clear();
        hold(std::move(fd));
        return;
    }
    fd.reset();
    setAside();
    keys_.clear();
    hold(UniqueFd());
}

void HiveFile::read(const std::function<void(const Keys&)>& read) {
    std::lock_guard guard(mutex_);
    refresh(false);
    read(keys_);
}

LONG HiveFile::modify(const std::function<bool(Keys&)>& change) {
    std::lock_guard guard(mutex_);
    Lock lock(file_);
    if (!lock)
        return ERROR_CANTWRITE;
    refresh(true);
    Keys changed = keys_;
    if (!change(changed))
        return ERROR_SUCCESS;
    // A hive kept elsewhere through a symbolic link stays a link.
    const auto target = replacementTarget(file_);
    if (!target)
        return ERROR_CANTWRITE;
    auto fd = replaceFile(*target, format(rootName_, changed), 0600);
    if (!fd)
        return ERROR_CANTWRITE;
    keys_ = std::move(changed);
    hold(std::move(*fd));
    return ERROR_SUCCESS;
}

} // namespace brenvik::platform
