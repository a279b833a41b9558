#pragma once

// CPUID, the time-stamp counter and the performance counter. (Filled in by the processor facts
// work.)

namespace brenvik::platform {

class Processor {
public:
    virtual ~Processor() = default;
};

} // namespace brenvik::platform
