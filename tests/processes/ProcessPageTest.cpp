// The Process page over the fake process table.

#include "processes/ProcessPage.h"

#include "common/FileUtils.h"
#include "fakes/FakePlatform.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using platform::ProcessTable;

enum Column { ProcessColumn, PriorityColumn, MemoryColumn, PathColumn, PidColumn, ThreadsColumn };

class ProcessPageTest : public ::testing::Test {
protected:
    ProcessPageTest() {
        page.setProcessList(&list);
        page.setMessageBoxRunner([this](QMessageBox& box) {
            messages.push_back({box.windowTitle(), box.text()});
            return answer;
        });
    }

    // The texts of one column, top to bottom.
    QStringList column(int index) const {
        QStringList texts;
        for (int row = 0; row < page.list()->topLevelItemCount(); ++row)
            texts << page.list()->topLevelItem(row)->text(index);
        return texts;
    }
    QTreeWidgetItem* rowWithPid(std::uint32_t processId) const {
        const auto found =
            page.list()->findItems(QString::number(processId), Qt::MatchExactly, PidColumn);
        return found.isEmpty() ? nullptr : found.first();
    }
    void makeCurrent(std::uint32_t processId) {
        page.list()->setCurrentItem(rowWithPid(processId));
    }
    // Every shown record's ListIndex names its own row.
    void expectListIndexesTrue() const {
        for (int i = 0; i < list.Count(); ++i) {
            const TProcessItem& item = list.Items(i);
            if (item.ListIndex() < 0)
                continue;
            QTreeWidgetItem* row = page.list()->topLevelItem(item.ListIndex());
            ASSERT_NE(row, nullptr);
            EXPECT_EQ(row->text(PidColumn), QString::number(item.ProcessID()));
        }
    }

    test::FakePlatformScope fake;
    test::FakeProcessTable& table = fake->fakeProcesses();
    ProcessPage page;
    TProcessList list{page.imageList(), ProcessPage::DefaultIconName};
    std::vector<std::pair<QString, QString>> messages;
    int answer = QMessageBox::Yes;
};

TEST_F(ProcessPageTest, RowsShowTheRecordsSortedByNameIgnoringCase) {
    auto& editor = table.add(300, "/usr/bin/zed");
    editor.threadCount = 7;
    editor.memory = 1536;
    editor.icon = "/nonexistent/icon.png";
    table.add(20, "/usr/bin/Beta").priority = 0;
    table.add(100, "/usr/bin/alpha").priority = platform::IDLE_PRIORITY_CLASS;
    page.RefreshProcessList();

    const QTreeWidget* view = page.list();
    ASSERT_EQ(view->columnCount(), 6);
    const QStringList headers{QStringLiteral("Process"),      QStringLiteral("Priority"),
                              QStringLiteral("Memory Usage"), QStringLiteral("Path"),
                              QStringLiteral("PID"),          QStringLiteral("Threads")};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(view->headerItem()->text(i), headers[i]);
    EXPECT_EQ(column(ProcessColumn), (QStringList{QStringLiteral("alpha"), QStringLiteral("Beta"),
                                                  QStringLiteral("zed")}));
    EXPECT_EQ(
        column(PriorityColumn),
        (QStringList{QStringLiteral("Idle"), QStringLiteral("Unknown"), QStringLiteral("Normal")}));
    const QTreeWidgetItem* zed = view->topLevelItem(2);
    EXPECT_EQ(zed->text(MemoryColumn), QString::fromStdString(FormatSize(1536, false)));
    EXPECT_EQ(zed->text(PathColumn), QStringLiteral("/usr/bin/zed"));
    EXPECT_EQ(zed->text(PidColumn), QStringLiteral("300"));
    EXPECT_EQ(zed->text(ThreadsColumn), QStringLiteral("7"));
    // Every row has an image, the default process icon when the executable has none of its own.
    for (int row = 0; row < view->topLevelItemCount(); ++row)
        EXPECT_FALSE(view->topLevelItem(row)->icon(ProcessColumn).isNull()) << row;
    EXPECT_EQ(view->currentItem(), nullptr);
    expectListIndexesTrue();
}

TEST_F(ProcessPageTest, ColumnWidthsAreSharesOfTheListLessThreePixels) {
    page.setColumnWidths();
    const int expected[]{172, 55, 55, 172, 55};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(page.list()->columnWidth(i), expected[i]) << i;
    EXPECT_TRUE(page.list()->header()->stretchLastSection());
}

