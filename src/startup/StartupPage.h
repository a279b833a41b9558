#pragma once

#include <QMessageBox>
#include <QWidget>
#include <functional>

class QAction;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace brenvik {

class TStartupList;
class TStartupItem;
class StartupRow;

// The "Startup" page of the main window: the startup list as a table, one row per entry, with
// the commands that disable, enable and delete entries. Rows are never rebuilt: an entry keeps
// its row from refresh to refresh.
class StartupPage : public QWidget {
    Q_OBJECT
public:
    // Asks the user or tells them something; returns the button pressed. Tests answer in place
    // of the user.
    using MessageBox = std::function<QMessageBox::StandardButton(
        QMessageBox::Icon icon, const QString& title, const QString& text,
        QMessageBox::StandardButtons buttons)>;

    explicit StartupPage(QWidget* parent = nullptr);
    ~StartupPage() override;

    // The list the page shows; the main window owns it. Detaching (nullptr) removes every row.
    void setStartupList(TStartupList* list);
    void setMessageBox(MessageBox messageBox);

    // Drops active entries whose value has gone, scans the registry, adds rows for new entries
    // and sorts by "Program Name".
    void RefreshStartupList();
    // Each column gets its share of the list's width.
    void setColumnWidths();
    // The store could not be written at shutdown.
    void warnStoreNotSaved(const QString& problem);

    QTreeWidget* listView() const { return RzListView2; }
    QMenu* popupMenu() const { return PopupMenu3; }
    QAction* toggleEntry() const { return Enable1; }
    QAction* deleteEntry() const { return Delete1; }
    QAction* refreshEntry() const { return Refresh1; }
    QPushButton* enableButton() const { return RzButton7; }
    QPushButton* disableButton() const { return RzButton6; }
    QPushButton* deleteButton() const { return RzButton5; }
    QPushButton* refreshButton() const { return RzButton4; }
    // The entry a row shows; nullptr for a row of another list.
    static TStartupItem* entryOf(const QTreeWidgetItem* row);

    // Handlers, also reached by tests.
    void RzButton7Click(); // "&Enable"
    void RzButton6Click(); // "&Disable"
    void RzButton5Click(); // "&Delete", the menu entry and its Del shortcut
    void RzButton4Click(); // "&Refresh"
    void Enable1Click();   // the menu's toggle entry
    void Refresh1Click();  // the menu's "&Refresh"
    void PopupMenu3Popup();
    void RzListView2ColumnClick(int column);

private:
    StartupRow* currentRow() const;
    StartupRow* rowOf(const TStartupItem* entry) const;
    void addRow(TStartupItem* entry);
    void deleteRow(StartupRow* row);
    void showState(StartupRow* row);
    void sortRows(int column, bool descending);

    TStartupList* list_ = nullptr;
    MessageBox messageBox_;
    QTreeWidget* RzListView2 = nullptr;
    QMenu* PopupMenu3 = nullptr;
    QAction* Enable1 = nullptr;
    QAction* Delete1 = nullptr;
    QAction* Refresh1 = nullptr;
    QPushButton* RzButton7 = nullptr;
    QPushButton* RzButton6 = nullptr;
    QPushButton* RzButton5 = nullptr;
    QPushButton* RzButton4 = nullptr;
    int sortColumn_ = -1;
    bool sortDescending_ = false;
    // The row a delete question is open for; cleared when a refresh drops that row meanwhile.
    StartupRow* askedRow_ = nullptr;
};

} // namespace brenvik
