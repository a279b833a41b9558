#include "platform/BlockAllocator.h"
#include "platform/linux/LinuxServices.h"

namespace brenvik::platform {

std::unique_ptr<BlockAllocator> makeLinuxBlockAllocator() { return std::make_unique<BlockAllocator>(); }

} // namespace brenvik::platform
