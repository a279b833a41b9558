#include "startup/StartupPage.h"

#include <QLabel>

namespace brenvik {

StartupPage::StartupPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Startup"));
    setFixedSize(594, 431);
    auto* caption = new QLabel(QStringLiteral("Startup"), this);
    caption->move(8, 8);
}

} // namespace brenvik
