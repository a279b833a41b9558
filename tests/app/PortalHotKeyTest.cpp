// The hot key in a Wayland session, through the real xdg-desktop-portal frontend on a private bus
// with the test's global-shortcuts backend (portal/shortcuts_backend.py). Run by
// portal/with-portal.sh, which starts all three and sets the session up as Wayland.

#include "MessageBoxCatcher.h"
#include "app/ApplicationHotKey.h"
#include "app/HotKeyEdit.h"
#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/SettingsClass.h"
#include "fakes/FakePlatform.h"
#include "support/Eventually.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace platform;

// Orders to the test backend: how to answer a binding, and key presses.
class Backend {
public:
    QVariant call(const char* method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.impl.portal.desktop.brenviktest"),
            QStringLiteral("/org/brenvik/test/ShortcutsBackend"),
            QStringLiteral("org.brenvik.test.ShortcutsBackend"), QLatin1String(method));
        message.setArguments(arguments);
        const QDBusMessage reply = QDBusConnection::sessionBus().call(message);
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0);
    }
    void answerWith(const QString& answer) { call("SetAnswer", {answer}); }
    QStringList requestedTriggers() { return call("RequestedTriggers").toStringList(); }
    uint openSessions() { return call("OpenSessions").toUInt(); }
    // Holds every bound key through `repeats` auto-repeats, then lets go. Returns the keys pressed.
    uint press(uint repeats) { return call("Press", {repeats, true}).toUInt(); }
};

const QString Unavailable = QStringLiteral(
    "This desktop session offers Brenvik no way to register a global shortcut key\nA wash can "
    "still be started from the window or the tray menu");

class PortalTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TMainForm form;
    test::MessageBoxCatcher boxes;

    void SetUp() override {
        ASSERT_EQ(qEnvironmentVariable("XDG_SESSION_TYPE"), QStringLiteral("wayland"))
            << "run under tests/app/portal/with-portal.sh";
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
    }
    ApplicationHotKey* hotKey() { return form.applicationHotKey(); }
    void registerCode(std::uint16_t code) {
        form.optionsPage()->hotKeyEdit()->setCode(code);
        QTest::mouseClick(form.optionsPage()->registerShortcutButton(), Qt::LeftButton);
    }
    void storeShortcut(std::uint16_t code) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, false));
        registry.WriteInteger("Shortcut", code);
    }
};

class PortalHotKeyTest : public PortalTest {
protected:
    Backend backend;
    void SetUp() override {
        PortalTest::SetUp();
        backend.call("Reset");
    }
    void TearDown() override {
        // Each test leaves the desktop as it found it: the form's end gives its session back.
        form.applicationHotKey()->activate(0);
        ASSERT_EVENTUALLY_TRUE_WITHIN(backend.openSessions() == 0u, 5000);
    }
};

TEST_F(PortalHotKeyTest, RegisteredKeyIsBoundAsAskedAndAHeldKeyWashesOnce) {
    registerCode(0xC057); // Ctrl+Alt+W
    ASSERT_EVENTUALLY_TRUE_WITHIN(hotKey()->active(), 5000);
    EXPECT_EQ(backend.requestedTriggers(), QStringList{QStringLiteral("CTRL+ALT+w")});
    EXPECT_TRUE(boxes.seen.empty());

    QSignalSpy washes(hotKey(), &ApplicationHotKey::hotKey);
    ASSERT_EQ(backend.press(30), 1u); // about a second of auto-repeat
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() >= 1, 5000);
    QTest::qWait(300);
    EXPECT_EQ(washes.count(), 1);
    // Let go, the next press is a press of its own.
    ASSERT_EQ(backend.press(0), 1u);
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() == 2, 5000);
}