TEST_F(ProcessPageTest, HeaderClicksSortTextsAndToggleTheDirection) {
    table.add(20, "/bin/b");
    table.add(100, "/bin/a");
    table.add(3, "/bin/c");
    page.RefreshProcessList();
    QHeaderView* header = page.list()->header();

    Q_EMIT header->sectionClicked(PidColumn);
    EXPECT_EQ(column(PidColumn),
              (QStringList{QStringLiteral("100"), QStringLiteral("20"), QStringLiteral("3")}));
    expectListIndexesTrue();
    Q_EMIT header->sectionClicked(PidColumn);
    EXPECT_EQ(column(PidColumn),
              (QStringList{QStringLiteral("3"), QStringLiteral("20"), QStringLiteral("100")}));
    expectListIndexesTrue();
    Q_EMIT header->sectionClicked(PidColumn);
    EXPECT_EQ(column(PidColumn).first(), QStringLiteral("100"));

    // After a refresh "Process" counts as clicked once: clicking it sorts descending.
    Q_EMIT header->sectionClicked(PathColumn);
    page.RefreshProcessList();
    EXPECT_EQ(column(ProcessColumn).first(), QStringLiteral("a"));
    Q_EMIT header->sectionClicked(ProcessColumn);
    EXPECT_EQ(column(ProcessColumn).first(), QStringLiteral("c"));
}

TEST_F(ProcessPageTest, EmptyTextsSortLastAscendingAndFirstDescending) {
    table.add(1, "/bin/b");
    table.add(2, "");
    table.add(3, "/bin/a");
    page.RefreshProcessList();
    EXPECT_EQ(column(ProcessColumn),
              (QStringList{QStringLiteral("a"), QStringLiteral("b"), QString()}));
    page.ColumnClick(ProcessColumn);
    EXPECT_EQ(column(ProcessColumn),
              (QStringList{QString(), QStringLiteral("b"), QStringLiteral("a")}));
}

TEST_F(ProcessPageTest, PriorityChangeRewritesItsOwnRowAfterSortsAndRemovals) {
    table.add(30, "/bin/c");
    table.add(10, "/bin/a");
    table.add(20, "/bin/b");
    page.RefreshProcessList();
    page.ColumnClick(PidColumn);
    page.ColumnClick(PidColumn); // descending: 30, 20, 10

    makeCurrent(30);
    page.RzButton3Click(); // removes the first row
    ASSERT_EQ(rowWithPid(30), nullptr);
    expectListIndexesTrue();

    makeCurrent(10);
    page.High1Click();
    EXPECT_EQ(rowWithPid(10)->text(PriorityColumn), QStringLiteral("High"));
    EXPECT_EQ(rowWithPid(20)->text(PriorityColumn), QStringLiteral("Normal"));
}

