#include "startup/StartupPage.h"

#include "common/Fonts.h"
#include "startup/StartupClass.h"

#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <array>
#include <cmath>
#include <set>

namespace brenvik {

namespace {

enum Column { ProgramNameColumn, StatusColumn, CommandLineColumn, LocationColumn };
constexpr std::array<double, 4> ColumnShares{0.35, 0.1, 0.35, 0.2};

// ImageList1: image 0 marks a disabled entry, image 1 an active one.
QIcon stateImage(bool enabled) {
    static const std::array<QIcon, 2> images{QIcon(QStringLiteral(":/images/startup-disabled.png")),
                                             QIcon(QStringLiteral(":/images/startup-active.png"))};
    return images[enabled ? 1 : 0];
}

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Character codes compared one by one, with only a to z folded.
QString sortKey(const QString& text) {
    QString key = text;
    for (QChar& c : key)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return key;
}

} // namespace

// A row and the entry it shows.
class StartupRow : public QTreeWidgetItem {
public:
    explicit StartupRow(TStartupItem* entry) : entry_(entry) {}
    TStartupItem* entry() const { return entry_; }

    // Empty texts sort after every other in ascending order, so before them in descending order.
    bool operator<(const QTreeWidgetItem& other) const override {
        const int column = treeWidget()->sortColumn();
        const QString mine = text(column);
        const QString theirs = other.text(column);
        if (mine.isEmpty() || theirs.isEmpty())
            return !mine.isEmpty() && theirs.isEmpty();
        return sortKey(mine) < sortKey(theirs);
    }

private:
    TStartupItem* entry_;
};

StartupPage::StartupPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Startup"));
    setFixedSize(594, 431);

    RzListView2 = new QTreeWidget(this);
    RzListView2->setObjectName(QStringLiteral("RzListView2"));
    RzListView2->setGeometry(6, 8, 581, 376);
    RzListView2->setFont(uiFont(QStringLiteral("MS Shell Dlg 2"), 8));
    RzListView2->setHeaderLabels({QStringLiteral("Program Name"), QStringLiteral("Status"),
                                  QStringLiteral("Command Line"), QStringLiteral("Location")});
    RzListView2->setRootIsDecorated(false);
    RzListView2->setItemsExpandable(false);
    RzListView2->setUniformRowHeights(true);
    RzListView2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    RzListView2->setSelectionMode(QAbstractItemView::SingleSelection);
    RzListView2->setSelectionBehavior(QAbstractItemView::SelectRows);
    RzListView2->setIconSize(QSize(16, 16));
    RzListView2->setContextMenuPolicy(Qt::CustomContextMenu);
    // The selection stays visible while another control has the focus.
    QPalette colours = RzListView2->palette();
    colours.setColor(QPalette::Inactive, QPalette::Highlight,
                     colours.color(QPalette::Active, QPalette::Highlight));
    colours.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     colours.color(QPalette::Active, QPalette::HighlightedText));
    RzListView2->setPalette(colours);
    QHeaderView* header = RzListView2->header();
    header->setStretchLastSection(true);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    connect(header, &QHeaderView::sectionClicked, this, &StartupPage::RzListView2ColumnClick);

    const auto button = [this](const char* name, const QString& caption, int left) {
        auto* made = new QPushButton(caption, this);
        made->setObjectName(QLatin1String(name));
        made->setGeometry(left, 394, 75, 25);
        return made;
    };
    RzButton7 = button("RzButton7", QStringLiteral("&Enable"), 6);
    RzButton6 = button("RzButton6", QStringLiteral("&Disable"), 87);
    RzButton5 = button("RzButton5", QStringLiteral("&Delete"), 168);
    RzButton4 = button("RzButton4", QStringLiteral("&Refresh"), 249);
    connect(RzButton7, &QPushButton::clicked, this, &StartupPage::RzButton7Click);
    connect(RzButton6, &QPushButton::clicked, this, &StartupPage::RzButton6Click);
    connect(RzButton5, &QPushButton::clicked, this, &StartupPage::RzButton5Click);
    connect(RzButton4, &QPushButton::clicked, this, &StartupPage::RzButton4Click);

    PopupMenu3 = new QMenu(this);
    PopupMenu3->setObjectName(QStringLiteral("PopupMenu3"));
    Enable1 = PopupMenu3->addAction(QStringLiteral("&Enable"));
    Enable1->setObjectName(QStringLiteral("Enable1"));
    PopupMenu3->addSeparator();
    Delete1 = PopupMenu3->addAction(QStringLiteral("&Delete"));
    Delete1->setObjectName(QStringLiteral("Delete1"));
    Delete1->setShortcut(QKeySequence(Qt::Key_Delete));
    Delete1->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    RzListView2->addAction(Delete1);
    PopupMenu3->addSeparator();
    Refresh1 = PopupMenu3->addAction(QStringLiteral("&Refresh"));
    Refresh1->setObjectName(QStringLiteral("Refresh1"));
    connect(Enable1, &QAction::triggered, this, &StartupPage::Enable1Click);
    connect(Delete1, &QAction::triggered, this, &StartupPage::RzButton5Click);
    connect(Refresh1, &QAction::triggered, this, &StartupPage::Refresh1Click);
    // The Del shortcut works with or without a row, whatever the last popup showed; without a
    // current row the command does nothing.
    connect(PopupMenu3, &QMenu::aboutToHide, this, [this] { Delete1->setEnabled(true); });
    connect(RzListView2, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenu3Popup();
        PopupMenu3->popup(RzListView2->viewport()->mapToGlobal(at));
    });

    messageBox_ = [this](QMessageBox::Icon icon, const QString& title, const QString& text,
                         QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, title, text, buttons, this);
        return static_cast<QMessageBox::StandardButton>(box.exec());
    };
}

