#pragma once

// Size and duration texts and the processor-load routines.

namespace brenvik {

} // namespace brenvik
