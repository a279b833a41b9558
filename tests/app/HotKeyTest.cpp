#include "MessageBoxCatcher.h"
#include "app/ApplicationHotKey.h"
#include "app/HotKeyEdit.h"
#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/SettingsClass.h"
#include "fakes/FakePlatform.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cctype>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace platform;

struct KeyCase {
    const char* what;
    int key;
    Qt::KeyboardModifiers modifiers;
    std::uint16_t code;
};

class HotKeyEditRulesTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(HotKeyEditRulesTest, EntersTheCombinationByTheBoxRules) {
    const KeyCase& c = GetParam();
    HotKeyEdit edit;
    edit.setCode(0x4041); // something else, so an ignored key is seen to change nothing
    QTest::keyClick(&edit, static_cast<Qt::Key>(c.key), c.modifiers);
    EXPECT_EQ(edit.code(), c.code) << c.what;
    EXPECT_EQ(edit.text(), HotKeyEdit::textForCode(c.code)) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    KeysAndModifiers, HotKeyEditRulesTest,
    ::testing::Values(
        KeyCase{"key alone", Qt::Key_W, Qt::NoModifier, 0x0057},
        KeyCase{"Shift plus a key is the key alone", Qt::Key_W, Qt::ShiftModifier, 0x0057},
        KeyCase{"Ctrl+Alt as typed", Qt::Key_W, Qt::ControlModifier | Qt::AltModifier, 0xC057},
        KeyCase{"Ctrl+Shift keeps Shift", Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier,
                0x6057},
        KeyCase{"shifted digit names its key", Qt::Key_Exclam, Qt::AltModifier | Qt::ShiftModifier,
                0xA031},
        KeyCase{"Windows key is dropped", Qt::Key_W, Qt::ControlModifier | Qt::MetaModifier,
                0x4057},
        KeyCase{"function key", Qt::Key_F5, Qt::NoModifier, 0x0074},
        KeyCase{"keypad digit", Qt::Key_7, Qt::KeypadModifier | Qt::ControlModifier, 0x4067},
        KeyCase{"keypad with NumLock off", Qt::Key_Home, Qt::KeypadModifier, 0x0024},
        KeyCase{"punctuation", Qt::Key_Semicolon, Qt::AltModifier, 0x80BA},
        KeyCase{"Backspace empties the box", Qt::Key_Backspace, Qt::NoModifier, 0},
        KeyCase{"Ctrl+Backspace is no key of the table", Qt::Key_Backspace, Qt::ControlModifier,
                0x4041},
        KeyCase{"a key no code can name is ignored", Qt::Key_VolumeUp, Qt::ControlModifier,
                0x4041}),
    [](const ::testing::TestParamInfo<KeyCase>& info) {
        // "Shift plus a key is the key alone" -> ShiftPlusAKeyIsTheKeyAlone
        std::string name;
        bool upper = true;
        for (const char* c = info.param.what; *c != 0; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c)) == 0) {
                upper = true;
                continue;
            }
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(*c))) : *c;
            upper = false;
        }
        return name;
    });

