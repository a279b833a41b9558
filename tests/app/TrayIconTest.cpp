#include "app/TrayIcon.h"

#include "app/MainUnit.h"
#include "fakes/FakePlatform.h"

#include <QAction>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

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
    tray.setWashCommandsEnabled(false);
    EXPECT_FALSE(tray.washNowItem()->isEnabled());
    tray.setWashCommandsEnabled(true);
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
