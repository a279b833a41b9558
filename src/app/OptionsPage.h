#pragma once

#include <QWidget>

namespace brenvik {

// The "Options" page of the main window.
class OptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit OptionsPage(QWidget* parent = nullptr);
};

} // namespace brenvik
