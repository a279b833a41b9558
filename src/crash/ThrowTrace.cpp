#include "crash/ThrowTrace.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <execinfo.h>
#include <mutex>
#include <typeinfo>

namespace brenvik::crash {

namespace {

constexpr int MaxFrames = 64;
constexpr std::size_t RecentThrows = 16;

struct ThrowRecord {
    const void* object = nullptr;
    const std::type_info* type = nullptr;
    int count = 0;
    std::array<void*, MaxFrames> frames{};
};

std::atomic<bool> recording{false};
std::mutex recentLock;
std::array<ThrowRecord, RecentThrows> recent;
std::size_t nextSlot = 0;

// Kept out of line so that the frames to leave out are always this one and the throw hook's.
[[gnu::noinline]] void record(const void* object, const std::type_info* type) {
    constexpr int OwnFrames = 2;
    ThrowRecord taken;
    taken.object = object;
    taken.type = type;
    void* frames[MaxFrames + OwnFrames];
    const int count = backtrace(frames, MaxFrames + OwnFrames);
    for (int i = OwnFrames; i < count; ++i)
        taken.frames[static_cast<std::size_t>(taken.count++)] = frames[i];
    const std::lock_guard guard(recentLock);
    recent[nextSlot] = taken;
    nextSlot = (nextSlot + 1) % RecentThrows;
}

} // namespace

void enableThrowTraces(bool on) {
    if (on) {
        // The first stack walk loads the unwinder; do it here rather than inside a throw.
        void* warmUp[1];
        backtrace(warmUp, 1);
    }
    recording = on;
    if (!on) {
        // Throws from now on go unrecorded; old entries could be mistaken for them.
        const std::lock_guard guard(recentLock);
        recent.fill({});
    }
}

std::vector<void*> throwTraceOf(const void* object, const std::type_info& type) {
    const std::lock_guard guard(recentLock);
    // Newest first: an address can be reused once an older exception has been freed.
    for (std::size_t age = 1; age <= RecentThrows; ++age) {
        const ThrowRecord& entry = recent[(nextSlot + RecentThrows - age) % RecentThrows];
        if (entry.object == object && entry.type != nullptr && *entry.type == type &&
            entry.count > 0)
            return {entry.frames.begin(), entry.frames.begin() + entry.count};
    }
    return {};
}

} // namespace brenvik::crash

// Every C++ throw of the program passes here before the runtime's own implementation, which is
// found once and called with the same arguments.
extern "C" [[noreturn]] void __cxa_throw(void* object, std::type_info* type,
                                         void (*destroy)(void*)) {
    using Throw = void (*)(void*, std::type_info*, void (*)(void*));
    static const Throw runtimeThrow = reinterpret_cast<Throw>(dlsym(RTLD_NEXT, "__cxa_throw"));
    if (runtimeThrow == nullptr)
        std::abort();
    if (brenvik::crash::recording)
        brenvik::crash::record(object, type);
    runtimeThrow(object, type, destroy);
    __builtin_unreachable();
}
