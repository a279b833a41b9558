#include "memory/UsageGraph.h"

namespace brenvik {

UsageGraph::UsageGraph(QWidget* parent, int baseLinePercent)
    : QWidget(parent), baseLinePercent_(baseLinePercent) {}

} // namespace brenvik
