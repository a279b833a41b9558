#include "startup/StartupStore.h"

#include "platform/AtomicFile.h"
#include "platform/Platform.h"
#include "platform/SystemStatus.h"
#include "platform/XdgPaths.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace brenvik {

namespace {

constexpr std::string_view Signature = "TPF0";
constexpr std::string_view ItemClassName = "TStartupItem";

// Strict UTF-8 to UTF-16: no overlong forms, no surrogates, nothing above U+10FFFF.
std::optional<std::u16string> utf16Of(std::string_view text) {
    std::u16string units;
    units.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        std::size_t extra = 0;
        char32_t code = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            code = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, code = lead & 0x1F, least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, code = lead & 0x0F, least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, code = lead & 0x07, least = 0x10000;
        } else {
            return std::nullopt;
        }
        if (text.size() - at <= extra)
            return std::nullopt;
        for (std::size_t i = 1; i <= extra; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        if (code >= 0x10000) {
            code -= 0x10000;
            units.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(code));
        }
        at += extra + 1;
    }
    return units;
}

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// A lone surrogate cannot be said in UTF-8; it becomes the replacement character.
std::string utf8Of(const std::u16string& units) {
    std::string text;
    text.reserve(units.size());
    for (std::size_t at = 0; at < units.size(); ++at) {
        const char32_t unit = units[at];
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < units.size() && units[at + 1] >= 0xDC00 &&
            units[at + 1] <= 0xDFFF) {
            appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (units[at + 1] - 0xDC00));
            ++at;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            appendUtf8(text, 0xFFFD);
        } else {
            appendUtf8(text, unit);
        }
    }
    return text;
}

class StreamWriter {
public:
    explicit StreamWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void byte(std::uint8_t value) { out_.push_back(value); }
    void int16(std::int16_t value) {
        const auto bits = static_cast<std::uint16_t>(value);
        byte(static_cast<std::uint8_t>(bits));
        byte(static_cast<std::uint8_t>(bits >> 8));
    }
    void int32(std::int32_t value) {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            byte(static_cast<std::uint8_t>(bits >> shift));
    }
    void chars(std::string_view text) { out_.insert(out_.end(), text.begin(), text.end()); }
    void shortString(std::string_view text) {
        byte(static_cast<std::uint8_t>(text.size()));
        chars(text);
    }

    // The smallest form that holds the value.
    void integer(std::int32_t value) {
        if (value >= -128 && value <= 127) {
            byte(vaInt8);
            byte(static_cast<std::uint8_t>(static_cast<std::int8_t>(value)));
        } else if (value >= -32768 && value <= 32767) {
            byte(vaInt16);
            int16(static_cast<std::int16_t>(value));
        } else {
            byte(vaInt32);
            int32(value);
        }
    }
    void boolean(bool value) { byte(value ? vaTrue : vaFalse); }

    void text(std::string_view text) {
        const bool ascii = std::all_of(text.begin(), text.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii && text.size() <= 255) {
            byte(vaString);
            shortString(text);
            return;
        }
        if (ascii) {
            byte(vaLString);
            int32(static_cast<std::int32_t>(text.size()));
            chars(text);
            return;
        }
        const std::optional<std::u16string> units = utf16Of(text);
        // Text that is not valid UTF-8 (a name from a foreign locale) has no UTF-16 form; it is
        // kept byte for byte in the UTF-8 form, which the reader takes as it stands.
        if (!units || text.size() < 2 * units->size()) {
            byte(vaUTF8String);
            int32(static_cast<std::int32_t>(text.size()));
            chars(text);
            return;
        }
        byte(vaWString);
        int32(static_cast<std::int32_t>(units->size()));
        for (char16_t unit : *units)
            int16(static_cast<std::int16_t>(unit));
    }

    void textProperty(std::string_view name, std::string_view value) {
        if (value.empty())
            return;
        shortString(name);
        text(value);
    }

private:
    std::vector<std::uint8_t>& out_;
};

struct StoreDamage {
    std::string what;
};

