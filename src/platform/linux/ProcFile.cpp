#include "platform/linux/ProcFile.h"

#include <fcntl.h>
#include <unistd.h>

namespace brenvik::platform {

bool readSmallFile(const char* path, std::string& buffer) {
    buffer.clear();
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    if (buffer.capacity() < 4096)
        buffer.reserve(4096);
    std::size_t used = 0;
    while (true) {
        buffer.resize(buffer.capacity());
        const ssize_t got = ::read(fd, buffer.data() + used, buffer.size() - used);
        if (got < 0) {
            ::close(fd);
            buffer.clear();
            return false;
        }
        used += static_cast<std::size_t>(got);
        if (got == 0)
            break;
        if (used == buffer.size())
            buffer.reserve(buffer.size() * 2);
    }
    ::close(fd);
    buffer.resize(used);
    return true;
}

std::string_view ProcFile::read() {
    readSmallFile(path_.c_str(), buffer_);
    return buffer_;
}

} // namespace brenvik::platform
