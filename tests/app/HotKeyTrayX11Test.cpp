// The hot key and the tray icon against a real X server with a real tray host (trayer), driven by
// xdotool as a user would. Run under scripts/with-x.sh, one test at a time: the tests share the
// display's keys and its tray.

#include "MessageBoxCatcher.h"
#include "app/ApplicationHotKey.h"
#include "app/HotKeyEdit.h"
#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/SettingsClass.h"
#include "app/TrayIcon.h"
#include "fakes/FakePlatform.h"
#include "memory/MemoryPage.h"
#include "memory/MemoryToFreeBox.h"
#include "support/Eventually.h"
#include "support/TempHome.h"

#include <QAction>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <csignal>
#include <cstdlib>
#include <gtest/gtest.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace brenvik {
namespace {

using namespace platform;

void xdotool(const QStringList& arguments) {
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), arguments), 0)
        << arguments.join(QLatin1Char(' ')).toStdString();
}

void clickAt(const QPoint& where, int button, int times = 1) {
    xdotool({QStringLiteral("mousemove"), QString::number(where.x()), QString::number(where.y())});
    xdotool({QStringLiteral("click"), QStringLiteral("--repeat"), QString::number(times),
             QStringLiteral("--delay"), QStringLiteral("80"), QString::number(button)});
}

// A second X client, as another program holding keys would be.
class OtherClient {
public:
    OtherClient() : connection_(xcb_connect(nullptr, nullptr)) {
        symbols_ = xcb_key_symbols_alloc(connection_);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    }
    ~OtherClient() {
        xcb_key_symbols_free(symbols_);
        xcb_disconnect(connection_);
    }
    bool grab(xcb_keysym_t keysym, std::uint16_t modifiers) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols_, keysym);
        const xcb_keycode_t code = codes != nullptr ? codes[0] : 0;
        std::free(codes);
        xcb_generic_error_t* error = xcb_request_check(
            connection_, xcb_grab_key_checked(connection_, 1, root_, modifiers, code,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        std::free(error);
        return error == nullptr;
    }

private:
    xcb_connection_t* connection_;
    xcb_key_symbols_t* symbols_;
    xcb_window_t root_;
};

constexpr xcb_keysym_t KeysymW = 0x77;
constexpr std::uint16_t CtrlAlt = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

class X11Test : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TMainForm form;

    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "run under scripts/with-x.sh";
    }
    HotKeyEdit* edit() { return form.optionsPage()->hotKeyEdit(); }
    QPushButton* registerButton() { return form.optionsPage()->registerShortcutButton(); }
    std::int32_t storedShortcut() {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(registry.OpenKey(SettingsKeyPath, false));
        return registry.ReadInteger("Shortcut");
    }
};

TEST_F(X11Test, TypedCtrlAltWIsStoredAndItsPressStartsAWashWhateverTheLocks) {
    form.FormCreate();
    form.ShowPage(TMainForm::OptionsPageIndex);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    edit()->setFocus();
    ASSERT_EVENTUALLY_TRUE_WITHIN(edit()->hasFocus(), 5000);
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+w")});
    ASSERT_EVENTUALLY_TRUE_WITHIN(edit()->code() == 0xC057, 5000);
    QTest::mouseClick(registerButton(), Qt::LeftButton);
    EXPECT_EQ(storedShortcut(), 0xC057);
    EXPECT_TRUE(form.applicationHotKey()->active());

    // From anywhere, the window hidden. A small wash, so that its end does not hang on the
    // machine's speed.
    form.memoryPage()->memoryToFreeBox()->setMegabytes(8);
    form.hide();
    QSignalSpy washes(form.applicationHotKey(), &ApplicationHotKey::hotKey);
    // The wash it starts greys "Wash Now!" until it ends.
    QAction* washNow = form.trayIcon()->washNowItem();
    std::vector<bool> washNowStates;
    QObject::connect(washNow, &QAction::changed, washNow,
                     [&] { washNowStates.push_back(washNow->isEnabled()); });
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+w")});
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() == 1, 5000);
    ASSERT_EVENTUALLY_TRUE_WITHIN(washNowStates.size() >= 2u, 10000);
    EXPECT_EQ(washNowStates.front(), false);
    EXPECT_TRUE(washNow->isEnabled());
    for (const char* lock : {"Num_Lock", "Caps_Lock"}) {
        xdotool({QStringLiteral("key"), QLatin1String(lock)});
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+w")});
        xdotool({QStringLiteral("key"), QLatin1String(lock)});
    }
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() == 3, 5000);
    // Another combination of the same letter is not the hot key.
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+w")});
    QTest::qWait(300);
    EXPECT_EQ(washes.count(), 3);
}

