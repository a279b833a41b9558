#include "sysinfo/SystemPage.h"

#include <QLabel>

namespace brenvik {

SystemPage::SystemPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("System"));
    setFixedSize(594, 431);
    auto* caption = new QLabel(QStringLiteral("System"), this);
    caption->move(8, 8);
}

} // namespace brenvik
