#include "memory/AutoWashBox.h"

namespace brenvik {

AutoWashBox::AutoWashBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Automatic Memory Washing"), parent) {}

} // namespace brenvik
