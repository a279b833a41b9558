#include "common/PercentBar.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace brenvik {

PercentBar::PercentBar(QWidget* parent, Qt::Orientation orientation)
    : QWidget(parent), orientation_(orientation) {}

void PercentBar::setBarColor(const QColor& color) {
    color_ = color;
    update();
}

void PercentBar::setPercentColor(const QColor& color) {
    percentColor_ = color;
    update();
}

void PercentBar::setTotalParts(int total) {
    total = std::max(total, 0);
    if (total == total_)
        return;
    total_ = total;
    parts_ = 0;
    update();
}

void PercentBar::setPartsComplete(int parts) {
    parts = std::clamp(parts, 0, total_);
    if (parts == parts_)
        return;
    parts_ = parts;
    update();
}

void PercentBar::setPercent(int percent) {
    setTotalParts(100);
    setPartsComplete(percent);
}

int PercentBar::percent() const {
    if (total_ <= 0)
        return 0;
    return static_cast<int>(std::lround(100.0 * parts_ / total_));
}

void PercentBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(frame);
    const QRect inside = frame.adjusted(2, 2, -1, -1);
    const double share = total_ > 0 ? static_cast<double>(parts_) / total_ : 0.0;
    QRect filled = inside;
    if (orientation_ == Qt::Horizontal) {
        filled.setWidth(static_cast<int>(std::lround(inside.width() * share)));
    } else {
        const int height = static_cast<int>(std::lround(inside.height() * share));
        filled.setTop(inside.bottom() - height + 1);
    }
    if (share > 0)
        painter.fillRect(filled, color_);
    // The percentage in the bar's colour, white where the filled part lies under it.
    const QString text = QString::number(percent()) + QLatin1Char('%');
    painter.setFont(font());
    if (percentColor_) {
        painter.setPen(*percentColor_);
        painter.drawText(inside, Qt::AlignCenter, text);
        return;
    }
    painter.setPen(color_.darker(150));
    painter.drawText(inside, Qt::AlignCenter, text);
    painter.setClipRect(filled);
    painter.setPen(Qt::white);
    painter.drawText(inside, Qt::AlignCenter, text);
}

} // namespace brenvik
