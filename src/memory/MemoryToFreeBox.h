#pragma once

// The "Memory To Free" group of the Memory page: the slider that chooses how many megabytes a
// wash takes, the amount label coloured by the slider's share of its maximum, and "Clean Now".

#include <QGroupBox>

class QLabel;
class QPushButton;
class QSlider;

namespace brenvik {

// The amount label's colour for a position: green up to half the maximum, blue below 70 %, red
// from 70 % on.
QColor amountColour(int position, int maximum);

class MemoryToFreeBox : public QGroupBox {
    Q_OBJECT
public:
    explicit MemoryToFreeBox(QWidget* parent = nullptr);

    // The start-up fill: the maximum in megabytes, the position at half of it.
    void setMegabytes(int maximum);
    // The number of megabytes (blocks) a wash started now would take.
    int position() const;

    QSlider* JvTrackBar1() const { return slider_; }
    QLabel* RzLabel14() const { return amount_; }
    QPushButton* RzButton1() const { return cleanNow_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void JvTrackBar1Change();

    QSlider* slider_;
    QLabel* amount_;
    QPushButton* cleanNow_;
};

} // namespace brenvik