// Names from a damaged file go into messages: printable ASCII only, and not too much of it.
std::string printable(std::string_view text) {
    std::string shown;
    for (char c : text.substr(0, 40))
        shown.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    return shown;
}

class StreamReader {
public:
    explicit StreamReader(std::span<const std::uint8_t> data) : data_(data) {}

    std::size_t offset() const { return at_; }
    std::size_t left() const { return data_.size() - at_; }

    std::uint8_t peek() {
        need(1);
        return data_[at_];
    }
    std::uint8_t byte() {
        need(1);
        return data_[at_++];
    }
    std::int16_t int16() {
        need(2);
        const auto value = static_cast<std::uint16_t>(data_[at_] | (data_[at_ + 1] << 8));
        at_ += 2;
        return static_cast<std::int16_t>(value);
    }
    std::int32_t int32() {
        need(4);
        std::uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | data_[at_ + static_cast<std::size_t>(i)];
        at_ += 4;
        return static_cast<std::int32_t>(value);
    }
    std::string chars(std::size_t count) {
        need(count);
        std::string text(reinterpret_cast<const char*>(data_.data() + at_), count);
        at_ += count;
        return text;
    }
    std::string shortString() { return chars(byte()); }

    std::int32_t integer() {
        switch (const std::uint8_t marker = byte()) {
        case vaInt8:
            return static_cast<std::int8_t>(byte());
        case vaInt16:
            return int16();
        case vaInt32:
            return int32();
        default:
            throw unexpected(marker, "an integer");
        }
    }
    bool boolean() {
        switch (const std::uint8_t marker = byte()) {
        case vaFalse:
            return false;
        case vaTrue:
            return true;
        default:
            throw unexpected(marker, "a boolean");
        }
    }
    std::string text() {
        switch (const std::uint8_t marker = byte()) {
        case vaString:
            return shortString();
        case vaLString:
        case vaUTF8String:
            return chars(length());
        case vaWString: {
            const std::size_t count = length();
            need(2 * count);
            std::u16string units;
            units.reserve(count);
            for (std::size_t i = 0; i < count; ++i)
                units.push_back(static_cast<char16_t>(int16()));
            return utf8Of(units);
        }
        default:
            throw unexpected(marker, "a text");
        }
    }

private:
    void need(std::size_t count) const {
        if (count > left())
            throw StoreDamage{"the file ends at byte " + std::to_string(data_.size()) +
                              ", inside an entry"};
    }
    // A length is checked against the bytes left before anything is made of that size.
    std::size_t length() {
        const std::int32_t value = int32();
        if (value < 0)
            throw StoreDamage{"negative length at byte " + std::to_string(at_ - 4)};
        return static_cast<std::size_t>(value);
    }
    StoreDamage unexpected(std::uint8_t marker, std::string_view expected) const {
        return StoreDamage{"value marker " + std::to_string(marker) + " at byte " +
                           std::to_string(at_ - 1) + " where " + std::string(expected) +
                           " belongs"};
    }

    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
};

const TPublishedProperty* publishedProperty(std::string_view name) {
    const auto found = std::find_if(StartupItemProperties.begin(), StartupItemProperties.end(),
                                    [&](const TPublishedProperty& p) { return p.name == name; });
    return found == StartupItemProperties.end() ? nullptr : &*found;
}

