#include "memory/MemoryToFreeBox.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace brenvik {

namespace {

constexpr int Margin = 8;
constexpr int RightColumn = 100;
constexpr int ButtonHeight = 25;

} // namespace

QColor amountColour(int position, int maximum) {
    // In whole numbers, so that exactly 50 % and exactly 70 % fall where the rule says.
    const long long share100 = 100LL * position;
    if (maximum <= 0 || share100 <= 50LL * maximum)
        return QColor(0, 128, 0);
    if (share100 < 70LL * maximum)
        return QColor(0, 0, 255);
    return QColor(255, 0, 0);
}

MemoryToFreeBox::MemoryToFreeBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Memory To Free"), parent) {
    setObjectName(QStringLiteral("MemoryToFreeBox"));

    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("JvTrackBar1"));
    slider_->setRange(0, 0);
    slider_->setTickPosition(QSlider::TicksAbove);
    slider_->setTickInterval(10);
    slider_->setSingleStep(1);
    slider_->setPageStep(2);
    connect(slider_, &QSlider::valueChanged, this, &MemoryToFreeBox::JvTrackBar1Change);

    amount_ = new QLabel(QStringLiteral("To Free"), this);
    amount_->setObjectName(QStringLiteral("RzLabel14"));
    amount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    cleanNow_ = new QPushButton(QStringLiteral("Clean Now"), this);
    cleanNow_->setObjectName(QStringLiteral("RzButton1"));
}

void MemoryToFreeBox::setMegabytes(int maximum) {
    slider_->setMaximum(maximum);
    slider_->setValue(maximum / 2);
}

int MemoryToFreeBox::position() const {
    return slider_->value();
}

void MemoryToFreeBox::JvTrackBar1Change() {
    QPalette colours = amount_->palette();
    colours.setColor(QPalette::WindowText, amountColour(slider_->value(), slider_->maximum()));
    amount_->setPalette(colours);
    amount_->setText(QString::number(slider_->value()) + QStringLiteral(" MB To Free"));
}

void MemoryToFreeBox::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    // The slider takes the width left of a column that holds the amount above "Clean Now".
    const int top = 20;
    const int column = std::min(RightColumn, width() / 2);
    const int columnLeft = width() - Margin - column;
    slider_->setGeometry(Margin, top, std::max(columnLeft - 2 * Margin, 20), 32);
    amount_->setGeometry(columnLeft, top, column, 16);
    cleanNow_->setGeometry(columnLeft, std::max(height() - Margin - ButtonHeight, top + 20), column,
                           ButtonHeight);
}

} // namespace brenvik