TEST_F(X11Test, AHeldKeyWashesOnceWhateverItsAutoRepeat) {
    form.FormCreate();
    form.applicationHotKey()->activate(0xC057);
    ASSERT_TRUE(form.applicationHotKey()->active());
    QSignalSpy washes(form.applicationHotKey(), &ApplicationHotKey::hotKey);
    // The server repeats a held key after its repeat delay; two seconds give some 30 repeats.
    xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl+alt+w")});
    QTest::qWait(2000);
    xdotool({QStringLiteral("keyup"), QStringLiteral("ctrl+alt+w")});
    QTest::qWait(300);
    EXPECT_EQ(washes.count(), 1);
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+w")});
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() == 2, 5000);
}

TEST_F(X11Test, StoredShortcutRegistersAtStartUpAndItsPressWashes) {
    {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        registry.WriteInteger("Shortcut", 0xC057);
    }
    test::MessageBoxCatcher boxes;
    form.FormCreate();
    EXPECT_TRUE(form.applicationHotKey()->active());
    QSignalSpy washes(form.applicationHotKey(), &ApplicationHotKey::hotKey);
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+w")});
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() == 1, 5000);
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(X11Test, KeyHeldByAnotherClientIsRefusedButStoredAndAFreeKeyThenWorks) {
    OtherClient other;
    ASSERT_TRUE(other.grab(KeysymW, CtrlAlt));
    form.FormCreate();
    test::MessageBoxCatcher boxes;
    edit()->setCode(0xC057);
    QTest::mouseClick(registerButton(), Qt::LeftButton);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].title, QStringLiteral("Information"));
    EXPECT_EQ(storedShortcut(), 0xC057);
    EXPECT_FALSE(form.applicationHotKey()->active());

    edit()->setCode(0xC045); // Ctrl+Alt+E
    QTest::mouseClick(registerButton(), Qt::LeftButton);
    EXPECT_EQ(boxes.seen.size(), 1u);
    EXPECT_TRUE(form.applicationHotKey()->active());
    EXPECT_EQ(storedShortcut(), 0xC045);
    QSignalSpy washes(form.applicationHotKey(), &ApplicationHotKey::hotKey);
    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+e")});
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() == 1, 5000);
}

TEST_F(X11Test, PartlyRefusedGrabReleasesTheVariantsItTook) {
    OtherClient other;
    // Only the CapsLock variant is taken: the plain one succeeds first, then must be given back.
    ASSERT_TRUE(other.grab(KeysymW, CtrlAlt | XCB_MOD_MASK_LOCK));
    ApplicationHotKey hotKey(makeDesktopHotKeyGrabber());
    QSignalSpy refusals(&hotKey, &ApplicationHotKey::hotKeyRegisterFailed);
    hotKey.activate(0xC057);
    EXPECT_EQ(refusals.count(), 1);
    EXPECT_TRUE(other.grab(KeysymW, CtrlAlt));
}

TEST_F(X11Test, InAWaylandSessionTheXWaylandGrabIsNotTrusted) {
    test::TempHome home;
    home.setEnv("WAYLAND_DISPLAY", "wayland-0");
    ApplicationHotKey hotKey(makeDesktopHotKeyGrabber());
    hotKey.activate(0xC057);
    EXPECT_FALSE(hotKey.active());
    // Nothing grabbed: another client can still take the key.
    OtherClient other;
    EXPECT_TRUE(other.grab(KeysymW, CtrlAlt));
}

TEST_F(X11Test, StartUpWithAKeyAnotherCopyHoldsShowsTheRefusal) {
    OtherClient other;
    ASSERT_TRUE(other.grab(KeysymW, CtrlAlt));
    {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        registry.WriteInteger("Shortcut", 0xC057);
    }
    test::MessageBoxCatcher boxes;
    form.FormCreate();
    EXPECT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(edit()->code(), 0xC057);
}

class TrayX11Test : public X11Test {
protected:
    QSystemTrayIcon* icon() { return form.trayIcon()->icon(); }
    // Until the tray host has embedded it, the icon's window sits at the screen's origin.
    bool docked() {
        const QRect place = icon()->geometry();
        return TrayIcon::trayAvailable() && place.width() > 0 && place.topLeft() != QPoint(0, 0);
    }
    void waitForDock() { ASSERT_EVENTUALLY_TRUE_WITHIN(docked(), 10000); }
    bool centred() {
        const QRect screen = form.screen()->availableGeometry();
        return (form.geometry().center() - screen.center()).manhattanLength() <= 2;
    }
};

TEST_F(TrayX11Test, StartsHiddenOnlyWhenATrayHostRuns) {
    // The tray host runs here; without one the window shows (MainWindowTest, offscreen).
    form.FormCreate();
    waitForDock();
    form.showAtStart(true);
    QTest::qWait(200);
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(icon()->isVisible());
    form.showAtStart(false);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form.isVisible(), 5000);
    EXPECT_TRUE(centred());
}

TEST_F(TrayX11Test, RightClickShowsTheMenuAndAClickElsewhereClosesIt) {
    form.FormCreate();
    waitForDock();
    clickAt(icon()->geometry().center(), 3);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form.trayIcon()->menu()->isVisible(), 5000);
    clickAt({300, 600}, 1);
    ASSERT_EVENTUALLY_TRUE_WITHIN(!form.trayIcon()->menu()->isVisible(), 5000);
}

