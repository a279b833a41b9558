#pragma once

// Well-known folders of the user and the system. (Filled in by the special folders work.)

namespace brenvik::platform {

class SpecialFolders {
public:
    virtual ~SpecialFolders() = default;
};

} // namespace brenvik::platform
