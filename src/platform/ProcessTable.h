#pragma once

// The process table: snapshots, priority classes, memory figures, termination and icons.
// (Filled in by the process manager work.)

namespace brenvik::platform {

class ProcessTable {
public:
    virtual ~ProcessTable() = default;
};

} // namespace brenvik::platform
