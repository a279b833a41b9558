#pragma once

// The store file "startup.dat": the whole startup list, active and disabled entries alike, as a
// little-endian count followed by one component stream per entry. The reader works on bytes in
// memory and never trusts a count or a length it has not checked against the bytes left.

#include "startup/StartupClass.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// Value markers of a component stream.
enum TValueType : std::uint8_t {
    vaNull = 0x00,
    vaInt8 = 0x02,
    vaInt16 = 0x03,
    vaInt32 = 0x04,
    vaString = 0x06,
    vaFalse = 0x08,
    vaTrue = 0x09,
    vaLString = 0x0C,
    vaWString = 0x12,
    vaUTF8String = 0x14,
};

// The bytes of one entry record.
void writeStartupRecord(std::vector<std::uint8_t>& out, const TStartupItem& item);
// The whole file: the count, then one record per entry in list order.
std::vector<std::uint8_t> encodeStartupStore(const TStartupList& list);

struct TStoreContents {
    bool countRead = false; // the count was there; the entries replace the list's
    std::vector<std::unique_ptr<TStartupItem>> items; // every record read before any damage
    std::string damage;                               // empty when the file was whole
};

// Reads a store file's bytes. Never touches the registry, whatever the records say.
TStoreContents decodeStartupStore(std::span<const std::uint8_t> bytes);

// Copies a damaged file to "<name>.bad", or "<name>.bad.1", ".bad.2" and so on when earlier copies
// exist; returns the copy's path, empty when no copy could be made.
std::filesystem::path keepDamagedStoreAside(const std::filesystem::path& path);

// Replaces the target atomically (platform::replaceFile), so that a crash or a full disk never
// leaves a truncated file. On failure the target is unchanged.
TStoreSaveResult saveStoreFile(const std::filesystem::path& path,
                               std::span<const std::uint8_t> bytes);

// Where the program keeps its files: its own folder when that is writable (a build tree, a
// portable copy), else $XDG_DATA_HOME/brenvik, since an installed program's folder is read-only.
std::filesystem::path programDataFolder();
// The store file in that folder.
std::filesystem::path startupStorePath();

} // namespace brenvik
