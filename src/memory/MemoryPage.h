#pragma once

#include <QWidget>

namespace brenvik {

// The "Memory" page of the main window.
class MemoryPage : public QWidget {
    Q_OBJECT
public:
    explicit MemoryPage(QWidget* parent = nullptr);
};

} // namespace brenvik