TEST(HotKeyEditTest, ShowsTheCodeAndTheModifiersBeingHeld) {
    HotKeyEdit edit;
    EXPECT_TRUE(edit.text().isEmpty());
    edit.setCode(0xE074);
    EXPECT_EQ(edit.text(), QStringLiteral("Ctrl + Shift + Alt + F5"));
    const auto send = [&edit](QEvent::Type type, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(type, key, modifiers);
        QCoreApplication::sendEvent(&edit, &event);
    };
    // Modifier key events carry the state before them, as the X server reports it.
    send(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    send(QEvent::KeyPress, Qt::Key_Alt, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), QStringLiteral("Ctrl + Alt + "));
    EXPECT_EQ(edit.code(), 0xE074);
    send(QEvent::KeyRelease, Qt::Key_Alt, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(edit.text(), QStringLiteral("Ctrl + "));
    send(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), QStringLiteral("Ctrl + Shift + Alt + F5"));
    // Once a key completes the combination, letting go of it keeps the combination shown.
    send(QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier);
    send(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
    send(QEvent::KeyRelease, Qt::Key_Q, Qt::ControlModifier);
    send(QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(edit.text(), QStringLiteral("Ctrl + Q"));
    edit.setCode(0);
    EXPECT_TRUE(edit.text().isEmpty());
}

// Records what the hot key asks of the desktop; refuses the codes it is told to, as taken.
class FakeGrabber : public HotKeyGrabber {
public:
    std::vector<std::string> calls;
    std::vector<std::uint16_t> refused;
    // What every key not refused gets; Pending leaves the answer to the test.
    Registration answer = Registration::Held;

    Registration registerKey(int identifier, const Shortcut& key) override {
        calls.push_back("register " + std::to_string(identifier) + " " +
                        std::to_string(key.code()));
        const bool taken = std::find(refused.begin(), refused.end(), key.code()) != refused.end();
        return taken ? Registration::Taken : answer;
    }
    void unregisterKey(int identifier) override {
        calls.push_back("unregister " + std::to_string(identifier));
    }
};

class ApplicationHotKeyTest : public ::testing::Test {
protected:
    FakeGrabber* grabber = new FakeGrabber;
    ApplicationHotKey hotKey{std::unique_ptr<HotKeyGrabber>(grabber)};
    QSignalSpy refusals{&hotKey, &ApplicationHotKey::hotKeyRegisterFailed};
    QSignalSpy presses{&hotKey, &ApplicationHotKey::hotKey};
};

TEST_F(ApplicationHotKeyTest, EachActivationReleasesTheOldKeyAndTakesTheNextIdentifier) {
    hotKey.activate(0xC057);
    EXPECT_TRUE(hotKey.active());
    EXPECT_EQ(hotKey.identifier(), 0);
    hotKey.activate(0x4074);
    hotKey.activate(0xC057);
    EXPECT_EQ(hotKey.identifier(), 2);
    EXPECT_EQ(grabber->calls,
              (std::vector<std::string>{"register 0 49239", "unregister 0", "register 1 16500",
                                        "unregister 1", "register 2 49239"}));
    EXPECT_EQ(refusals.count(), 0);
}

TEST_F(ApplicationHotKeyTest, RefusalIsReportedAndTheNextCodeTriesAfresh) {
    grabber->refused = {0xC057};
    hotKey.activate(0xC057);
    EXPECT_FALSE(hotKey.active());
    EXPECT_EQ(refusals.count(), 1);
    EXPECT_EQ(hotKey.code(), 0xC057);
    hotKey.activate(0xC058);
    EXPECT_TRUE(hotKey.active());
    EXPECT_EQ(hotKey.identifier(), 1);
    // Nothing was held after the refusal, so nothing is released.
    EXPECT_EQ(grabber->calls, (std::vector<std::string>{"register 0 49239", "register 1 49240"}));
}

TEST_F(ApplicationHotKeyTest, CodesNoDesktopCouldGrabAreRefusedWithoutAsking) {
    for (std::uint16_t code : {0x4003, 0x405B, 0x1057, 0x4000})
        hotKey.activate(code);
    EXPECT_EQ(refusals.count(), 4);
    EXPECT_TRUE(grabber->calls.empty());
}

TEST_F(ApplicationHotKeyTest, CodeZeroReleasesTheKeyWithoutRefusal) {
    hotKey.activate(0xC057);
    hotKey.activate(0);
    EXPECT_EQ(refusals.count(), 0);
    EXPECT_EQ(grabber->calls, (std::vector<std::string>{"register 0 49239", "unregister 0"}));
}

TEST_F(ApplicationHotKeyTest, OnlyTheCurrentRegistrationFiresAndFromTheEventLoop) {
    hotKey.activate(0xC057);
    hotKey.activate(0x4074);
    grabber->pressed(0); // the released registration
    grabber->pressed(1);
    EXPECT_EQ(presses.count(), 0); // not inside the desktop's dispatch
    ASSERT_TRUE(presses.wait(1000));
    QCoreApplication::processEvents();
    EXPECT_EQ(presses.count(), 1); // and the press of the released one never came
}

TEST_F(ApplicationHotKeyTest, LaterAnswersAreToldOnlyToTheUserWhoAsked) {
    QSignalSpy unavailable(&hotKey, &ApplicationHotKey::hotKeyUnavailable);
    QSignalSpy declined(&hotKey, &ApplicationHotKey::hotKeyDeclined);
    QSignalSpy elsewhere(&hotKey, &ApplicationHotKey::hotKeyBoundElsewhere);
    grabber->answer = Registration::Pending;
    for (auto origin : {ApplicationHotKey::Origin::StartUp, ApplicationHotKey::Origin::User}) {
        hotKey.activate(0xC057, origin);
        EXPECT_FALSE(hotKey.active());
        grabber->settled(hotKey.identifier(), Registration::Declined, {});
        hotKey.activate(0xC057, origin);
        grabber->settled(hotKey.identifier(), Registration::Unavailable, {});
        hotKey.activate(0xC057, origin);
        grabber->settled(hotKey.identifier(), Registration::Held, QStringLiteral("Ctrl+B"));
        EXPECT_TRUE(hotKey.active());
    }
    EXPECT_EQ(declined.count(), 1);
    EXPECT_EQ(unavailable.count(), 1);
    ASSERT_EQ(elsewhere.count(), 1);
    EXPECT_EQ(elsewhere.at(0).at(0).toString(), QStringLiteral("Ctrl+B"));
    // A taken key is refused aloud, at start-up too; answers about a key given up are dropped.
    grabber->answer = Registration::Taken;
    hotKey.activate(0xC057, ApplicationHotKey::Origin::StartUp);
    EXPECT_EQ(refusals.count(), 1);
    grabber->answer = Registration::Pending;
    hotKey.activate(0xC057);
    const int stale = hotKey.identifier();
    hotKey.activate(0x4074);
    grabber->settled(stale, Registration::Held, {});
    EXPECT_FALSE(hotKey.active());
}

TEST(DesktopHotKeyTest, WithoutAnXDisplayNoKeyCanBeHad) {
    ASSERT_NE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ApplicationHotKey hotKey(makeDesktopHotKeyGrabber());
    QSignalSpy refusals(&hotKey, &ApplicationHotKey::hotKeyRegisterFailed);
    QSignalSpy unavailable(&hotKey, &ApplicationHotKey::hotKeyUnavailable);
    hotKey.activate(0xC057);
    EXPECT_FALSE(hotKey.active());
    EXPECT_EQ(refusals.count(), 0); // no other program holds it
    EXPECT_EQ(unavailable.count(), 1);
}

// The main window: "Register Shortcut", the refusal message and the stored key at start-up.
class ShortcutTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TMainForm form;
    FakeGrabber* grabber = new FakeGrabber;

    void SetUp() override {
        form.applicationHotKey()->useGrabber(std::unique_ptr<HotKeyGrabber>(grabber));
    }

    void createSettingsKey() {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
    }
    std::optional<std::int32_t> storedShortcut() {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKey(SettingsKeyPath, false) || !registry.ValueExists("Shortcut"))
            return std::nullopt;
        return registry.ReadInteger("Shortcut");
    }
};

