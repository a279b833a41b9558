#pragma once

// The "Process" page: the process model as a table, with priority changes, "End Process" and
// "Create New". The main window owns the model and hands it over; the page owns the rows.

#include "processes/ProcessClass.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QWidget>
#include <array>
#include <functional>

class QAction;
class QFileDialog;
class QMenu;
class QMessageBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace brenvik {

// The page's 16 x 16 images. The first is the default process icon; loaded icons are cached by
// reference across refreshes, so cutting the list back costs no reloading.
class ProcessIconList : public TImageList {
public:
    explicit ProcessIconList(QIcon defaultIcon);
    int Count() const override { return static_cast<int>(images_.size()); }
    void Delete(int index) override;
    int AddIcon(const std::string& icon) override;
    QIcon image(int index) const { return images_.value(index); }

private:
    QList<QIcon> images_;
    QHash<QString, QIcon> loaded_;
};

class ProcessPage : public QWidget {
    Q_OBJECT
public:
    // The default process icon's reference: a theme name, with a built-in picture as fallback.
    static constexpr const char* DefaultIconName = "application-x-executable";

    explicit ProcessPage(QWidget* parent = nullptr);
    ~ProcessPage() override;

    TImageList& imageList() { return icons_; }
    // The main window's model (not owned); nullptr once it has been released. The rows go with
    // the model they show.
    void setProcessList(TProcessList* list);
    TProcessList* processList() const { return processList_; }

    // Refreshes the model and rebuilds every row, sorted by "Process" ascending.
    void RefreshProcessList();
    // Each column gets its share of the list's width, less 3 pixels.
    void setColumnWidths();

    // Modal dialogs run through these, so that tests can answer them. The message-box runner
    // returns the button pressed; the file-dialog runner the chosen file, empty when cancelled.
    void setMessageBoxRunner(std::function<int(QMessageBox&)> runner);
    void setFileDialogRunner(std::function<QString(QFileDialog&)> runner);

    QTreeWidget* list() const { return RzListView1; }
    QMenu* priorityMenu() const { return PopupMenu1; }
    QMenu* contextMenu() const { return PopupMenu2; }
    QAction* contextPriorityEntry() const { return priorityItem_; }
    QAction* contextEndEntry() const { return endItem_; }
    QPushButton* createButton() const { return RzButton2; }
    QPushButton* priorityButton() const { return RzButton1; }
    QPushButton* endButton() const { return RzButton3; }

    // The record of the row with the keyboard focus, if any.
    TProcessItem* currentRecord() const;

    void ColumnClick(int column);
    void PopupMenu1Popup();
    void PopupMenu2Popup();
    void RzButton2Click(); // "Create New"
    void RzButton3Click(); // "End Process", button and context menu

    void High1Click();
    void AboveNormal1Click();
    void BelowNormal1Click();
    void Normal1Click();
    void Idle1Click();
    void RealTime1Click();

private:
    using PriorityEntries = std::array<QAction*, 6>;

    PriorityEntries addPriorityEntries(QMenu* menu);
    void checkPriorityEntries(const PriorityEntries& entries);
    void setCurrentPriority(std::uint32_t priorityClass);
    void sortRows();
    void updateListIndexes();
    QTreeWidgetItem* rowOf(const TProcessItem& item) const;
    int showMessage(int icon, const QString& title, const QString& text, int buttons);

    void ProcessPriorityChanged(TProcessItem& item);
    void ProcessMemoryChanged(TProcessItem& item);
    void ProcessThreadsChanged(TProcessItem& item);

    TProcessList* processList_ = nullptr;
    ProcessIconList icons_;
    QTreeWidget* RzListView1 = nullptr;
    QPushButton* RzButton2 = nullptr;
    QPushButton* RzButton1 = nullptr;
    QPushButton* RzButton3 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* PopupMenu2 = nullptr;
    QAction* priorityItem_ = nullptr;
    QAction* endItem_ = nullptr;
    PriorityEntries menu1Entries_{};
    PriorityEntries menu2Entries_{};
    int sortColumn_ = 0;
    bool sortDescending_ = false;
    std::function<int(QMessageBox&)> runMessageBox_;
    std::function<QString(QFileDialog&)> runFileDialog_;
};

} // namespace brenvik
