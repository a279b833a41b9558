#pragma once

// A scrolling usage graph (placeholder until the graph is built).

#include <QWidget>

namespace brenvik {

class UsageGraph : public QWidget {
    Q_OBJECT
public:
    UsageGraph(QWidget* parent, int baseLinePercent);

    void setValue(int percent) { value_ = percent; }
    int value() const { return value_; }
    void start() { active_ = true; }
    bool isActive() const { return active_; }

private:
    int baseLinePercent_;
    int value_ = 0;
    bool active_ = false;
};

} // namespace brenvik