StartupPage::~StartupPage() = default;

void StartupPage::setStartupList(TStartupList* list) {
    RzListView2->clear();
    askedRow_ = nullptr;
    list_ = list;
}

void StartupPage::setMessageBox(MessageBox messageBox) {
    messageBox_ = std::move(messageBox);
}

TStartupItem* StartupPage::entryOf(const QTreeWidgetItem* row) {
    const auto* shown = dynamic_cast<const StartupRow*>(row);
    return shown != nullptr ? shown->entry() : nullptr;
}

StartupRow* StartupPage::currentRow() const {
    return static_cast<StartupRow*>(RzListView2->currentItem());
}

StartupRow* StartupPage::rowOf(const TStartupItem* entry) const {
    for (int i = 0; i < RzListView2->topLevelItemCount(); ++i) {
        auto* row = static_cast<StartupRow*>(RzListView2->topLevelItem(i));
        if (row->entry() == entry)
            return row;
    }
    return nullptr;
}

void StartupPage::addRow(TStartupItem* entry) {
    auto* row = new StartupRow(entry);
    row->setText(ProgramNameColumn, fromUtf8(entry->Name()));
    row->setText(CommandLineColumn, fromUtf8(entry->CommandLine()));
    row->setText(LocationColumn, fromUtf8(entry->Location()));
    showState(row);
    RzListView2->addTopLevelItem(row);
}

void StartupPage::deleteRow(StartupRow* row) {
    if (row == askedRow_)
        askedRow_ = nullptr;
    delete row;
}

void StartupPage::showState(StartupRow* row) {
    const bool enabled = row->entry()->Enabled();
    row->setText(StatusColumn, enabled ? QStringLiteral("Active") : QStringLiteral("Disabled"));
    row->setIcon(ProgramNameColumn, stateImage(enabled));
}

void StartupPage::RefreshStartupList() {
    if (list_ == nullptr)
        return;
    for (int i = 0; i < list_->Count();) {
        TStartupItem* entry = list_->Items(i);
        if (entry->Enabled() && !entry->IsValueCurrent()) {
            if (StartupRow* row = rowOf(entry))
                deleteRow(row);
            list_->Delete(i);
        } else {
            ++i;
        }
    }
    list_->ScanRegistry();
    std::set<const TStartupItem*> shown;
    for (int i = 0; i < RzListView2->topLevelItemCount(); ++i)
        shown.insert(static_cast<StartupRow*>(RzListView2->topLevelItem(i))->entry());
    for (int i = 0; i < list_->Count(); ++i)
        if (!shown.contains(list_->Items(i)))
            addRow(list_->Items(i));
    sortRows(ProgramNameColumn, false);
}

void StartupPage::setColumnWidths() {
    for (int column = 0; column < static_cast<int>(ColumnShares.size()); ++column) {
        // Halves round to even, as the layout's own rounding does.
        const double share = RzListView2->width() * ColumnShares[static_cast<std::size_t>(column)];
        RzListView2->setColumnWidth(column, static_cast<int>(std::nearbyint(share)) - 3);
    }
}

void StartupPage::warnStoreNotSaved(const QString& problem) {
    messageBox_(QMessageBox::Warning, QStringLiteral("Warning"),
                QStringLiteral("The startup list could not be saved (%1).\r\n"
                               "The list saved before is kept.")
                    .arg(problem),
                QMessageBox::Ok);
}

void StartupPage::RzButton7Click() {
    if (StartupRow* row = currentRow()) {
        row->entry()->SetEnabled(true);
        showState(row);
    }
}

void StartupPage::RzButton6Click() {
    if (StartupRow* row = currentRow()) {
        row->entry()->SetEnabled(false);
        showState(row);
    }
}

void StartupPage::RzButton5Click() {
    if (list_ == nullptr || currentRow() == nullptr)
        return;
    askedRow_ = currentRow();
    const auto answer =
        messageBox_(QMessageBox::Question, QStringLiteral("Confirm"),
                    QStringLiteral("Are you sure you want to delete this startup item?"),
                    QMessageBox::Yes | QMessageBox::No);
    // A refresh during the question may have dropped the row; then, or when the focus moved to
    // another row meanwhile, nothing is deleted that the user did not confirm.
    StartupRow* row = askedRow_;
    askedRow_ = nullptr;
    if (answer != QMessageBox::Yes || row == nullptr || row != currentRow())
        return;
    list_->Remove(row->entry());
    deleteRow(row);
}

void StartupPage::RzButton4Click() {
    RefreshStartupList();
}

void StartupPage::Enable1Click() {
    StartupRow* row = currentRow();
    if (row != nullptr && row->entry()->Enabled())
        RzButton6Click();
    else
        RzButton7Click();
}

void StartupPage::Refresh1Click() {
    RefreshStartupList();
}

void StartupPage::PopupMenu3Popup() {
    const bool selected = !RzListView2->selectedItems().isEmpty();
    Enable1->setEnabled(selected);
    Delete1->setEnabled(selected);
    if (!selected)
        return;
    const StartupRow* row = currentRow();
    Enable1->setText(row != nullptr && row->entry()->Enabled() ? QStringLiteral("Disable")
                                                               : QStringLiteral("Enable"));
}

void StartupPage::RzListView2ColumnClick(int column) {
    sortRows(column, column == sortColumn_ && !sortDescending_);
}

void StartupPage::sortRows(int column, bool descending) {
    sortColumn_ = column;
    sortDescending_ = descending;
    RzListView2->sortItems(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

} // namespace brenvik
