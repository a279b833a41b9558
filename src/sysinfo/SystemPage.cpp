#include "sysinfo/SystemPage.h"

#include "common/Fonts.h"
#include "common/PercentBar.h"
#include "memory/UsageGraph.h"
#include "platform/Platform.h"
#include "platform/Shell.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>

namespace brenvik {

namespace {

constexpr int PageWidth = 594;
constexpr int PageHeight = 431;
constexpr int TabWidth = 298;
constexpr int RowHeight = 20;
constexpr int FolderRowPitch = 32;
constexpr int FolderFieldWidth = 455;

QString text(const std::string& value) {
    return QString::fromStdString(value);
}

QGroupBox* group(QWidget* parent, const QString& title, QRect place) {
    auto* box = new QGroupBox(title, parent);
    box->setGeometry(place);
    return box;
}

} // namespace

SystemPage::SystemPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("System"));
    setFixedSize(PageWidth, PageHeight);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("RzPageControl1"));
    tabs_->setGeometry(0, 0, PageWidth, PageHeight);
    tabs_->tabBar()->setUsesScrollButtons(false);
    // Without padding each tab is exactly this wide.
    tabs_->setStyleSheet(
        QStringLiteral("QTabBar::tab { width: %1px; height: 20px; padding: 0px; }").arg(TabWidth));
    tabs_->addTab(buildSystemTab(), QStringLiteral("System"));
    tabs_->addTab(buildCpuTab(), QStringLiteral("CPU"));
}

QLabel* SystemPage::valueLabel(QWidget* parent, const QString& caption, QRect captionPlace,
                               QRect valuePlace, Qt::Alignment alignment) {
    auto* captionLabel = new QLabel(caption, parent);
    captionLabel->setGeometry(captionPlace);
    auto* value = new QLabel(parent);
    value->setObjectName(caption);
    value->setGeometry(valuePlace);
    value->setAlignment(alignment | Qt::AlignVCenter);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    values_.insert(caption, value);
    return value;
}

QWidget* SystemPage::buildSystemTab() {
    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheet1"));

    // Two columns: "Version:" to "SP Version:" on the left, the three numbers beside the first
    // three rows on the right.
    QGroupBox* windows = group(tab, QStringLiteral(" Windows "), {6, 4, 576, 128});
    windows->setObjectName(QStringLiteral("WindowsBox"));
    const char* left[] = {
        "Version:", "Product ID:", "Product Name:", "Product Type:", "SP Version:"};
    for (int row = 0; row < 5; ++row) {
        const int y = 18 + row * RowHeight;
        valueLabel(windows, QLatin1String(left[row]), {10, y, 94, RowHeight},
                   {106, y, 284, RowHeight}, Qt::AlignLeft);
    }
    const char* right[] = {"Version Build:", "Major:", "Minor:"};
    for (int row = 0; row < 3; ++row) {
        const int y = 18 + row * RowHeight;
        valueLabel(windows, QLatin1String(right[row]), {400, y, 90, RowHeight},
                   {490, y, 76, RowHeight}, Qt::AlignLeft);
    }

    QGroupBox* folders =
        group(tab, QStringLiteral("Special Folders Locations"), {6, 136, 576, 262});
    auto* scroll = new QScrollArea(folders);
    scroll->setGeometry(4, 18, 568, 238);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* rows = new QWidget;
    rows->setFixedSize(548, 8 + 16 * FolderRowPitch);
    rows->setStyleSheet(QStringLiteral("QLineEdit:focus { background: rgb(225, 225, 225); }"));
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    for (std::size_t row = 0; row < FolderRows().size(); ++row) {
        const int y = 4 + static_cast<int>(row) * FolderRowPitch;
        auto* caption = new QLabel(QLatin1String(FolderRows()[row].caption), rows);
        caption->setGeometry(6, y, 80, 22);
        auto* field = new QLineEdit(rows);
        field->setObjectName(QLatin1String(FolderRows()[row].caption));
        field->setReadOnly(true);
        field->setGeometry(88, y, FolderFieldWidth, 22);
        QAction* open = field->addAction(folderIcon, QLineEdit::TrailingPosition);
        open->setToolTip(QStringLiteral("Open the folder"));
        connect(open, &QAction::triggered, this,
                [this, field] { OpenFolderSFoldersExecute(field); });
        folderFields_[row] = field;
    }
    scroll->setWidget(rows);
    return tab;
}

