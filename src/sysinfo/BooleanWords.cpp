#include "sysinfo/BooleanWords.h"

#include <mutex>
#include <utility>

namespace brenvik {

namespace {

struct Words {
    std::mutex mutex;
    std::string trueWord = "True";
    std::string falseWord = "False";
};

Words& words() {
    static Words instance;
    return instance;
}

} // namespace

void SetBooleanWords(std::string trueWord, std::string falseWord) {
    Words& all = words();
    const std::lock_guard lock(all.mutex);
    all.trueWord = std::move(trueWord);
    all.falseWord = std::move(falseWord);
}

std::string BoolToStr(bool value) {
    Words& all = words();
    const std::lock_guard lock(all.mutex);
    return value ? all.trueWord : all.falseWord;
}

} // namespace brenvik
