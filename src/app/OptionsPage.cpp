#include "app/OptionsPage.h"

#include <QLabel>

namespace brenvik {

OptionsPage::OptionsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Options"));
    setFixedSize(594, 431);
    auto* caption = new QLabel(QStringLiteral("Options"), this);
    caption->move(8, 8);
}

} // namespace brenvik
