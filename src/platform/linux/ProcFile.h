#pragma once

// Reads a whole /proc (or any small) file into a buffer that is kept between reads, so that
// periodic readers allocate nothing once warmed up.

#include <filesystem>
#include <string>
#include <string_view>

namespace brenvik::platform {

class ProcFile {
public:
    explicit ProcFile(std::filesystem::path path) : path_(std::move(path)) {}
    // The file's text; empty when it cannot be read.
    std::string_view read();

private:
    std::filesystem::path path_;
    std::string buffer_;
};

// Reads `path` whole into `buffer` (reusing its capacity); false when it cannot be opened.
bool readSmallFile(const char* path, std::string& buffer);

} // namespace brenvik::platform
