#include "app/MainUnit.h"
#include "app/NavigationBar.h"
#include "fakes/FakePlatform.h"

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TMainForm form;
};

TEST_F(MainWindowTest, IsABorderlessWindowOfTheDesignedSize) {
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.size(), QSize(774, 596));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Brenvik"));
    EXPECT_EQ(form.headerPicture()->geometry(), QRect(0, 0, 774, 120));
    EXPECT_EQ(form.navigationBar()->geometry(), QRect(0, 120, 180, 431));
}

TEST_F(MainWindowTest, ShowingTheWindowRoundsItsCorners) {
    form.show();
    const QRegion mask = form.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(773, 595)));
    EXPECT_TRUE(mask.contains(QPoint(10, 0)));
    EXPECT_TRUE(mask.contains(QPoint(387, 298)));
}

TEST_F(MainWindowTest, PageSwitchRunsOnlyThePageTimers) {
    form.FormCreate();
    EXPECT_EQ(form.currentPage(), TMainForm::MemoryPageIndex);
    EXPECT_FALSE(form.ProcessTimer.isActive());
    EXPECT_FALSE(form.StartupTimer.isActive());

    form.ShowPage(TMainForm::ProcessPageIndex);
    EXPECT_TRUE(form.ProcessTimer.isActive());
    EXPECT_EQ(form.ProcessTimer.interval(), 10000);
    EXPECT_FALSE(form.StartupTimer.isActive());

    form.ShowPage(TMainForm::StartupPageIndex);
    EXPECT_FALSE(form.ProcessTimer.isActive());
    EXPECT_TRUE(form.StartupTimer.isActive());
    EXPECT_EQ(form.StartupTimer.interval(), 5000);

    form.ShowPage(TMainForm::OptionsPageIndex);
    EXPECT_FALSE(form.StartupTimer.isActive());

    // A number outside the pages changes nothing but the process timer rule.
    form.ShowPage(TMainForm::ProcessPageIndex);
    form.ShowPage(7);
    EXPECT_EQ(form.currentPage(), TMainForm::ProcessPageIndex);
    EXPECT_FALSE(form.ProcessTimer.isActive());
}

TEST_F(MainWindowTest, NavigationGroupsStartClosedAndOpenOneAtATime) {
    NavigationBar* bar = form.navigationBar();
    EXPECT_EQ(bar->openGroup(), -1);
    QTest::mouseClick(bar->groupButton(0), Qt::LeftButton);
    EXPECT_EQ(bar->openGroup(), 0);
    QTest::mouseClick(bar->groupButton(1), Qt::LeftButton);
    EXPECT_EQ(bar->openGroup(), 1);
    QTest::mouseClick(bar->groupButton(1), Qt::LeftButton);
    EXPECT_EQ(bar->openGroup(), -1);
}

TEST_F(MainWindowTest, ExitCrossLiesAboveTheCloseAreaWhereTheyOverlap) {
    EXPECT_EQ(form.childAt(745, 20), form.exitPicture());
    EXPECT_EQ(form.childAt(745, 32), form.closeArea());
    EXPECT_EQ(form.childAt(720, 25), form.minimiseArea());
}

TEST_F(MainWindowTest, CloseSequenceRunsOnceAndStopsEveryTimer) {
    form.FormCreate();
    form.MemoryCleanTimer.start(60000);
    form.FormCloseQuery();
    EXPECT_TRUE(form.closeSequenceDone());
    for (QTimer* timer : {&form.MemoryTimer, &form.CPUTimer, &form.ProcessTimer, &form.StartupTimer,
                          &form.MemoryCleanTimer})
        EXPECT_FALSE(timer->isActive());
    form.FormCloseQuery(); // a second way of ending does nothing more
    EXPECT_TRUE(form.closeSequenceDone());
}

TEST_F(MainWindowTest, PressingAnyButtonOnTheHeaderMovesTheWindow) {
    form.move(100, 100);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QWidget* header = form.headerPicture();
    const QPoint start = form.pos();
    QTest::mousePress(header, Qt::RightButton, {}, QPoint(300, 50));
    QMouseEvent drag(QEvent::MouseMove, QPointF(340, 70), header->mapToGlobal(QPointF(340, 70)),
                     Qt::NoButton, Qt::RightButton, {});
    QCoreApplication::sendEvent(header, &drag);
    QTest::mouseRelease(header, Qt::RightButton, {}, QPoint(340, 70));
    EXPECT_EQ(form.pos(), start + QPoint(40, 20));
}

TEST_F(MainWindowTest, UnexpectedErrorsInAStepGoToTheHandlerAndStartUpGoesOn) {
    std::vector<std::string> messages;
    TMainForm::setUnexpectedErrorHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            messages.emplace_back(e.what());
        }
    });
    TMainForm::reportUnexpected(std::make_exception_ptr(std::runtime_error("boom")));
    TMainForm::setUnexpectedErrorHandler(nullptr);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "boom");
}

} // namespace
} // namespace brenvik
