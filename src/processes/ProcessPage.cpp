#include "processes/ProcessPage.h"

#include "common/FileUtils.h"
#include "platform/Platform.h"
#include "platform/ProcessTable.h"
#include "platform/Shell.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>

namespace brenvik {

namespace {

enum Column { ProcessColumn, PriorityColumn, MemoryColumn, PathColumn, PidColumn, ThreadsColumn };
constexpr std::array<double, 6> ColumnShares{0.3, 0.1, 0.1, 0.3, 0.1, 0.1};

struct PriorityEntry {
    const char* caption;
    std::uint32_t priorityClass;
    void (ProcessPage::*handler)();
};
const std::array<PriorityEntry, 6> PriorityTable{{
    {"&High", platform::HIGH_PRIORITY_CLASS, &ProcessPage::High1Click},
    {"&Above Normal", platform::ABOVE_NORMAL_PRIORITY_CLASS, &ProcessPage::AboveNormal1Click},
    {"&Below Normal", platform::BELOW_NORMAL_PRIORITY_CLASS, &ProcessPage::BelowNormal1Click},
    {"&Normal", platform::NORMAL_PRIORITY_CLASS, &ProcessPage::Normal1Click},
    {"&Idle", platform::IDLE_PRIORITY_CLASS, &ProcessPage::Idle1Click},
    {"&Real-Time", platform::REALTIME_PRIORITY_CLASS, &ProcessPage::RealTime1Click},
}};

QString qText(const std::string& text) {
    return QString::fromStdString(text);
}

QString memoryText(std::uint64_t bytes) {
    return qText(FormatSize(static_cast<double>(bytes), false));
}

TProcessItem* recordOf(const QTreeWidgetItem* row) {
    return row ? reinterpret_cast<TProcessItem*>(
                     row->data(ProcessColumn, Qt::UserRole).value<quintptr>())
               : nullptr;
}

// Rows order by their texts, not their numbers: "100" sorts before "20", and empty texts go last
// in ascending order (first in descending, which reverses the comparison).
class ProcessRow : public QTreeWidgetItem {
public:
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget()->sortColumn();
        return ListTextBefore(text(column).toStdString(), other.text(column).toStdString());
    }
};

// The hourglass for as long as the object lives.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

ProcessIconList::ProcessIconList(QIcon defaultIcon) {
    images_.append(std::move(defaultIcon));
}

void ProcessIconList::Delete(int index) {
    if (index >= 0 && index < images_.size())
        images_.removeAt(index);
}

int ProcessIconList::AddIcon(const std::string& icon) {
    if (icon.empty())
        return -1;
    const QString reference = qText(icon);
    auto found = loaded_.constFind(reference);
    if (found == loaded_.constEnd()) {
        const QIcon loaded =
            reference.startsWith(QLatin1Char('/')) ? QIcon(reference) : QIcon::fromTheme(reference);
        found = loaded_.insert(reference, loaded);
    }
    if (found->isNull())
        return -1;
    images_.append(*found);
    return static_cast<int>(images_.size()) - 1;
}

ProcessPage::ProcessPage(QWidget* parent)
    : QWidget(parent),
      icons_(QIcon::fromTheme(QLatin1String(DefaultIconName),
                              QApplication::style()->standardIcon(QStyle::SP_FileIcon))) {
    setObjectName(QStringLiteral("Process"));
    setFixedSize(594, 431);

    RzListView1 = new QTreeWidget(this);
    RzListView1->setObjectName(QStringLiteral("RzListView1"));
    RzListView1->setGeometry(6, 8, 582, 376);
    RzListView1->setHeaderLabels({QStringLiteral("Process"), QStringLiteral("Priority"),
                                  QStringLiteral("Memory Usage"), QStringLiteral("Path"),
                                  QStringLiteral("PID"), QStringLiteral("Threads")});
    RzListView1->setRootIsDecorated(false);
    RzListView1->setUniformRowHeights(true);
    RzListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    RzListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    RzListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RzListView1->setIconSize(QSize(16, 16));
    RzListView1->setSortingEnabled(false);
    RzListView1->header()->setSectionsClickable(true);
    RzListView1->header()->setStretchLastSection(true);
    // The selection stays visible when the list loses the focus.
    QPalette colours = RzListView1->palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    RzListView1->setPalette(colours);
    connect(RzListView1->header(), &QHeaderView::sectionClicked, this, &ProcessPage::ColumnClick);

    RzButton2 = new QPushButton(QStringLiteral("Create New"), this);
    RzButton2->setObjectName(QStringLiteral("RzButton2"));
    RzButton2->setGeometry(306, 393, 90, 25);
    connect(RzButton2, &QPushButton::clicked, this, &ProcessPage::RzButton2Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    menu1Entries_ = addPriorityEntries(PopupMenu1);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &ProcessPage::PopupMenu1Popup);
    RzButton1 = new QPushButton(QStringLiteral("Set Priority"), this);
    RzButton1->setObjectName(QStringLiteral("RzButton1"));
    RzButton1->setGeometry(402, 393, 90, 25);
    RzButton1->setMenu(PopupMenu1);

    RzButton3 = new QPushButton(QStringLiteral("End Process"), this);
    RzButton3->setObjectName(QStringLiteral("RzButton3"));
    RzButton3->setGeometry(498, 393, 90, 25);
    connect(RzButton3, &QPushButton::clicked, this, &ProcessPage::RzButton3Click);

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    auto* prioritySubmenu = new QMenu(QStringLiteral("&Priority"), PopupMenu2);
    menu2Entries_ = addPriorityEntries(prioritySubmenu);
    priorityItem_ = PopupMenu2->addMenu(prioritySubmenu);
    PopupMenu2->addSeparator();
    endItem_ = PopupMenu2->addAction(QStringLiteral("&End Process"));
    connect(endItem_, &QAction::triggered, this, &ProcessPage::RzButton3Click);
    connect(PopupMenu2, &QMenu::aboutToShow, this, &ProcessPage::PopupMenu2Popup);
    RzListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RzListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu2->popup(RzListView1->viewport()->mapToGlobal(at));
    });
}

