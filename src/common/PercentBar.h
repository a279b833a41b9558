#pragma once

// A progress bar in the program's colour with its whole percentage written inside it. The model
// is a total of parts and the parts complete; the shown percentage is round(100 * parts / total).

#include <QWidget>
#include <optional>

namespace brenvik {

class PercentBar : public QWidget {
    Q_OBJECT
public:
    explicit PercentBar(QWidget* parent = nullptr, Qt::Orientation orientation = Qt::Horizontal);

    void setBarColor(const QColor& color);
    // Writes the percentage in this one colour throughout, instead of a darker shade of the bar's
    // colour that turns white over the filled part.
    void setPercentColor(const QColor& color);
    // Setting a different total sets the parts complete to 0.
    void setTotalParts(int total);
    void setPartsComplete(int parts); // capped at the total
    void advance() { setPartsComplete(parts_ + 1); }
    // Shows a whole percentage (0 to 100) directly: total 100, parts = percent.
    void setPercent(int percent);

    int totalParts() const { return total_; }
    int partsComplete() const { return parts_; }
    int percent() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Qt::Orientation orientation_;
    QColor color_{153, 204, 103};
    std::optional<QColor> percentColor_;
    int total_ = 100;
    int parts_ = 0;
};

} // namespace brenvik
