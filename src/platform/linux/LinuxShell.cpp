#include "platform/Shell.h"
#include "platform/linux/LinuxServices.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace brenvik::platform {

namespace {

// Starts `argv` detached (a grandchild adopted by init), so that nothing is left to reap and the
// started program outlives us. True when the program could be started.
bool spawnDetached(const std::vector<std::string>& argv, const std::filesystem::path& directory) {
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0) {
        close(pipeFds[0]);
        close(pipeFds[1]);
        return false;
    }
    if (child == 0) {
        close(pipeFds[0]);
        setsid();
        if (!directory.empty() && chdir(directory.c_str()) != 0) {
            // Start in the current folder instead; the program still runs.
        }
        std::vector<char*> args;
        for (const auto& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        pid_t grandchild = 0;
        const int error = posix_spawnp(&grandchild, args[0], nullptr, nullptr, args.data(), environ);
        const char result = error == 0 ? 1 : 0;
        (void)!write(pipeFds[1], &result, 1);
        _exit(0);
    }
    close(pipeFds[1]);
    char result = 0;
    const bool reported = read(pipeFds[0], &result, 1) == 1;
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return reported && result == 1;
}

bool isExecutableFile(const std::string& file) {
    struct stat info{};
    return stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(file.c_str(), X_OK) == 0;
}

class LinuxShell : public Shell {
public:
    bool execute(std::string_view verb, const std::string& file, const std::string& parameters,
                 const std::filesystem::path& directory) override {
        if (file.empty())
            return false;
        if ((verb == "open" || verb == "Open") && isExecutableFile(file)) {
            std::vector<std::string> argv{file};
            if (!parameters.empty())
                argv.push_back(parameters);
            return spawnDetached(argv, directory);
        }
        return spawnDetached({"xdg-open", file}, directory);
    }
};

} // namespace

std::unique_ptr<Shell> makeLinuxShell() { return std::make_unique<LinuxShell>(); }

} // namespace brenvik::platform