std::unique_ptr<TStartupItem> readStartupRecord(StreamReader& reader) {
    const std::size_t start = reader.offset();
    if (reader.chars(Signature.size()) != Signature)
        throw StoreDamage{"no entry signature at byte " + std::to_string(start)};
    reader.shortString(); // class name
    reader.shortString(); // component name
    auto item = std::make_unique<TStartupItem>();
    // The location is applied last, so that SetEnabled always finds it empty and a record never
    // writes or deletes a registry value, whatever the order of its properties.
    std::optional<std::string> location;
    while (reader.peek() != vaNull) {
        const std::size_t at = reader.offset();
        const std::string name = reader.shortString();
        const TPublishedProperty* property = publishedProperty(name);
        if (property == nullptr || property->kind == TPropertyKind::Event)
            throw StoreDamage{"unknown property '" + printable(name) + "' at byte " +
                              std::to_string(at)};
        switch (property->index) {
        case 0:
            item->SetName(reader.text());
            break;
        case 1:
            reader.integer(); // Tag: always 0 here
            break;
        case 2:
            item->SetRoot(static_cast<platform::HKEY>(reader.integer()));
            break;
        case 3:
            item->SetKey(reader.text());
            break;
        case 4:
            item->SetEnabled(reader.boolean());
            break;
        case 5:
            item->SetCommandLine(reader.text());
            break;
        case 6:
            location = reader.text();
            break;
        }
    }
    reader.byte(); // end of properties
    if (reader.byte() != vaNull)
        throw StoreDamage{"an entry with child components at byte " + std::to_string(start)};
    if (location)
        item->SetLocation(std::move(*location));
    return item;
}

} // namespace

void writeStartupRecord(std::vector<std::uint8_t>& out, const TStartupItem& item) {
    StreamWriter writer(out);
    writer.chars(Signature);
    writer.shortString(ItemClassName);
    writer.shortString({}); // the component name is always empty
    writer.textProperty("Name", item.Name());
    writer.shortString("Root");
    writer.integer(static_cast<std::int32_t>(item.Root()));
    writer.textProperty("Key", item.Key());
    writer.shortString("Enabled");
    writer.boolean(item.Enabled());
    writer.textProperty("CommandLine", item.CommandLine());
    writer.textProperty("Location", item.Location());
    writer.byte(vaNull); // end of properties
    writer.byte(vaNull); // end of child components
}

std::vector<std::uint8_t> encodeStartupStore(const TStartupList& list) {
    std::vector<std::uint8_t> out;
    StreamWriter(out).int32(list.Count());
    for (int i = 0; i < list.Count(); ++i)
        writeStartupRecord(out, *list.Items(i));
    return out;
}

TStoreContents decodeStartupStore(std::span<const std::uint8_t> bytes) {
    TStoreContents contents;
    StreamReader reader(bytes);
    try {
        if (reader.left() < 4)
            throw StoreDamage{"the file is shorter than its count"};
        const std::int32_t count = reader.int32();
        contents.countRead = true;
        if (count < 0)
            throw StoreDamage{"negative entry count " + std::to_string(count)};
        for (std::int32_t i = 0; i < count; ++i) {
            try {
                contents.items.push_back(readStartupRecord(reader));
            } catch (StoreDamage& damage) {
                damage.what = "entry " + std::to_string(i + 1) + " of " + std::to_string(count) +
                              ": " + damage.what;
                throw;
            }
        }
        if (reader.left() != 0)
            throw StoreDamage{std::to_string(reader.left()) + " unexpected bytes after entry " +
                              std::to_string(count)};
    } catch (const StoreDamage& damage) {
        contents.damage = damage.what;
    }
    return contents;
}

std::filesystem::path keepDamagedStoreAside(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    for (int number = 0; number < 1000; ++number) {
        fs::path copy = path;
        copy += number == 0 ? std::string(".bad") : ".bad." + std::to_string(number);
        std::error_code error;
        if (fs::copy_file(path, copy, fs::copy_options::none, error))
            return copy;
        if (!fs::exists(copy, error))
            return {};
    }
    return {};
}

TStoreSaveResult saveStoreFile(const std::filesystem::path& path,
                               std::span<const std::uint8_t> bytes) {
    TStoreSaveResult result;
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    // The replacement keeps the old file's permissions; a first file gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (!platform::replaceFile(path, text, mode)) {
        result.problem =
            "cannot write " + path.string() + ": " + std::generic_category().message(errno);
        return result;
    }
    result.saved = true;
    return result;
}

std::filesystem::path programDataFolder() {
    const std::filesystem::path folder = platform::current().system->programFolder();
    if (!folder.empty() && ::access(folder.c_str(), W_OK) == 0)
        return folder;
    return platform::xdg::appDataDir();
}

std::filesystem::path startupStorePath() {
    return programDataFolder() / "startup.dat";
}

} // namespace brenvik
