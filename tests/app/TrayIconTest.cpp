#include "app/TrayIcon.h"

#include "app/MainUnit.h"
#include "fakes/FakePlatform.h"
#include "memory/MemoryPage.h"
#include "memory/MemoryToFreeBox.h"

#include <QAction>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace brenvik {
namespace {

// Offscreen there is no tray host: the icon exists but the window must never hide into it.
class TrayIconTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TMainForm form;
    TrayIcon& tray = *form.trayIcon();
};

TEST_F(TrayIconTest, IconCarriesTheTipAndTheMenu) {
    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("Brenvik"));
    EXPECT_TRUE(tray.icon()->isVisible());
    EXPECT_TRUE(tray.icon()->icon().availableSizes().contains(QSize(32, 32)));
    EXPECT_EQ(tray.icon()->contextMenu(), tray.menu());
    EXPECT_EQ(tray.menu()->objectName(), QStringLiteral("SysTryMenu"));
    QStringList items;
    for (QAction* action : tray.menu()->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(items,
              (QStringList{QStringLiteral("Wash Now!"), QStringLiteral("-"), QStringLiteral("Show"),
                           QStringLiteral("-"), QStringLiteral("Help"), QStringLiteral("-"),
                           QStringLiteral("Exit")}));
}

TEST_F(TrayIconTest, WashNowFollowsTheWash) {
    // The wash's one block is held until the test lets it go, whatever ends the test.
    std::atomic<bool> go{false};
    struct Release {
        std::atomic<bool>& go;
        ~Release() { go = true; }
    } release{go};
    fake->fakeAllocator().onObtain = [&go](int) {
        while (!go)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    form.memoryPage()->memoryToFreeBox()->setMegabytes(2);
    form.StartWash();
    EXPECT_FALSE(tray.washNowItem()->isEnabled());
    go = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.washesRunning() == 0; }, 5000));
    EXPECT_TRUE(tray.washNowItem()->isEnabled());
}

TEST_F(TrayIconTest, ShowCentresAMinimisedOrHiddenWindowAndShowsIt) {
    form.move(0, 0);
    form.show();
    form.showMinimized();
    form.hide();
    tray.showItem()->trigger();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.isMinimized());
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_LE((form.geometry().center() - screen.center()).manhattanLength(), 2);
}

TEST_F(TrayIconTest, WithoutATrayHostAMinimiseStaysAMinimise) {
    ASSERT_FALSE(TrayIcon::trayAvailable());
    form.show();
    QTest::mouseClick(form.minimiseArea(), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(TrayIconTest, ExitRunsTheCloseSequenceWithTheWindowHidden) {
    form.FormCreate();
    ASSERT_FALSE(form.isVisible());
    tray.exitItem()->trigger();
    EXPECT_TRUE(form.closeSequenceDone());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(TrayIconTest, HelpOpensTheHelpFileBesideTheProgram) {
    tray.helpItem()->trigger();
    ASSERT_EQ(fake->fakeShell().calls.size(), 1u);
    EXPECT_EQ(fake->fakeShell().calls[0].verb, "Open");
    EXPECT_EQ(fake->fakeShell().calls[0].file, "/opt/brenvik/Help/Brenvik.chm");
}

} // namespace
} // namespace brenvik