QWidget* SystemPage::buildCpuTab() {
    auto* tab = new QWidget;
    tab->setObjectName(QStringLiteral("TabSheet2"));

    QGroupBox* usage = group(tab, QStringLiteral("CPU Usage"), {6, 4, 110, 172});
    cpuUsageBar_ = new PercentBar(usage, Qt::Vertical);
    cpuUsageBar_->setObjectName(QStringLiteral("RzProgressBar4"));
    cpuUsageBar_->setGeometry(30, 22, 50, 140);

    QGroupBox* history = group(tab, QStringLiteral("CPU Usage History"), {122, 4, 460, 172});
    cpuHistoryGraph_ = new UsageGraph(history, 75);
    cpuHistoryGraph_->setObjectName(QStringLiteral("JvSimScope2"));
    cpuHistoryGraph_->setGeometry(8, 22, 443, 140);

    // "Processor:" spans the top; two columns under it, values right-aligned in each.
    QGroupBox* info = group(tab, QStringLiteral("CPU Information"), {6, 182, 576, 216});
    valueLabel(info, QStringLiteral("Processor:"), {10, 22, 80, RowHeight},
               {90, 22, 476, RowHeight}, Qt::AlignRight);
    const char* left[] = {"No of Pro.:", "Vendor:", "Family:", "Model:", "Stepping:", "IA64:"};
    for (int row = 0; row < 6; ++row) {
        const int y = 52 + row * 26;
        valueLabel(info, QLatin1String(left[row]), {10, y, 100, RowHeight},
                   {110, y, 160, RowHeight}, Qt::AlignRight);
    }
    const char* right[] = {"MMX Support:", "Norm Frequency:", "L2 Cache:", "L3 Cache:"};
    for (int row = 0; row < 4; ++row) {
        const int y = 52 + row * 26;
        valueLabel(info, QLatin1String(right[row]), {300, y, 110, RowHeight},
                   {410, y, 156, RowHeight}, Qt::AlignRight);
    }
    return tab;
}

void SystemPage::showRows(const std::vector<InfoRow>& rows) {
    for (const auto& [caption, value] : rows) {
        if (QLabel* label = values_.value(text(caption)))
            label->setText(text(value));
    }
}

void SystemPage::fillWindows(const std::vector<InfoRow>& rows) {
    showRows(rows);
}
void SystemPage::fillCpuIdentity(const std::vector<InfoRow>& rows) {
    showRows(rows);
}
void SystemPage::fillCpuCapabilities(const std::vector<InfoRow>& rows) {
    showRows(rows);
}

void SystemPage::fillFolders(const TSystemFolders& folders) {
    for (std::size_t row = 0; row < FolderRows().size(); ++row) {
        folderPaths_[row] = FolderRows()[row].read(folders);
        folderFields_[row]->setText(text(folderPaths_[row]));
    }
}

void SystemPage::OpenFolderSFoldersExecute(QObject* sender) {
    for (std::size_t row = 0; row < folderFields_.size(); ++row) {
        if (folderFields_[row] == sender) {
            // The path as the system gave it: a name that is not valid UTF-8 does not survive the
            // trip through the field's text.
            platform::current().shell->execute("explore", folderPaths_[row]);
            return;
        }
    }
}

QString SystemPage::valueOf(const QString& caption) const {
    const QLabel* label = values_.value(caption);
    return label != nullptr ? label->text() : QString();
}

} // namespace brenvik
