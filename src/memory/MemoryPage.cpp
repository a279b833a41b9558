#include "memory/MemoryPage.h"

#include "common/Fonts.h"
#include "common/PercentBar.h"
#include "memory/MemoryToFreeBox.h"
#include "memory/UsageGraph.h"

#include <QGroupBox>
#include <QLabel>

namespace brenvik {

namespace {

constexpr int PageWidth = 594;
constexpr int PageHeight = 431;
constexpr int RowHeight = 22;
constexpr int FirstRowY = 24;
constexpr int InnerMargin = 10;
constexpr int GraphY = 26;

const QString SizePlaceholder = QStringLiteral("1,024 MB");

QString latin1(const ShortText& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MemoryPage::MemoryPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Memory"));
    setFixedSize(PageWidth, PageHeight);
    // Set before the labels are measured, also when the page stands alone.
    setFont(uiFont(QStringLiteral("MS Shell Dlg 2"), 8));

    // Three rows: the figures, the two graphs, then the bars beside the wash controls.
    QGroupBox* usage = group(QStringLiteral("Memory Usage"), {8, 8, 170, 96});
    total_ = captionedValue(usage, QStringLiteral("Total:"), "Label10", 0, SizePlaceholder);
    used_ = captionedValue(usage, QStringLiteral("Used:"), "Label7", 1, SizePlaceholder);
    available_ = captionedValue(usage, QStringLiteral("Available:"), "Label6", 2, SizePlaceholder);

    QGroupBox* paging = group(QStringLiteral("Paging File"), {184, 8, 170, 96});
    pageFileMax_ =
        captionedValue(paging, QStringLiteral("Max Size:"), "Label21", 0, SizePlaceholder);
    pageFileUsed_ = captionedValue(paging, QStringLiteral("Used:"), "Label20", 1, SizePlaceholder);
    pageFileAvailable_ =
        captionedValue(paging, QStringLiteral("Available:"), "Label17", 2, SizePlaceholder);

    QGroupBox* system = group(QStringLiteral("System"), {360, 8, 226, 96});
    uptime_ = captionedValue(system, QStringLiteral("System Uptime:"), "Label32", 0,
                             QStringLiteral("1 Y, 2 M, 5 D, 6 H, 22 M"));
    runningProcesses_ = captionedValue(system, QStringLiteral("Running Processes:"), "Label31", 1,
                                       QStringLiteral("0"));
    windowsName_ = captionedValue(system, QStringLiteral("Windows:"), "Label30", 2,
                                  QStringLiteral("Windows NT 3.51"));

    QGroupBox* history = group(QStringLiteral("Memory Usage History"), {8, 112, 324, 164});
    memoryGraph_ = new UsageGraph(history, 75);
    memoryGraph_->setObjectName(QStringLiteral("JvSimScope1"));
    memoryGraph_->setGeometry(42, GraphY, 275, 129);
    axisTop_ = axisLabel(history, "RzLabel15", QStringLiteral("1024"), GraphY);
    axisMiddle_ = axisLabel(history, "RzLabel46", QStringLiteral("512"), GraphY + 129 / 2);
    axisLabel(history, "RzLabel47", QStringLiteral("0"), GraphY + 128);

    QGroupBox* cpu = group(QStringLiteral("CPU Usage"), {336, 112, 254, 164});
    cpuGraph_ = new UsageGraph(cpu, 88);
    cpuGraph_->setObjectName(QStringLiteral("JvSimScope3"));
    cpuGraph_->setGeometry(1, GraphY, 252, 129);

    QGroupBox* monitor = group(QStringLiteral("Memory Monitor"), {8, 284, 282, 124});
    const int barWidth = monitor->width() - 2 * InnerMargin;
    auto* availableCaption = new QLabel(QStringLiteral("Physical Memory Available"), monitor);
    availableCaption->setGeometry(InnerMargin, FirstRowY + 4, barWidth, 16);
    availableBar_ = new PercentBar(monitor);
    availableBar_->setObjectName(QStringLiteral("RzProgressBar1"));
    availableBar_->setGeometry(InnerMargin, FirstRowY + 22, barWidth, 20);
    auto* pageFileCaption = new QLabel(QStringLiteral("Page File Usage"), monitor);
    pageFileCaption->setGeometry(InnerMargin, FirstRowY + 52, barWidth, 16);
    pageFileBar_ = new PercentBar(monitor);
    pageFileBar_->setObjectName(QStringLiteral("RzProgressBar2"));
    pageFileBar_->setGeometry(InnerMargin, FirstRowY + 70, barWidth, 20);

    memoryToFreeBox_ = new MemoryToFreeBox(this);
    memoryToFreeBox_->setGeometry(296, 284, 290, 124);
}

QGroupBox* MemoryPage::group(const QString& title, const QRect& place) {
    auto* box = new QGroupBox(title, this);
    box->setGeometry(place);
    return box;
}

QLabel* MemoryPage::captionedValue(QGroupBox* box, const QString& caption, const char* name,
                                   int row, const QString& placeholder) {
    const int y = FirstRowY + row * RowHeight;
    auto* captionLabel = new QLabel(caption, box);
    captionLabel->adjustSize();
    captionLabel->move(InnerMargin, y);
    auto* value = new QLabel(placeholder, box);
    value->setObjectName(QLatin1String(name));
    value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int left = InnerMargin + captionLabel->width() + 4;
    value->setGeometry(left, y, box->width() - InnerMargin - left, captionLabel->height());
    return value;
}

QLabel* MemoryPage::axisLabel(QGroupBox* box, const char* name, const QString& text, int centreY) {
    auto* label = new QLabel(text, box);
    label->setObjectName(QLatin1String(name));
    // Smaller than the page text, so that six digits of megabytes fit beside the graph.
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() - 1);
    label->setFont(small);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const int height = label->sizeHint().height();
    label->setGeometry(2, centreY - height / 2, memoryGraph_->x() - 5, height);
    return label;
}

void MemoryPage::showStartupTexts(const MemoryStartupTexts& texts) {
    memoryGraph_->setValue(texts.availablePercent);
    memoryGraph_->start();
    total_->setText(latin1(texts.total));
    used_->setText(latin1(texts.used));
    available_->setText(latin1(texts.available));
    pageFileMax_->setText(QString::fromStdString(texts.pageFileMax));
    pageFileUsed_->setText(QString::fromStdString(texts.pageFileUsed));
    pageFileAvailable_->setText(QString::fromStdString(texts.pageFileAvailable));
    axisTop_->setText(QString::number(texts.totalMegabytesUp));
    axisMiddle_->setText(QString::number(texts.middleAxis));
}

void MemoryPage::showTick(const MemoryTickTexts& texts) {
    availableBar_->setPercent(texts.availablePercent);
    pageFileBar_->setPercent(texts.pageFileUsagePercent);
    used_->setText(latin1(texts.used));
    available_->setText(latin1(texts.available));
    uptime_->setText(latin1(texts.uptime));
    memoryGraph_->setValue(availableBar_->percent());
}

void MemoryPage::setRunningProcesses(int count) {
    runningProcesses_->setText(QString::number(count));
}

void MemoryPage::setWindowsName(const QString& name) {
    windowsName_->setText(name);
    windowsName_->setToolTip(name);
}

} // namespace brenvik
