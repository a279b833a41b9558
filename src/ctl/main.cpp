// brenvikctl: the program's models from the command line.

#include "ctl/Commands.h"

#include <cstring>
#include <exception>
#include <functional>
#include <iostream>
#include <map>
#include <unistd.h>

namespace {

constexpr const char* Usage = R"(Usage: brenvikctl COMMAND [ARGUMENTS] [--json]

Commands:
  status                      memory, paging file, uptime and processor load
  wash N                      wash N megabytes of memory
  processes                   the running processes
  startup list                the programs started at log-on, with the disabled ones
  startup disable|enable|delete NAME
                              stop starting NAME at log-on, start it again, or remove it
  sysinfo                     system, processor and special-folder facts
  settings                    the stored preferences

Options:
  --json                      print one JSON document instead of text
  -h, --help                  show this text
  -V, --version               show the program's name and version

Exit codes: 0 done, 1 the command failed, 2 bad usage.
)";

} // namespace

int main(int argc, char** argv) {
    using namespace brenvik::ctl;
    const std::map<std::string, std::function<int(Invocation&)>> commands{
        {"status", runStatus},   {"wash", runWash},       {"processes", runProcesses},
        {"startup", runStartup}, {"sysinfo", runSysinfo}, {"settings", runSettings},
    };
    std::string name;
    Invocation call{{}, false, std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1};
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--json") {
            call.json = true;
        } else if (word == "--help" || word == "-h") {
            std::cout << Usage;
            return 0;
        } else if (word == "--version" || word == "-V") {
            std::cout << "brenvikctl " << BRENVIK_VERSION << '\n';
            return 0;
        } else if (word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9')) {
            std::cerr << "brenvikctl: unknown option '" << word << "'\n" << Usage;
            return 2;
        } else if (name.empty()) {
            name = word;
        } else {
            call.args.push_back(word);
        }
    }
    const auto command = commands.find(name);
    if (command == commands.end()) {
        if (name.empty())
            std::cerr << Usage;
        else
            std::cerr << "brenvikctl: unknown command '" << name << "'\n" << Usage;
        return 2;
    }
    try {
        const int code = command->second(call);
        if (code == 2)
            std::cerr << Usage;
        return code;
    } catch (const std::exception& error) {
        std::cerr << "brenvikctl: " << error.what() << '\n';
        return 1;
    }
}
