#include "platform/ProcessTable.h"
#include "platform/linux/LinuxServices.h"

namespace brenvik::platform {

std::unique_ptr<ProcessTable> makeLinuxProcessTable() { return std::make_unique<ProcessTable>(); }

} // namespace brenvik::platform
