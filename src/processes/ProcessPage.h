#pragma once

#include <QWidget>

namespace brenvik {

// The "Process" page of the main window.
class ProcessPage : public QWidget {
    Q_OBJECT
public:
    explicit ProcessPage(QWidget* parent = nullptr);
};

} // namespace brenvik
