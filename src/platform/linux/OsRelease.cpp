#include "platform/linux/OsRelease.h"

#include "platform/AtomicFile.h"
#include "platform/Sha256.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace brenvik::platform {

namespace {

constexpr std::size_t MaxFileSize = 64u << 10;

bool isKeyChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

std::optional<std::string> unquote(std::string_view text) {
    std::string value;
    std::size_t i = 0;
    if (!text.empty() && text.front() == '\'') {
        const std::size_t end = text.find('\'', 1);
        if (end == std::string_view::npos)
            return std::nullopt;
        value = std::string(text.substr(1, end - 1));
        i = end + 1;
    } else if (!text.empty() && text.front() == '"') {
        for (i = 1; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size() &&
                std::string_view("\"\\$`").find(text[i + 1]) != std::string_view::npos)
                ++i;
            value += text[i];
        }
        if (i == text.size())
            return std::nullopt;
        ++i;
    } else {
        for (; i < text.size() && text[i] != ' ' && text[i] != '\t'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size())
                ++i;
            value += text[i];
        }
    }
    // Anything after the value but blanks or a comment: concatenations the format forbids.
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.size() && text[i] != '#')
        return std::nullopt;
    return value;
}

std::optional<std::array<std::uint8_t, 16>> idBytes(std::string_view hexDigits) {
    if (hexDigits.size() != 32 || !std::all_of(hexDigits.begin(), hexDigits.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        }))
        return std::nullopt;
    const auto nibble = [](char c) {
        return static_cast<std::uint8_t>(std::isdigit(static_cast<unsigned char>(c)) != 0
                                             ? c - '0'
                                             : std::tolower(static_cast<unsigned char>(c)) - 'a' +
                                                   10);
    };
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] =
            static_cast<std::uint8_t>(nibble(hexDigits[2 * i]) << 4 | nibble(hexDigits[2 * i + 1]));
    return bytes;
}

} // namespace

std::string appSpecificId(std::string_view machineId, std::string_view appId) {
    const auto machine = idBytes(machineId);
    const auto app = idBytes(appId);
    if (!machine || !app)
        return {};
    Sha256Digest digest = hmacSha256(*machine, *app);
    digest[6] = static_cast<std::uint8_t>((digest[6] & 0x0F) | 0x40);
    digest[8] = static_cast<std::uint8_t>((digest[8] & 0x3F) | 0x80);
    static constexpr char Digits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < 16; ++i) {
        text += Digits[digest[i] >> 4];
        text += Digits[digest[i] & 0x0F];
    }
    return text;
}

std::map<std::string, std::string> parseOsRelease(std::string_view text) {
    std::map<std::string, std::string> values;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
            line.remove_suffix(1);
        const std::size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == 0 || equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        if (!std::all_of(key.begin(), key.end(), isKeyChar))
            continue;
        if (auto value = unquote(line.substr(equals + 1)))
            values[std::string(key)] = std::move(*value);
    }
    return values;
}

OsReleaseKey::OsReleaseKey() {
    if (const char* file = std::getenv("BRENVIK_MACHINE_ID_FILE"); file != nullptr && *file != '\0')
        files_.machineId = file;
}
OsReleaseKey::OsReleaseKey(Files files) : files_(std::move(files)) {}

std::optional<std::string> OsReleaseKey::productName() const {
    std::error_code error;
    const auto& file = std::filesystem::exists(files_.osRelease, error) ? files_.osRelease
                                                                        : files_.osReleaseFallback;
    const auto text = readWholeFile(file, MaxFileSize);
    if (!text)
        return std::nullopt;
    const auto values = parseOsRelease(*text);
    for (const char* key : {"PRETTY_NAME", "NAME"})
        if (auto it = values.find(key); it != values.end() && !it->second.empty())
            return it->second;
    return std::string("Linux"); // the format's own default for NAME
}

std::optional<std::string> OsReleaseKey::productId() const {
    const auto text = readWholeFile(files_.machineId, MaxFileSize);
    if (!text)
        return std::nullopt;
    std::string id = *text;
    while (!id.empty() && (id.back() == '\n' || id.back() == ' '))
        id.pop_back();
    // An empty or "uninitialized" id (first boot) is no id.
    std::string derived = appSpecificId(id, BrenvikAppId);
    if (derived.empty())
        return std::nullopt;
    return derived;
}

std::vector<std::string> OsReleaseKey::valueNames() {
    std::vector<std::string> names;
    if (productName())
        names.emplace_back("ProductName");
    if (productId())
        names.emplace_back("ProductID");
    return names;
}

std::optional<RegValue> OsReleaseKey::value(std::string_view name) {
    const std::string folded = Registry::foldName(name);
    std::optional<std::string> text;
    if (folded == "PRODUCTNAME")
        text = productName();
    else if (folded == "PRODUCTID")
        text = productId();
    if (!text)
        return std::nullopt;
    return RegValue::string(std::move(*text));
}

} // namespace brenvik::platform
