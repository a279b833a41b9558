#pragma once

// The "Memory To Free" group of the Memory page (placeholder until the wash triggers are built).

#include <QGroupBox>

namespace brenvik {

class MemoryToFreeBox : public QGroupBox {
    Q_OBJECT
public:
    explicit MemoryToFreeBox(QWidget* parent = nullptr);
};

} // namespace brenvik