TEST_F(ProcessPageTest, RefusedPriorityChangeLeavesTheRowAndShowsNothing) {
    table.add(10, "/bin/a");
    table.protectedIds.insert(10);
    page.RefreshProcessList();
    makeCurrent(10);
    page.RealTime1Click();
    EXPECT_EQ(rowWithPid(10)->text(PriorityColumn), QStringLiteral("Normal"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(ProcessPageTest, PriorityMenusCheckTheCurrentClass) {
    table.add(10, "/bin/a").priority = platform::HIGH_PRIORITY_CLASS;
    table.add(11, "/bin/b").priority = 0;
    page.RefreshProcessList();
    const auto checked = [](QMenu* menu) {
        QStringList texts;
        for (QAction* action : menu->actions())
            if (action->isChecked())
                texts << action->text();
        return texts;
    };
    QMenu* submenu = page.contextPriorityEntry()->menu();
    EXPECT_EQ(checked(page.priorityMenu()), QStringList{QStringLiteral("&Normal")});
    EXPECT_EQ(checked(submenu), QStringList{QStringLiteral("&Normal")});

    makeCurrent(10);
    page.PopupMenu1Popup();
    page.PopupMenu2Popup();
    EXPECT_EQ(checked(page.priorityMenu()), QStringList{QStringLiteral("&High")});
    EXPECT_EQ(checked(submenu), QStringList{QStringLiteral("&High")});

    makeCurrent(11); // "Unknown": nothing checked
    page.PopupMenu1Popup();
    EXPECT_TRUE(checked(page.priorityMenu()).isEmpty());

    // Choosing an entry does not move the mark by itself; without a current row it changes nothing.
    page.list()->setCurrentItem(nullptr);
    page.priorityMenu()->actions().at(0)->trigger();
    EXPECT_TRUE(checked(page.priorityMenu()).isEmpty());
    EXPECT_TRUE(table.priorityCalls.empty());
}

TEST_F(ProcessPageTest, ContextMenuEntriesNeedASelectedRow) {
    table.add(10, "/bin/a");
    page.RefreshProcessList();
    page.PopupMenu2Popup();
    EXPECT_FALSE(page.contextPriorityEntry()->isEnabled());
    EXPECT_FALSE(page.contextEndEntry()->isEnabled());
    page.list()->topLevelItem(0)->setSelected(true);
    page.PopupMenu2Popup();
    EXPECT_TRUE(page.contextPriorityEntry()->isEnabled());
    EXPECT_TRUE(page.contextEndEntry()->isEnabled());
}

TEST_F(ProcessPageTest, EndProcessAsksAndWarnsWhenTheProcessCannotBeEnded) {
    table.add(10, "/bin/a");
    table.add(11, "/bin/guarded");
    table.protectedIds.insert(11);
    page.RefreshProcessList();

    page.RzButton3Click(); // no current row: no question
    EXPECT_TRUE(messages.empty());

    makeCurrent(10);
    answer = QMessageBox::No;
    page.RzButton3Click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, QStringLiteral("Confirm"));
    EXPECT_EQ(messages[0].second,
              QStringLiteral("Are you sure you want to terminate this process?"));
    EXPECT_TRUE(table.terminateCalls.empty());
    EXPECT_NE(rowWithPid(10), nullptr);

    answer = QMessageBox::Yes;
    makeCurrent(11);
    page.endButton()->click();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[2].first, QStringLiteral("Warning"));
    EXPECT_EQ(messages[2].second, QStringLiteral("Brenvik couldn't terminate selected process"));
    EXPECT_NE(rowWithPid(11), nullptr);

    makeCurrent(10);
    page.RzButton3Click();
    EXPECT_EQ(rowWithPid(10), nullptr);
    EXPECT_EQ(messages.size(), 4u);
    EXPECT_EQ(list.Count(), 2); // the model keeps the record until the next refresh
}

TEST_F(ProcessPageTest, EndProcessDoesNothingWhenARefreshRanDuringTheQuestion) {
    table.add(10, "/bin/a");
    page.RefreshProcessList();
    makeCurrent(10);
    page.setMessageBoxRunner([this](QMessageBox&) {
        page.RefreshProcessList();
        return QMessageBox::Yes;
    });
    page.RzButton3Click();
    EXPECT_TRUE(table.terminateCalls.empty());
    EXPECT_NE(rowWithPid(10), nullptr);
}

TEST_F(ProcessPageTest, CreateNewStartsTheChosenFileInItsFolderAndRefreshes) {
    table.add(10, "/bin/a");
    page.RefreshProcessList();
    const int snapshots = table.snapshots;
    QString title;
    QStringList filters;
    QString selectedFilter;
    page.setFileDialogRunner([&](QFileDialog& dialog) {
        title = dialog.windowTitle();
        filters = dialog.nameFilters();
        selectedFilter = dialog.selectedNameFilter();
        return QString();
    });
    page.createButton()->click();
    EXPECT_EQ(title, QStringLiteral("Open Program"));
    EXPECT_EQ(filters,
              (QStringList{QStringLiteral("Exe Files (*.exe)"), QStringLiteral("All Files (*)")}));
    EXPECT_EQ(selectedFilter, QStringLiteral("All Files (*)"));
    EXPECT_EQ(table.snapshots, snapshots); // cancelled: no refresh
    EXPECT_TRUE(fake->fakeShell().calls.empty());

    page.setFileDialogRunner([](QFileDialog&) { return QStringLiteral("/opt/tools/run me"); });
    page.RzButton2Click();
    ASSERT_EQ(fake->fakeShell().calls.size(), 1u);
    const auto& call = fake->fakeShell().calls[0];
    EXPECT_EQ(call.verb, "open");
    EXPECT_EQ(call.file, "/opt/tools/run me");
    EXPECT_EQ(call.parameters, "");
    EXPECT_EQ(call.directory, "/opt/tools/");
    EXPECT_EQ(table.snapshots, snapshots + 1);
}

TEST_F(ProcessPageTest, ReleasingTheModelDuringTheQuestionLeavesNothingToEnd) {
    table.add(10, "/bin/a");
    page.RefreshProcessList();
    makeCurrent(10);
    // The close sequence releases the model while the confirmation is open.
    page.setMessageBoxRunner([this](QMessageBox&) {
        page.setProcessList(nullptr);
        return QMessageBox::Yes;
    });
    page.RzButton3Click();
    EXPECT_TRUE(table.terminateCalls.empty());
    EXPECT_EQ(page.list()->topLevelItemCount(), 0);
}

TEST_F(ProcessPageTest, RefreshWithoutAModelDoesNothing) {
    page.setProcessList(nullptr);
    page.RefreshProcessList();
    EXPECT_EQ(table.snapshots, 0);
    EXPECT_EQ(page.list()->topLevelItemCount(), 0);
}

} // namespace
} // namespace brenvik