TEST_F(PortalHotKeyTest, TheDesktopsAnswerIsToldAsItIs) {
    struct Case {
        const char* answer;
        bool active;
        QString box; // empty: none
    };
    const std::vector<Case> cases{
        {"decline", false,
         QStringLiteral("The desktop did not bind this shortcut key to Brenvik\nPlease select "
                        "another shortcut key and try again")},
        {"Ctrl+Alt+B", true,
         QStringLiteral("The desktop bound Brenvik's shortcut to Ctrl+Alt+B instead of the key "
                        "you selected")},
        {"Alt + Ctrl + W", true, {}}, // the key asked for, in the desktop's own words
    };
    for (const Case& c : cases) {
        backend.answerWith(QLatin1String(c.answer));
        boxes.seen.clear();
        registerCode(0xC057);
        ASSERT_EVENTUALLY_TRUE_WITHIN(backend.requestedTriggers().size() >= 1, 5000);
        if (c.box.isEmpty())
            ASSERT_EVENTUALLY_TRUE_WITHIN(hotKey()->active(), 5000);
        else
            ASSERT_EVENTUALLY_TRUE_WITHIN(!boxes.seen.empty(), 5000);
        QTest::qWait(200);
        EXPECT_EQ(hotKey()->active(), c.active) << c.answer;
        ASSERT_EQ(boxes.seen.size(), c.box.isEmpty() ? 0u : 1u) << c.answer;
        if (!c.box.isEmpty()) {
            EXPECT_EQ(boxes.seen[0].title, QStringLiteral("Information"));
            EXPECT_EQ(boxes.seen[0].text, c.box);
        }
    }
    // Whatever the answer, the code is stored as the user asked.
    TRegistry registry(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(registry.OpenKeyReadOnly(SettingsKeyPath));
    EXPECT_EQ(registry.ReadInteger("Shortcut"), 0xC057);
}

TEST_F(PortalHotKeyTest, AnotherKeyReplacesTheSessionAndAnEmptyBoxEndsIt) {
    registerCode(0xC057);
    ASSERT_EVENTUALLY_TRUE_WITHIN(hotKey()->active(), 5000);
    registerCode(0x4074); // Ctrl+F5
    ASSERT_EVENTUALLY_TRUE_WITHIN(hotKey()->active() && backend.requestedTriggers().size() == 2,
                                  5000);
    EXPECT_EQ(backend.requestedTriggers().last(), QStringLiteral("CTRL+F5"));
    ASSERT_EVENTUALLY_TRUE_WITHIN(backend.openSessions() == 1u, 5000);
    registerCode(0);
    ASSERT_EVENTUALLY_TRUE_WITHIN(backend.openSessions() == 0u, 5000);
    EXPECT_TRUE(boxes.seen.empty());
}

TEST_F(PortalHotKeyTest, StoredShortcutRegistersAtStartUpAndWashes) {
    storeShortcut(0x8074); // Alt+F5
    form.FormCreate();
    ASSERT_EVENTUALLY_TRUE_WITHIN(hotKey()->active(), 5000);
    EXPECT_EQ(backend.requestedTriggers(), QStringList{QStringLiteral("ALT+F5")});
    QSignalSpy washes(hotKey(), &ApplicationHotKey::hotKey);
    ASSERT_EQ(backend.press(0), 1u);
    ASSERT_EVENTUALLY_TRUE_WITHIN(washes.count() == 1, 5000);
    EXPECT_TRUE(boxes.seen.empty());
    form.FormCloseQuery();
}

TEST_F(PortalHotKeyTest, AtStartUpADeclinedKeyIsQuiet) {
    backend.answerWith(QStringLiteral("decline"));
    storeShortcut(0xC057);
    form.FormCreate();
    ASSERT_EVENTUALLY_TRUE_WITHIN(backend.requestedTriggers().size() == 1, 5000);
    QTest::qWait(300);
    EXPECT_FALSE(hotKey()->active());
    EXPECT_TRUE(boxes.seen.empty());
    form.FormCloseQuery();
}

// A portal whose desktop offers no global shortcuts (with-portal.sh --without-shortcuts).
class PortalWithoutShortcutsTest : public PortalTest {};

TEST_F(PortalWithoutShortcutsTest, RegisteringSaysSoAndAStartDoesNot) {
    registerCode(0xC057);
    ASSERT_EVENTUALLY_TRUE_WITHIN(!boxes.seen.empty(), 5000);
    EXPECT_EQ(boxes.seen[0].title, QStringLiteral("Information"));
    EXPECT_EQ(boxes.seen[0].text, Unavailable);
    EXPECT_FALSE(hotKey()->active());

    TMainForm next;
    boxes.seen.clear();
    next.FormCreate();
    QTest::qWait(500);
    EXPECT_EQ(next.optionsPage()->hotKeyEdit()->code(), 0xC057);
    EXPECT_FALSE(next.applicationHotKey()->active());
    EXPECT_TRUE(boxes.seen.empty());
    next.FormCloseQuery();
}

} // namespace
} // namespace brenvik
