#include "memory/MemoryToFreeBox.h"

namespace brenvik {

MemoryToFreeBox::MemoryToFreeBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Memory To Free"), parent) {}

} // namespace brenvik
