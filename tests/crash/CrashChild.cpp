// Installs the fatal-signal handlers, then ends by the fault named on the command line.

#include "crash/FatalSignals.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

namespace {

// Read through a volatile so that the compiler cannot see the null pointer and drop the store.
int* volatile nowhere = nullptr;

[[gnu::noinline]] void writeThroughNullPointer() {
    *nowhere = 1;
}

} // namespace

int main(int argc, char** argv) {
    // A core dump would only slow the tests down.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    if (argc != 2 || !brenvik::crash::installFatalSignalHandlers()) {
        std::fputs("usage: crash_child segv|abort|fpe (reports folder must be writable)\n", stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "segv") == 0)
        writeThroughNullPointer();
    else if (std::strcmp(argv[1], "abort") == 0)
        std::abort();
    else if (std::strcmp(argv[1], "fpe") == 0)
        std::raise(SIGFPE);
    return 3;
}