ProcessPage::~ProcessPage() = default;

ProcessPage::PriorityEntries ProcessPage::addPriorityEntries(QMenu* menu) {
    PriorityEntries entries{};
    for (std::size_t i = 0; i < PriorityTable.size(); ++i) {
        QAction* action = menu->addAction(QLatin1String(PriorityTable[i].caption));
        action->setCheckable(true);
        action->setChecked(PriorityTable[i].priorityClass == platform::NORMAL_PRIORITY_CLASS);
        const auto handler = PriorityTable[i].handler;
        connect(action, &QAction::triggered, this, [this, action, handler](bool checked) {
            // The marks show the process's class, not the last click.
            action->setChecked(!checked);
            (this->*handler)();
        });
        entries[i] = action;
    }
    return entries;
}

void ProcessPage::setMessageBoxRunner(std::function<int(QMessageBox&)> runner) {
    runMessageBox_ = std::move(runner);
}

void ProcessPage::setFileDialogRunner(std::function<QString(QFileDialog&)> runner) {
    runFileDialog_ = std::move(runner);
}

void ProcessPage::setProcessList(TProcessList* list) {
    if (list == processList_)
        return;
    // The rows point at the records of the old model, which its owner is about to destroy.
    RzListView1->clear();
    processList_ = list;
}

void ProcessPage::setColumnWidths() {
    const int width = RzListView1->width();
    for (int column = 0; column < static_cast<int>(ColumnShares.size()); ++column)
        RzListView1->setColumnWidth(column, qRound(width * ColumnShares[column]) - 3);
}

void ProcessPage::RefreshProcessList() {
    if (!processList_)
        return;
    BusyCursor busy;
    RzListView1->setUpdatesEnabled(false);
    processList_->Refresh();
    RzListView1->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(processList_->Count());
    for (int i = 0; i < processList_->Count(); ++i) {
        TProcessItem& item = processList_->Items(i);
        auto* row = new ProcessRow;
        // Rows whose executable has no icon of its own show the default process icon.
        const int image = icons_.AddIcon(item.Icon());
        row->setIcon(ProcessColumn, icons_.image(image >= 0 ? image : 0));
        row->setText(ProcessColumn, qText(item.Name()));
        row->setText(PriorityColumn, qText(PriorityToText(item.Priority())));
        row->setText(MemoryColumn, memoryText(item.MemoryUsage()));
        row->setText(PathColumn, qText(item.Path()));
        row->setText(PidColumn, QString::number(item.ProcessID()));
        row->setText(ThreadsColumn, QString::number(item.ThreadCount()));
        row->setData(ProcessColumn, Qt::UserRole,
                     QVariant::fromValue(reinterpret_cast<quintptr>(&item)));
        item.OnPriorityChange = [this](TProcessItem& changed) { ProcessPriorityChanged(changed); };
        item.OnMemoryChange = [this](TProcessItem& changed) { ProcessMemoryChanged(changed); };
        item.OnThreadsChange = [this](TProcessItem& changed) { ProcessThreadsChanged(changed); };
        item.SetListIndex(i);
        rows.append(row);
    }
    RzListView1->addTopLevelItems(rows);
    RzListView1->setUpdatesEnabled(true);
    sortColumn_ = ProcessColumn;
    sortDescending_ = false;
    sortRows();
}

void ProcessPage::ColumnClick(int column) {
    if (column == sortColumn_) {
        sortDescending_ = !sortDescending_;
    } else {
        sortColumn_ = column;
        sortDescending_ = false;
    }
    sortRows();
}

void ProcessPage::sortRows() {
    RzListView1->sortItems(sortColumn_, sortDescending_ ? Qt::DescendingOrder : Qt::AscendingOrder);
    updateListIndexes();
}