// The box's text as its label lays it out, measured while the box is up: the lines it takes where
// the box is wide enough for nothing to wrap.
struct ShownBox {
    QString text;
    int lines = 0;
};

std::vector<ShownBox> answerBoxes(const std::function<void()>& action) {
    std::vector<ShownBox> shown;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, &watch, [&shown] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        for (QLabel* label : box->findChildren<QLabel*>()) {
            if (label->text() != box->text())
                continue;
            const QFontMetrics metrics = label->fontMetrics();
            const QRect laidOut =
                metrics.boundingRect(QRect(0, 0, 10000, 10000),
                                     int(label->alignment()) | Qt::TextWordWrap, label->text());
            shown.push_back(
                {box->text(), qRound(laidOut.height() / double(metrics.lineSpacing()))});
        }
        box->button(QMessageBox::Ok)->click();
    });
    watch.start();
    action();
    return shown;
}

TEST_F(ShortcutTest, TakenKeyShowsTheMessageOnTwoLinesAndIsStillStored) {
    createSettingsKey();
    grabber->refused = {0xC057};
    form.optionsPage()->hotKeyEdit()->setCode(0xC057);
    const std::vector<ShownBox> shown = answerBoxes([this] {
        QTest::mouseClick(form.optionsPage()->registerShortcutButton(), Qt::LeftButton);
    });
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text,
              QStringLiteral("Brenvik failed to register this shortcut key as it is currently used "
                             "by another Windows application\nPlease select another shortcut key "
                             "and try again"));
    EXPECT_EQ(shown[0].lines, 2);
    EXPECT_EQ(storedShortcut(), 0xC057);
    EXPECT_EQ(form.optionsPage()->hotKeyEdit()->code(), 0xC057);
}

