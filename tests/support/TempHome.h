#pragma once

// A fresh temporary home for one test: HOME and the XDG folders point into it while the object
// lives, and the folder is removed afterwards.

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace brenvik::test {

class TempHome {
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path config() const { return root_ / "config"; }
    std::filesystem::path data() const { return root_ / "data"; }
    std::filesystem::path state() const { return root_ / "state"; }
    std::filesystem::path cache() const { return root_ / "cache"; }
    // Sets an environment variable for the lifetime of the object (unset when value is empty).
    void setEnv(const std::string& name, const std::string& value);

private:
    std::filesystem::path root_;
    std::map<std::string, std::optional<std::string>> saved_;
};

// Reads and writes whole files in tests.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& text);

} // namespace brenvik::test
