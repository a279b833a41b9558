#include "app/MainUnit.h"
#include "app/NavigationBar.h"
#include "app/OptionsPage.h"
#include "app/SettingsClass.h"
#include "app/SplashScr.h"
#include "common/UnexpectedError.h"
#include "fakes/FakePlatform.h"
#include "memory/AutoWashBox.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <gtest/gtest.h>
#include <stdexcept>

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

TEST_F(MainWindowTest, NavigationItemRowsAre21PixelsHigh) {
    NavigationBar* bar = form.navigationBar();
    form.show();
    int rows = 0;
    for (int group = 0; group < 3; ++group) {
        bar->setOpenGroup(group);
        QCoreApplication::processEvents();
        for (QAction* item : bar->findChildren<QAction*>()) {
            QWidget* row = bar->itemWidget(item);
            if (row == nullptr || !row->isVisible())
                continue;
            EXPECT_EQ(row->height(), 21) << item->text().toStdString();
            ++rows;
        }
    }
    EXPECT_EQ(rows, 8);
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

// Settings stored before creation, in the fake machine hive.
void storeSettings(test::FakePlatform& fake,
                   std::initializer_list<std::pair<const char*, platform::RegValue>> values) {
    platform::HKEY key = 0;
    ASSERT_EQ(fake.registry->openKey(platform::HKEY_LOCAL_MACHINE, SettingsKeyPath, true, key), 0);
    for (const auto& [name, value] : values)
        fake.registry->setValue(key, name, value);
    fake.registry->closeKey(key);
}

// Memory figures that cannot be read the first time they are asked for.
class FirstMemoryReadingFails : public test::FakeSystemStatus {
public:
    platform::MemoryStatus memoryStatus() override {
        if (reads_++ == 0)
            throw std::runtime_error("no memory figures");
        return memory;
    }

private:
    int reads_ = 0;
};

TEST_F(MainWindowTest, UnexpectedErrorsInAStepGoToTheHandlerAndStartUpGoesOn) {
    fake->system = std::make_unique<FirstMemoryReadingFails>();
    storeSettings(*fake, {{"CleanMemoryOnTimer", platform::RegValue::dword(1)}});
    std::vector<std::string> messages;
    setUnexpectedErrorHandler([&](std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            messages.emplace_back(e.what());
        }
    });
    form.FormCreate();
    setUnexpectedErrorHandler(nullptr);
    EXPECT_EQ(messages, std::vector<std::string>{"no memory figures"});
    // The Memory page's step was abandoned; the steps after it ran: the settings were loaded and
    // restored, and the window's timers run.
    EXPECT_TRUE(form.optionsPage()->autoWashBox()->RzCheckBox5()->isChecked());
    EXPECT_TRUE(form.MemoryCleanTimer.isActive());
    EXPECT_TRUE(form.MemoryTimer.isActive());
    EXPECT_TRUE(form.CPUTimer.isActive());
}

TEST_F(MainWindowTest, StopRequestDuringCreationClosesItsBoxAndSkipsTheHold) {
    // Ctrl+Alt with a key no desktop can grab: creation shows the refusal box and waits in it.
    storeSettings(*fake, {{"Shortcut", platform::RegValue::dword(0xC007)}});
    bool boxShown = false;
    std::function<void()> stopWhenTheBoxShows = [&] {
        if (qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr) {
            boxShown = true;
            form.endProgram(); // as SIGTERM or the tray's "Exit" do
            return;
        }
        QTimer::singleShot(10, &form, stopWhenTheBoxShows);
    };
    QTimer::singleShot(10, &form, stopWhenTheBoxShows);
    form.setSplashOnCreation(true, std::chrono::seconds(30));
    const auto start = std::chrono::steady_clock::now();
    form.FormCreate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    ASSERT_TRUE(boxShown);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(form.endRequested());
    // Creation went on to the lists, so that the close sequence, which the entry runs next, has
    // the store to save; the loop's timers were not started.
    EXPECT_NE(form.startupList(), nullptr);
    EXPECT_FALSE(form.closeSequenceDone());
    EXPECT_FALSE(form.MemoryTimer.isActive());
    EXPECT_FALSE(form.splashScreen()->isVisible());
}

TEST_F(MainWindowTest, WithoutATrayHostTheTrayStartShowsTheWindowCentred) {
    form.FormCreate();
    form.showAtStart(true);
    EXPECT_TRUE(form.isVisible());
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_LE((form.geometry().center() - screen.center()).manhattanLength(), 2);
}

} // namespace
} // namespace brenvik
