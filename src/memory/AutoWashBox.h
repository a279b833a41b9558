#pragma once

// The "Automatic Memory Washing" group of the Options page (placeholder until the wash triggers
// are built).

#include <QGroupBox>

namespace brenvik {

class AutoWashBox : public QGroupBox {
    Q_OBJECT
public:
    explicit AutoWashBox(QWidget* parent = nullptr);
};

} // namespace brenvik