void ProcessPage::updateListIndexes() {
    for (int i = 0; i < RzListView1->topLevelItemCount(); ++i)
        if (TProcessItem* record = recordOf(RzListView1->topLevelItem(i)))
            record->SetListIndex(i);
}

QTreeWidgetItem* ProcessPage::rowOf(const TProcessItem& item) const {
    QTreeWidgetItem* row = RzListView1->topLevelItem(item.ListIndex());
    return recordOf(row) == &item ? row : nullptr;
}

TProcessItem* ProcessPage::currentRecord() const {
    return recordOf(RzListView1->currentItem());
}

void ProcessPage::ProcessPriorityChanged(TProcessItem& item) {
    if (QTreeWidgetItem* row = rowOf(item))
        row->setText(PriorityColumn, qText(PriorityToText(item.Priority())));
}

void ProcessPage::ProcessMemoryChanged(TProcessItem& item) {
    if (QTreeWidgetItem* row = rowOf(item))
        row->setText(MemoryColumn, memoryText(item.MemoryUsage()));
}

void ProcessPage::ProcessThreadsChanged(TProcessItem& item) {
    if (QTreeWidgetItem* row = rowOf(item))
        row->setText(ThreadsColumn, QString::number(item.ThreadCount()));
}

void ProcessPage::checkPriorityEntries(const PriorityEntries& entries) {
    const TProcessItem* record = currentRecord();
    if (!record)
        return;
    for (std::size_t i = 0; i < entries.size(); ++i)
        entries[i]->setChecked(PriorityTable[i].priorityClass == record->Priority());
}

void ProcessPage::PopupMenu1Popup() {
    checkPriorityEntries(menu1Entries_);
}

void ProcessPage::PopupMenu2Popup() {
    const bool selected = !RzListView1->selectedItems().isEmpty();
    priorityItem_->setEnabled(selected);
    endItem_->setEnabled(selected);
    checkPriorityEntries(menu2Entries_);
}

void ProcessPage::setCurrentPriority(std::uint32_t priorityClass) {
    if (TProcessItem* record = currentRecord())
        record->SetPriority(priorityClass);
}

void ProcessPage::High1Click() {
    setCurrentPriority(platform::HIGH_PRIORITY_CLASS);
}
void ProcessPage::AboveNormal1Click() {
    setCurrentPriority(platform::ABOVE_NORMAL_PRIORITY_CLASS);
}
void ProcessPage::BelowNormal1Click() {
    setCurrentPriority(platform::BELOW_NORMAL_PRIORITY_CLASS);
}
void ProcessPage::Normal1Click() {
    setCurrentPriority(platform::NORMAL_PRIORITY_CLASS);
}
void ProcessPage::Idle1Click() {
    setCurrentPriority(platform::IDLE_PRIORITY_CLASS);
}
void ProcessPage::RealTime1Click() {
    setCurrentPriority(platform::REALTIME_PRIORITY_CLASS);
}

int ProcessPage::showMessage(int icon, const QString& title, const QString& text, int buttons) {
    QMessageBox box(static_cast<QMessageBox::Icon>(icon), title, text,
                    static_cast<QMessageBox::StandardButtons>(buttons), this);
    return runMessageBox_ ? runMessageBox_(box) : box.exec();
}

void ProcessPage::RzButton3Click() {
    if (!currentRecord())
        return;
    const int answer =
        showMessage(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Are you sure you want to terminate this process?"),
                    QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    // A refresh may have run while the question was open; it leaves no row current.
    TProcessItem* record = currentRecord();
    if (!record)
        return;
    if (!record->Terminate()) {
        showMessage(QMessageBox::Warning, QStringLiteral("Warning"),
                    QStringLiteral("Brenvik couldn't terminate selected process"), QMessageBox::Ok);
        return;
    }
    // The model keeps the record until the next refresh; only its row goes.
    delete rowOf(*record);
    record->SetListIndex(-1);
    updateListIndexes();
}

void ProcessPage::RzButton2Click() {
    QFileDialog dialog(this, QStringLiteral("Open Program"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // Programs here have no ".exe" suffix, so every file is offered unless the user narrows it.
    const QString allFiles = QStringLiteral("All Files (*)");
    dialog.setNameFilters({QStringLiteral("Exe Files (*.exe)"), allFiles});
    dialog.selectNameFilter(allFiles);
    const QString chosen = runFileDialog_                       ? runFileDialog_(dialog)
                           : dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0)
                                                                : QString();
    if (chosen.isEmpty())
        return;
    const QFileInfo file(chosen);
    const QByteArray path = QFile::encodeName(file.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(file.absolutePath() + QLatin1Char('/'));
    platform::current().shell->execute("open", path.toStdString(), {}, folder.toStdString());
    RefreshProcessList();
}

} // namespace brenvik
