#pragma once

// The "System" page: a "System" tab with the Windows facts and the special-folder locations, and a
// "CPU" tab with the processor load, its history and the processor facts. The main window fills it
// once at start-up; the processor sampler feeds the bar and the graph.

#include "sysinfo/ComputerInfo.h"

#include <QMap>
#include <QWidget>
#include <array>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace brenvik {

class PercentBar;
class UsageGraph;

class SystemPage : public QWidget {
    Q_OBJECT
public:
    explicit SystemPage(QWidget* parent = nullptr);

    // The " Windows " box, from WindowsRows().
    void fillWindows(const std::vector<InfoRow>& rows);
    // The "CPU Information" box: the rows "Processor:" to "Stepping:", then the rest.
    void fillCpuIdentity(const std::vector<InfoRow>& rows);
    void fillCpuCapabilities(const std::vector<InfoRow>& rows);
    // The sixteen folder fields, top to bottom.
    void fillFolders(const TSystemFolders& folders);

    // The one handler of the sixteen folder buttons: opens the folder of the field `sender` in the
    // file manager. A sender that is none of the fields does nothing.
    void OpenFolderSFoldersExecute(QObject* sender);

    PercentBar* cpuUsageBar() const { return cpuUsageBar_; }
    UsageGraph* cpuHistoryGraph() const { return cpuHistoryGraph_; }
    QTabWidget* tabs() const { return tabs_; }
    // The value shown beside a caption of the " Windows " or "CPU Information" box.
    QString valueOf(const QString& caption) const;
    QLineEdit* folderField(int row) const {
        return folderFields_.at(static_cast<std::size_t>(row));
    }

private:
    QWidget* buildSystemTab();
    QWidget* buildCpuTab();
    QLabel* valueLabel(QWidget* parent, const QString& caption, QRect captionPlace,
                       QRect valuePlace, Qt::Alignment alignment);
    void showRows(const std::vector<InfoRow>& rows);

    QTabWidget* tabs_ = nullptr;
    PercentBar* cpuUsageBar_ = nullptr;
    UsageGraph* cpuHistoryGraph_ = nullptr;
    QMap<QString, QLabel*> values_;
    std::array<QLineEdit*, 16> folderFields_{};
    std::array<std::string, 16> folderPaths_; // as shown in the fields, byte for byte
};

} // namespace brenvik
