#pragma once

// The "Automatic Memory Washing" group of the Options page: washing when free physical memory
// falls below a limit, and washing every few minutes. Each control writes its preference through
// at once; the minutes drive the automatic-wash timer.

#include <QGroupBox>
#include <climits>

class QCheckBox;
class QLabel;
class QSpinBox;
class QTimer;

namespace brenvik {

class TSettings;

class AutoWashBox : public QGroupBox {
    Q_OBJECT
public:
    explicit AutoWashBox(QWidget* parent = nullptr);

    // The start-up fill: the limit box's upper bound, the physical memory in MB rounded up.
    void setLimitMaximum(int megabytes);

    // The automatic-wash timer that "Clean Memory every" drives.
    void setCleanTimer(QTimer& cleanTimer);
    // Binds the box to the preferences, then puts the stored ones in through the controls' own
    // handlers, in the start-up order: the threshold box, "Clean Memory every", the minutes, the
    // limit. Until then the controls store nothing.
    void restore(TSettings& settings);

    QCheckBox* RzCheckBox7() const { return onLimit_; }
    QCheckBox* RzCheckBox5() const { return onTimer_; }
    QSpinBox* RzSpinEdit1() const { return minutes_; }
    QSpinBox* RzSpinEdit2() const { return limit_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void RzCheckBox5Click();
    void RzCheckBox7Click();
    void RzSpinEdit1Change();
    void RzSpinEdit2Change();

    TSettings* settings_ = nullptr;
    QTimer* cleanTimer_ = nullptr;
    QCheckBox* onLimit_;
    QCheckBox* onTimer_;
    QSpinBox* limit_;
    QSpinBox* minutes_;
    QLabel* limitUnit_;
    QLabel* minutesUnit_;
};

} // namespace brenvik
