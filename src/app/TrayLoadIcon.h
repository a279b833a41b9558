#pragma once

// Draws the memory load as the tray icon: the whole percentage in block digits on a square whose
// colour says the level. Block digits stay sharp and legible down to a 16-pixel tray, where a
// scaled font turns to blur, and they look the same whatever fonts the desktop has.

#include "memory/MemoryLoad.h"

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace brenvik {

// Every size trays ask for (16, 22, 24, 32) and their double-density forms.
inline constexpr int TrayIconSizes[] = {16, 22, 24, 32, 44, 48, 64};

QColor loadLevelColour(LoadLevel level);
QPixmap drawMemoryLoad(const MemoryLoad& load, int size);
QIcon memoryLoadIcon(const MemoryLoad& load);

} // namespace brenvik
