#include "memory/MemoryPage.h"

#include <QLabel>

namespace brenvik {

MemoryPage::MemoryPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Memory"));
    setFixedSize(594, 431);
    auto* caption = new QLabel(QStringLiteral("Memory"), this);
    caption->move(8, 8);
}

} // namespace brenvik