TEST_F(TrayX11Test, DoubleClickShowsTheHiddenWindowCentred) {
    form.FormCreate(); // started in the tray: nothing shown
    waitForDock();
    ASSERT_FALSE(form.isVisible());
    clickAt(icon()->geometry().center(), 1, 2);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form.isVisible(), 5000);
    EXPECT_TRUE(centred());
}

TEST_F(TrayX11Test, MinimiseHidesIntoTheTrayAndExitEndsWhileHidden) {
    form.FormCreate();
    waitForDock();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(form.minimiseArea(), Qt::LeftButton);
    ASSERT_EVENTUALLY_TRUE_WITHIN(!form.isVisible(), 5000);

    clickAt(icon()->geometry().center(), 3);
    QMenu* menu = form.trayIcon()->menu();
    ASSERT_EVENTUALLY_TRUE_WITHIN(menu->isVisible(), 5000);
    const QPoint exitPoint =
        menu->mapToGlobal(menu->actionGeometry(form.trayIcon()->exitItem()).center());
    bool triggered = false;
    QObject::connect(form.trayIcon()->exitItem(), &QAction::triggered, menu,
                     [&triggered] { triggered = true; });
    // As a user does: onto the item, and click once it is highlighted.
    xdotool({QStringLiteral("mousemove"), QString::number(exitPoint.x()),
             QString::number(exitPoint.y())});
    ASSERT_EVENTUALLY_TRUE_WITHIN(menu->activeAction() == form.trayIcon()->exitItem(), 5000)
        << " visible " << menu->isVisible() << " popup "
        << (QApplication::activePopupWidget() == menu) << " grabber "
        << (QWidget::mouseGrabber() == menu);
    xdotool({QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_EVENTUALLY_TRUE_WITHIN(form.closeSequenceDone(), 5000)
        << " menu at " << menu->geometry().x() << "," << menu->geometry().y() << " "
        << menu->geometry().width() << "x" << menu->geometry().height() << " exit point "
        << exitPoint.x() << "," << exitPoint.y() << " visible " << menu->isVisible()
        << " triggered " << triggered << " active "
        << (menu->activeAction() ? menu->activeAction()->text().toStdString() : "-");
    EXPECT_FALSE(form.isVisible());
}

TEST_F(TrayX11Test, MinimiseFromTheWindowManagerAlsoHidesIntoTheTray) {
    if (qEnvironmentVariableIntValue("BRENVIK_WM") != 1)
        GTEST_SKIP() << "needs a window manager: run with BRENVIK_WM=1";
    form.FormCreate();
    waitForDock();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(300); // let the window manager take the window over
    xdotool({QStringLiteral("windowminimize"), QString::number(form.winId())});
    ASSERT_EVENTUALLY_TRUE_WITHIN(!form.isVisible(), 5000);
    form.trayIcon()->showItem()->trigger();
    ASSERT_EVENTUALLY_TRUE_WITHIN(form.isVisible() && !form.isMinimized(), 5000);
    EXPECT_TRUE(centred());
}

// The tray host this display runs, found by its window (so never another display's).
qint64 trayHostPid() {
    QProcess search;
    search.start(QStringLiteral("xdotool"),
                 {QStringLiteral("search"), QStringLiteral("--classname"), QStringLiteral("trayer"),
                  QStringLiteral("getwindowpid"), QStringLiteral("%1")});
    search.waitForFinished(5000);
    return QString::fromLatin1(search.readAllStandardOutput()).trimmed().toLongLong();
}

TEST_F(TrayX11Test, IconReturnsWhenTheTrayHostRestarts) {
    form.FormCreate();
    waitForDock();
    const qint64 host = trayHostPid();
    ASSERT_GT(host, 0);
    ASSERT_EQ(::kill(static_cast<pid_t>(host), SIGTERM), 0);
    ASSERT_EVENTUALLY_TRUE_WITHIN(!TrayIcon::trayAvailable(), 5000);
    // The new host outlives the test on purpose: it ends with the display, as the first would.
    // Its output goes nowhere, so that nothing waits for it to close.
    QProcess newHost;
    newHost.setProgram(QStringLiteral("trayer"));
    newHost.setArguments(
        {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
         QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
         QStringLiteral("--width"), QStringLiteral("120"), QStringLiteral("--heighttype"),
         QStringLiteral("pixel"), QStringLiteral("--height"), QStringLiteral("32"),
         QStringLiteral("--transparent"), QStringLiteral("false")});
    newHost.setStandardInputFile(QProcess::nullDevice());
    newHost.setStandardOutputFile(QProcess::nullDevice());
    newHost.setStandardErrorFile(QProcess::nullDevice());
    ASSERT_TRUE(newHost.startDetached());
    waitForDock();
    clickAt(icon()->geometry().center(), 3);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form.trayIcon()->menu()->isVisible(), 5000);
    form.trayIcon()->menu()->hide();
}

} // namespace
} // namespace brenvik
