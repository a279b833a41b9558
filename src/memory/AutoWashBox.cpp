#include "memory/AutoWashBox.h"

#include "app/SettingsClass.h"

#include <QCheckBox>
#include <QLabel>
#include <QSpinBox>
#include <QTimer>

namespace brenvik {

namespace {

constexpr int MinutesMaximum = 120;
constexpr int MillisecondsPerMinute = 60000;

} // namespace

AutoWashBox::AutoWashBox(QWidget* parent)
    : QGroupBox(QStringLiteral("Automatic Memory Washing"), parent) {
    setObjectName(QStringLiteral("AutoWashBox"));

    onLimit_ = new QCheckBox(
        QStringLiteral("Automatically clean memory when free physical memory reach"), this);
    onLimit_->setObjectName(QStringLiteral("RzCheckBox7"));
    limit_ = new QSpinBox(this);
    limit_->setObjectName(QStringLiteral("RzSpinEdit2"));
    // Unbounded until the start-up fill knows the memory size, so that nothing restored before
    // it is clamped to a wrong bound and written back.
    limit_->setRange(1, INT_MAX);
    limit_->setValue(1);
    limit_->setEnabled(false);
    limitUnit_ = new QLabel(QStringLiteral("MB"), this);

    onTimer_ = new QCheckBox(QStringLiteral("Clean Memory every"), this);
    onTimer_->setObjectName(QStringLiteral("RzCheckBox5"));
    minutes_ = new QSpinBox(this);
    minutes_->setObjectName(QStringLiteral("RzSpinEdit1"));
    minutes_->setRange(1, MinutesMaximum);
    minutes_->setValue(1);
    minutes_->setEnabled(false);
    minutesUnit_ = new QLabel(QStringLiteral("Min"), this);

    connect(onLimit_, &QCheckBox::toggled, this, &AutoWashBox::RzCheckBox7Click);
    connect(onTimer_, &QCheckBox::toggled, this, &AutoWashBox::RzCheckBox5Click);
    connect(minutes_, &QSpinBox::valueChanged, this, &AutoWashBox::RzSpinEdit1Change);
    connect(limit_, &QSpinBox::valueChanged, this, &AutoWashBox::RzSpinEdit2Change);
}

void AutoWashBox::setLimitMaximum(int megabytes) {
    limit_->setMaximum(std::max(megabytes, 1));
}

void AutoWashBox::setCleanTimer(QTimer& cleanTimer) {
    cleanTimer_ = &cleanTimer;
}

void AutoWashBox::restore(TSettings& settings) {
    settings_ = &settings;
    // A true preference ticks its box, which runs the box's handler as a click would; the
    // numbers go in clamped, and only a changed number runs the change handler (writing back).
    if (settings.CleanMemWhenMemReach())
        onLimit_->setChecked(true);
    if (settings.CleanMemoryOnTimer())
        onTimer_->setChecked(true);
    minutes_->setValue(settings.CleanMemoryEveryMinute());
    limit_->setValue(settings.CleanMemoryOnMemLimit());
    // The timer runs with the minutes the box now shows.
    if (settings.CleanMemoryOnTimer() && cleanTimer_ != nullptr)
        cleanTimer_->start(minutes_->value() * MillisecondsPerMinute);
}

void AutoWashBox::RzCheckBox5Click() {
    const bool ticked = onTimer_->isChecked();
    minutes_->setEnabled(ticked);
    if (settings_ != nullptr)
        settings_->SetCleanMemoryOnTimer(ticked);
    if (cleanTimer_ == nullptr)
        return;
    cleanTimer_->setInterval(minutes_->value() * MillisecondsPerMinute);
    if (ticked)
        cleanTimer_->start(); // the first period counts from now
    else
        cleanTimer_->stop();
}

void AutoWashBox::RzCheckBox7Click() {
    const bool ticked = onLimit_->isChecked();
    limit_->setEnabled(ticked);
    if (settings_ != nullptr)
        settings_->SetCleanMemWhenMemReach(ticked);
}

// The running timer keeps its period until "Clean Memory every" is ticked again.
void AutoWashBox::RzSpinEdit1Change() {
    if (settings_ != nullptr)
        settings_->SetCleanMemoryEveryMinute(minutes_->value());
}

void AutoWashBox::RzSpinEdit2Change() {
    if (settings_ != nullptr)
        settings_->SetCleanMemoryOnMemLimit(limit_->value());
}

void AutoWashBox::resizeEvent(QResizeEvent* event) {
    QGroupBox::resizeEvent(event);
    constexpr int left = 13;
    constexpr int boxWidth = 70;
    const int boxLeft = std::max(width() - 130, 200);
    onLimit_->setGeometry(left, 24, boxLeft - left - 8, 21);
    limit_->setGeometry(boxLeft, 24, boxWidth, 21);
    limitUnit_->setGeometry(boxLeft + boxWidth + 6, 24, 40, 21);
    onTimer_->setGeometry(left, 56, 140, 21);
    minutes_->setGeometry(left + 146, 56, boxWidth, 21);
    minutesUnit_->setGeometry(left + 146 + boxWidth + 6, 56, 40, 21);
}

} // namespace brenvik
