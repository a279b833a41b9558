#include "processes/ProcessPage.h"

#include <QLabel>

namespace brenvik {

ProcessPage::ProcessPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Process"));
    setFixedSize(594, 431);
    auto* caption = new QLabel(QStringLiteral("Process"), this);
    caption->move(8, 8);
}

} // namespace brenvik
