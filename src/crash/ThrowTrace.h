#pragma once

// Remembers where recent exceptions were thrown. By the time a handler far up the stack catches an
// exception the frames that raised it are gone, so they are taken when the throw starts and looked
// up later by the thrown object.

#include <typeinfo>
#include <vector>

namespace brenvik::crash {

// Recording costs one stack walk per throw; it is off until the crash layer turns it on.
void enableThrowTraces(bool on);

// The frames recorded when `object` (the thrown object's most-derived address) of dynamic type
// `type` was thrown, among the most recent throws of any thread; empty when it is not known.
std::vector<void*> throwTraceOf(const void* object, const std::type_info& type);

} // namespace brenvik::crash
