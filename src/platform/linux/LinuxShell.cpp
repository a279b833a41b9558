#include "platform/DesktopEntry.h"
#include "platform/Shell.h"
#include "platform/XdgPaths.h"
#include "platform/linux/LinuxServices.h"
#include "platform/linux/SearchPath.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace brenvik::platform {

namespace {

// Splits parameters into words the way a desktop entry's command line is split: blanks separate,
// double quotes group; unbalanced quotes leave the text one word.
std::vector<std::string> splitParameters(const std::string& parameters) {
    if (auto words = splitExec(parameters))
        return *words;
    return {parameters};
}

// Starts `program` with `argv` detached (a grandchild adopted by init), so that nothing is left to
// reap and the started program outlives us. Everything is prepared before fork(): the children of
// a threaded process may only make async-signal-safe calls. True when the program was started.
bool spawnDetached(const std::filesystem::path& program, const std::vector<std::string>& argv,
                   const std::filesystem::path& directory) {
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const std::string programText = program.string();
    const std::string directoryText = directory.string();
    char** const environment = environ;

    // The write end closes on a successful exec; an errno arrives through it when exec fails.
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
        if (!directoryText.empty() && chdir(directoryText.c_str()) != 0) {
            // The program still runs, in the current folder.
        }
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            signal(SIGPIPE, SIG_DFL);
            execve(programText.c_str(), args.data(), environment);
            const int error = errno;
            (void)!write(pipeFds[1], &error, sizeof error);
            _exit(127);
        }
        if (grandchild < 0) {
            const int error = errno;
            (void)!write(pipeFds[1], &error, sizeof error);
        }
        _exit(0);
    }
    close(pipeFds[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    do {
        got = read(pipeFds[0], &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    close(pipeFds[0]);
    return got == 0;
}

// An executable file that is a program: an ELF image or a script naming its interpreter. On file
// systems without permissions (a stick formatted for another system) every file has the execute
// bit, and a document there must still go to its application.
bool isProgramFile(const std::filesystem::path& file) {
    if (!isExecutableFile(file))
        return false;
    char start[4] = {};
    std::ifstream in(file, std::ios::binary);
    in.read(start, sizeof start);
    const std::string_view head(start, static_cast<std::size_t>(in.gcount()));
    return head.starts_with("\x7f"
                            "ELF") ||
           head.starts_with("#!");
}

// A desktop entry's MimeType list holds `mimeType`.
bool entryHandles(const std::filesystem::path& entry, std::string_view mimeType) {
    std::ifstream file(entry);
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("MimeType=", 0) != 0)
            continue;
        std::string_view list = std::string_view(line).substr(9);
        while (!list.empty()) {
            const std::size_t end = list.find(';');
            if (list.substr(0, end) == mimeType)
                return true;
            list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        }
    }
    return false;
}

class LinuxShell : public Shell {
public:
    bool execute(std::string_view verb, const std::string& file, const std::string& parameters,
                 const std::filesystem::path& directory) override {
        if (file.empty())
            return false;
        if (verb == "open" || verb == "Open") {
            std::filesystem::path program = file.find('/') == std::string::npos
                                                ? findProgram(file)
                                                : std::filesystem::absolute(file);
            if (!program.empty() && isProgramFile(program)) {
                std::vector<std::string> argv{file};
                for (auto& word : splitParameters(parameters))
                    argv.push_back(std::move(word));
                return spawnDetached(program, argv, directory);
            }
        } else if (verb != "explore") {
            return false;
        }
        const std::filesystem::path opener = findProgram("xdg-open");
        if (opener.empty())
            return false;
        // A name that begins with a dash would read as an option.
        const std::string target = file.front() == '-' ? "./" + file : file;
        return spawnDetached(opener, {"xdg-open", target}, directory);
    }

    std::filesystem::path findProgram(std::string_view name) override {
        return findExecutable(name);
    }

    bool hasHandlerFor(std::string_view mimeType) override {
        std::vector<std::filesystem::path> folders{xdg::dataHome()};
        for (const auto& folder : xdg::dataDirs())
            folders.push_back(folder);
        for (const auto& folder : folders) {
            std::error_code error;
            std::filesystem::recursive_directory_iterator entries(
                folder / "applications", std::filesystem::directory_options::skip_permission_denied,
                error);
            for (; !error && entries != std::filesystem::recursive_directory_iterator();
                 entries.increment(error)) {
                const auto& entry = entries->path();
                if (entry.extension() == ".desktop" && entryHandles(entry, mimeType))
                    return true;
            }
        }
        return false;
    }
};

} // namespace

std::unique_ptr<Shell> makeLinuxShell() {
    return std::make_unique<LinuxShell>();
}

} // namespace brenvik::platform
