// Fuzz target for the startup store reader: any bytes must give a clean result (entries and,
// when damaged, a reason) without a crash, a leak or a hang; whatever was read whole must write
// back into bytes that read the same.

#include "startup/StartupStore.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool sameEntry(const brenvik::TStartupItem& a, const brenvik::TStartupItem& b) {
    return a.Name() == b.Name() && a.Root() == b.Root() && a.Key() == b.Key() &&
           a.Enabled() == b.Enabled() && a.CommandLine() == b.CommandLine() &&
           a.Location() == b.Location();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace brenvik;
    TStoreContents contents = decodeStartupStore({data, size});
    if (!contents.damage.empty())
        return 0;
    TStartupList list;
    for (auto& item : contents.items)
        list.Add(std::move(item));
    const TStoreContents again = decodeStartupStore(encodeStartupStore(list));
    if (!again.damage.empty() || static_cast<int>(again.items.size()) != list.Count())
        std::abort();
    for (int i = 0; i < list.Count(); ++i)
        if (!sameEntry(*list.Items(i), *again.items[static_cast<std::size_t>(i)]))
            std::abort();
    return 0;
}
