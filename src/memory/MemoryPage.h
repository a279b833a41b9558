#pragma once

// The "Memory" page of the main window: physical memory and paging-file figures, the two usage
// bars, system facts, the memory and processor history graphs and the "Memory To Free" group.
// The page only shows what the main window's ticks hand it.

#include "memory/MemoryMonitor.h"

#include <QWidget>

class QGroupBox;
class QLabel;

namespace brenvik {

class MemoryToFreeBox;
class PercentBar;
class UsageGraph;

class MemoryPage : public QWidget {
    Q_OBJECT
public:
    explicit MemoryPage(QWidget* parent = nullptr);

    // The start-up fill: seeds and starts the memory graph, then writes the "Memory Usage" box
    // (its "Total:" only now), the whole "Paging File" box and the graph's axis labels.
    void showStartupTexts(const MemoryStartupTexts& texts);
    // The figures of one tick, in the monitor's order; the memory graph takes the percentage the
    // "Physical Memory Available" bar then shows.
    void showTick(const MemoryTickTexts& texts);
    void setRunningProcesses(int count);
    void setWindowsName(const QString& name);

    UsageGraph* memoryHistoryGraph() const { return memoryGraph_; }
    UsageGraph* cpuUsageGraph() const { return cpuGraph_; }
    PercentBar* availableBar() const { return availableBar_; }
    PercentBar* pageFileBar() const { return pageFileBar_; }
    MemoryToFreeBox* memoryToFreeBox() const { return memoryToFreeBox_; }

private:
    QGroupBox* group(const QString& title, const QRect& place);
    QLabel* captionedValue(QGroupBox* box, const QString& caption, const char* name, int row,
                           const QString& placeholder);
    QLabel* axisLabel(QGroupBox* box, const char* name, const QString& text, int centreY);

    QLabel* total_ = nullptr;
    QLabel* used_ = nullptr;
    QLabel* available_ = nullptr;
    QLabel* pageFileMax_ = nullptr;
    QLabel* pageFileUsed_ = nullptr;
    QLabel* pageFileAvailable_ = nullptr;
    PercentBar* availableBar_ = nullptr;
    PercentBar* pageFileBar_ = nullptr;
    QLabel* uptime_ = nullptr;
    QLabel* runningProcesses_ = nullptr;
    QLabel* windowsName_ = nullptr;
    UsageGraph* memoryGraph_ = nullptr;
    UsageGraph* cpuGraph_ = nullptr;
    QLabel* axisTop_ = nullptr;
    QLabel* axisMiddle_ = nullptr;
    MemoryToFreeBox* memoryToFreeBox_ = nullptr;
};

} // namespace brenvik
