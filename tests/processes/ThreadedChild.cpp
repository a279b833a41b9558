// A child process for the process-table tests: runs the number of threads its first argument
// names (the main one included) until it is killed. Further arguments:
//   fifo    the last thread runs SCHED_FIFO at priority 10 (when the system lets it)
//   nobody  the whole process then drops to the user and group 65534
// When everything is set up, it writes one byte to descriptor 3 if the test opened one.

#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>
#include <vector>

namespace {

void* waitForever(void*) {
    while (true)
        pause();
}

bool hasArgument(int argc, char** argv, const char* wanted) {
    for (int i = 2; i < argc; ++i)
        if (std::strcmp(argv[i], wanted) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    const int threads = argc > 1 ? std::atoi(argv[1]) : 1;
    const bool fifo = hasArgument(argc, argv, "fifo");
    for (int i = 1; i < threads; ++i) {
        pthread_t thread;
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        if (fifo && i == threads - 1) {
            sched_param param{};
            param.sched_priority = 10;
            pthread_attr_setinheritsched(&attributes, PTHREAD_EXPLICIT_SCHED);
            pthread_attr_setschedpolicy(&attributes, SCHED_FIFO);
            pthread_attr_setschedparam(&attributes, &param);
        }
        // Without the right to real-time scheduling the thread runs as an ordinary one.
        if (pthread_create(&thread, &attributes, waitForever, nullptr) != 0)
            pthread_create(&thread, nullptr, waitForever, nullptr);
        pthread_attr_destroy(&attributes);
    }
    if (hasArgument(argc, argv, "nobody") &&
        (setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0))
        return 3;
    const char ready = 1;
    [[maybe_unused]] const auto written = write(3, &ready, 1);
    close(3);
    waitForever(nullptr);
}
