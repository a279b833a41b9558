// A child process for the process-table tests: runs the number of threads its argument names
// (the main one included) until it is killed.

#include <cstdlib>
#include <thread>
#include <unistd.h>
#include <vector>

int main(int argc, char** argv) {
    const int threads = argc > 1 ? std::atoi(argv[1]) : 1;
    std::vector<std::thread> workers;
    for (int i = 1; i < threads; ++i)
        workers.emplace_back([] {
            while (true)
                pause();
        });
    while (true)
        pause();
}
