#include "platform/Processor.h"
#include "platform/linux/LinuxServices.h"

namespace brenvik::platform {

std::unique_ptr<Processor> makeLinuxProcessor() { return std::make_unique<Processor>(); }

} // namespace brenvik::platform
