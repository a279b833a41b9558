// The process list in the main window: creation, the page switch, the timer's figure and the close
// sequence, over the fake platform.

#include "app/MainUnit.h"
#include "fakes/FakePlatform.h"
#include "memory/MemoryPage.h"
#include "processes/ProcessPage.h"

#include <QLabel>
#include <QMessageBox>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

class ProcessWindowTest : public ::testing::Test {
protected:
    ProcessWindowTest() {
        table.add(10, "/usr/bin/a");
        table.add(11, "/usr/bin/b");
        table.add(12, "/opt/brenvik/brenvik"); // the program itself
        form.FormCreate();
    }
    QString runningProcesses() const {
        return form.memoryPage()->findChild<QLabel*>(QStringLiteral("Label31"))->text();
    }
    QTreeWidget* rows() const { return form.processPage()->list(); }
    void fireProcessTimer() {
        ASSERT_TRUE(form.ProcessTimer.isActive());
        QMetaObject::invokeMethod(&form.ProcessTimer, "timeout");
    }

    test::FakePlatformScope fake;
    test::FakeProcessTable& table = fake->fakeProcesses();
    TMainForm form;
};

TEST_F(ProcessWindowTest, CreationFillsThePageAndTheRunningProcessesFigure) {
    EXPECT_EQ(rows()->topLevelItemCount(), 2);
    EXPECT_EQ(runningProcesses(), QStringLiteral("2"));
    EXPECT_EQ(rows()->columnWidth(0), 172); // the column widths are set during creation
    EXPECT_EQ(rows()->columnWidth(4), 55);
}

TEST_F(ProcessWindowTest, EnteringThePageRefreshesAtOnceAndTheFigureWaitsForTheTimer) {
    const int snapshots = table.snapshots;
    table.add(13, "/usr/bin/c");
    form.ShowPage(TMainForm::ProcessPageIndex);
    EXPECT_EQ(table.snapshots, snapshots + 1);
    EXPECT_EQ(rows()->topLevelItemCount(), 3);
    EXPECT_EQ(runningProcesses(), QStringLiteral("2")); // only start-up and the timer set it
    fireProcessTimer();
    EXPECT_EQ(runningProcesses(), QStringLiteral("3"));

    // An ended process leaves its row at once; the figure changes with the next timed refresh.
    form.processPage()->setMessageBoxRunner([](QMessageBox&) { return QMessageBox::Yes; });
    rows()->setCurrentItem(rows()->topLevelItem(0));
    form.processPage()->RzButton3Click();
    EXPECT_EQ(rows()->topLevelItemCount(), 2);
    EXPECT_EQ(runningProcesses(), QStringLiteral("3"));
    form.ShowPage(TMainForm::MemoryPageIndex);
    EXPECT_FALSE(form.ProcessTimer.isActive());
    form.ShowPage(TMainForm::ProcessPageIndex);
    EXPECT_EQ(runningProcesses(), QStringLiteral("3"));
    fireProcessTimer();
    EXPECT_EQ(runningProcesses(), QStringLiteral("2"));
}

TEST_F(ProcessWindowTest, CloseSequenceReleasesTheListAndItsRows) {
    form.FormCloseQuery();
    EXPECT_EQ(form.processPage()->processList(), nullptr);
    EXPECT_EQ(rows()->topLevelItemCount(), 0);
    const int snapshots = table.snapshots;
    form.processPage()->RefreshProcessList();
    EXPECT_EQ(table.snapshots, snapshots);
}

} // namespace
} // namespace brenvik
