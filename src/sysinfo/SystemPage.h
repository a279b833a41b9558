#pragma once

#include <QWidget>

namespace brenvik {

// The "System" page of the main window.
class SystemPage : public QWidget {
    Q_OBJECT
public:
    explicit SystemPage(QWidget* parent = nullptr);
};

} // namespace brenvik
