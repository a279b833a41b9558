#pragma once

// Factories of the Linux services; platform::makeLinuxPlatform() assembles them.

#include <memory>

namespace brenvik::platform {

class Registry;
class SystemStatus;
class ProcessTable;
class BlockAllocator;
class Processor;
class SpecialFolders;
class Shell;

std::unique_ptr<Registry> makeLinuxRegistry();
std::unique_ptr<SystemStatus> makeLinuxSystemStatus();
std::unique_ptr<ProcessTable> makeLinuxProcessTable();
std::unique_ptr<BlockAllocator> makeLinuxBlockAllocator();
std::unique_ptr<Processor> makeLinuxProcessor();
std::unique_ptr<SpecialFolders> makeLinuxSpecialFolders();
std::unique_ptr<Shell> makeLinuxShell();

} // namespace brenvik::platform