TEST_F(ShortcutTest, EveryAnswerIsAnInformationBox) {
    createSettingsKey();
    form.optionsPage()->hotKeyEdit()->setCode(0xC057);
    for (Registration answer : {Registration::Taken, Registration::Unavailable}) {
        grabber->answer = answer;
        test::MessageBoxCatcher boxes;
        QTest::mouseClick(form.optionsPage()->registerShortcutButton(), Qt::LeftButton);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].title, QStringLiteral("Information"));
        EXPECT_EQ(boxes.seen[0].icon, QMessageBox::Information);
        EXPECT_EQ(boxes.seen[0].buttons, QMessageBox::Ok);
    }
}

TEST_F(ShortcutTest, WhereNoGlobalKeyCanBeHadRegisteringSaysSo) {
    createSettingsKey();
    form.applicationHotKey()->useGrabber(makeDesktopHotKeyGrabber()); // offscreen: none
    form.optionsPage()->hotKeyEdit()->setCode(0xC057);
    test::MessageBoxCatcher boxes;
    QTest::mouseClick(form.optionsPage()->registerShortcutButton(), Qt::LeftButton);
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text,
              QStringLiteral("This desktop session offers Brenvik no way to register a global "
                             "shortcut key\nA wash can still be started from the window or the "
                             "tray menu"));
    EXPECT_EQ(storedShortcut(), 0xC057);
}

TEST_F(ShortcutTest, MissingSettingsKeyIsNotCreated) {
    form.optionsPage()->hotKeyEdit()->setCode(0);
    test::MessageBoxCatcher boxes;
    QTest::mouseClick(form.optionsPage()->registerShortcutButton(), Qt::LeftButton);
    EXPECT_TRUE(boxes.seen.empty()); // code 0 is no key: nothing to refuse
    TRegistry registry(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(registry.KeyExists(SettingsKeyPath));
}

TEST(StartUpShortcutTest, StoredCodeGoesIntoTheBoxAndIsRegistered) {
    struct Case {
        RegValue value;
        std::uint16_t shown;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases{{RegValue::dword(0xC057), 0xC057, {"register 0 49239"}},
                                  {RegValue::dword(0xFFFFFFFFu), 0, {}}, // negative
                                  {RegValue::dword(0x10000), 0, {}},     // above 65535
                                  {RegValue::string("49239"), 0, {}}};   // another type
    for (const Case& c : cases) {
        test::FakePlatformScope scope;
        TMainForm window;
        auto* grabber = new FakeGrabber;
        window.applicationHotKey()->useGrabber(std::unique_ptr<HotKeyGrabber>(grabber));
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        HKEY key = 0;
        ASSERT_EQ(scope->registry->openKey(HKEY_LOCAL_MACHINE, SettingsKeyPath, false, key), 0);
        scope->registry->setValue(key, "Shortcut", c.value);
        scope->registry->closeKey(key);
        test::MessageBoxCatcher boxes;
        window.FormCreate();
        EXPECT_EQ(window.optionsPage()->hotKeyEdit()->code(), c.shown);
        EXPECT_EQ(grabber->calls, c.calls);
        EXPECT_EQ(window.applicationHotKey()->active(), !c.calls.empty());
        EXPECT_TRUE(boxes.seen.empty());
        // The key registered at start-up is the one that washes.
        if (!c.calls.empty()) {
            QSignalSpy washes(window.applicationHotKey(), &ApplicationHotKey::hotKey);
            grabber->pressed(0);
            EXPECT_TRUE(washes.wait(1000));
        }
        window.FormCloseQuery();
    }
}

TEST(StartUpShortcutTest, WhereNoGlobalKeyCanBeHadAStartIsQuiet) {
    test::FakePlatformScope scope;
    TMainForm window; // offscreen: no way to register global keys
    {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        registry.WriteInteger("Shortcut", 0xC057);
    }
    test::MessageBoxCatcher boxes;
    window.FormCreate();
    EXPECT_EQ(window.optionsPage()->hotKeyEdit()->code(), 0xC057);
    EXPECT_FALSE(window.applicationHotKey()->active());
    EXPECT_TRUE(boxes.seen.empty());
    window.FormCloseQuery();
}

} // namespace
} // namespace brenvik
