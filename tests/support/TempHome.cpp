#include "support/TempHome.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace brenvik::test {

TempHome::TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "brenvik-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
    setEnv("HOME", root_.string());
    setEnv("XDG_CONFIG_HOME", config().string());
    setEnv("XDG_DATA_HOME", data().string());
    setEnv("XDG_STATE_HOME", state().string());
    setEnv("XDG_CACHE_HOME", cache().string());
    setEnv("XDG_CONFIG_DIRS", (root_ / "etc-xdg").string());
}

TempHome::~TempHome() {
    for (const auto& [name, value] : saved_) {
        if (value)
            setenv(name.c_str(), value->c_str(), 1);
        else
            unsetenv(name.c_str());
    }
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void TempHome::setEnv(const std::string& name, const std::string& value) {
    if (!saved_.contains(name)) {
        const char* old = std::getenv(name.c_str());
        saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value.empty())
        unsetenv(name.c_str());
    else
        setenv(name.c_str(), value.c_str(), 1);
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

} // namespace brenvik::test
