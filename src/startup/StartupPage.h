#pragma once

#include <QWidget>

namespace brenvik {

// The "Startup" page of the main window.
class StartupPage : public QWidget {
    Q_OBJECT
public:
    explicit StartupPage(QWidget* parent = nullptr);
};

} // namespace brenvik
