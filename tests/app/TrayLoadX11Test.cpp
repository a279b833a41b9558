// The memory load in the icon docked in a real XEmbed tray (trayer, under scripts/with-x.sh): what
// the tray shows on the screen, read back from the screen.

#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/TrayIcon.h"
#include "app/TrayLoadIcon.h"
#include "fakes/FakePlatform.h"
#include "support/Eventually.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

// scripts/with-x.sh docks the tray host at the top of the screen, 32 pixels high.
constexpr int TrayStripHeight = 40;

class TrayLoadX11Test : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TMainForm form;

    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"))
            << "run under scripts/with-x.sh";
        if (form.trayIcon()->onStatusNotifierHost())
            GTEST_SKIP() << "a StatusNotifierItem watcher runs: the icon is not docked by XEmbed";
        setLoad(40);
        form.FormCreate();
        form.MemoryTimer.setInterval(50);
        ASSERT_EVENTUALLY_TRUE_WITHIN(docked(), 10000);
    }
    void setLoad(int percent) {
        auto& memory = fake->fakeSystem().memory;
        memory.totalPhys = 1000ULL << 20;
        memory.availPhys = static_cast<std::uint64_t>(100 - percent) * 10ULL << 20;
    }
    QSystemTrayIcon* icon() { return form.trayIcon()->icon(); }
    bool docked() {
        const QRect place = icon()->geometry();
        return TrayIcon::trayAvailable() && place.width() > 0 && place.topLeft() != QPoint(0, 0);
    }
    // The tray host's strip at the top of the screen as the X server shows it. The icon's own
    // geometry can lag behind the host's placing of it, so the whole strip is read.
    QImage onScreen() {
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, 0, 0, screen.width(), TrayStripHeight)
            .toImage();
    }
    int pixelsOf(const QColor& colour) {
        const QImage image = onScreen();
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y).rgb() == colour.rgb() ? 1 : 0;
        return count;
    }
    // A good part of a 16-pixel icon in one level's colour: the background behind the digits.
    bool showsLevel(LoadLevel level) { return pixelsOf(loadLevelColour(level)) > 100; }
    void waitForLevel(LoadLevel level) {
        if (QTest::qWaitFor([&] { return showsLevel(level); }, 5000))
            return;
        const QString file = QStringLiteral("%1/tray-load-%2.png")
                                 .arg(QString::fromLocal8Bit(qgetenv("BRENVIK_BINARY_DIR")))
                                 .arg(static_cast<int>(level));
        onScreen().save(file);
        ADD_FAILURE() << "level " << static_cast<int>(level)
                      << " not shown: " << pixelsOf(loadLevelColour(level))
                      << " pixels of its colour at the top of the screen; picture in "
                      << file.toStdString();
    }
};

TEST_F(TrayLoadX11Test, DockedIconChangesColourWhenTheLoadCrossesALevel) {
    waitForLevel(LoadLevel::Normal);
    const QImage normal = onScreen();
    setLoad(75);
    waitForLevel(LoadLevel::High);
    setLoad(93);
    waitForLevel(LoadLevel::Critical);
    EXPECT_NE(onScreen(), normal);
}

TEST_F(TrayLoadX11Test, UntickingTheOptionBringsBackTheProgramIcon) {
    waitForLevel(LoadLevel::Normal);
    form.optionsPage()->memoryLoadInTrayBox()->setChecked(false);
    ASSERT_EVENTUALLY_TRUE_WITHIN(pixelsOf(loadLevelColour(LoadLevel::Normal)) == 0, 5000);
    const QImage program = onScreen();
    // The program's picture is there, not an empty slot, and the ticks leave it alone.
    setLoad(95);
    QTest::qWait(300);
    EXPECT_EQ(onScreen(), program);
    EXPECT_EQ(pixelsOf(loadLevelColour(LoadLevel::Critical)), 0);
    form.optionsPage()->memoryLoadInTrayBox()->setChecked(true);
    waitForLevel(LoadLevel::Critical);
}

// XEmbed trays keep the double-click: a single left click on the docked icon does nothing.
TEST_F(TrayLoadX11Test, SingleClickOnTheDockedIconDoesNotShowTheWindow) {
    waitForLevel(LoadLevel::Normal);
    // Where the screen shows the icon: the middle of its coloured square.
    const QImage strip = onScreen();
    QRect square;
    for (int y = 0; y < strip.height(); ++y)
        for (int x = 0; x < strip.width(); ++x)
            if (strip.pixelColor(x, y).rgb() == loadLevelColour(LoadLevel::Normal).rgb())
                square |= QRect(x, y, 1, 1);
    const QPoint centre = square.center();
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                {QStringLiteral("mousemove"), QString::number(centre.x()),
                                 QString::number(centre.y()), QStringLiteral("click"),
                                 QStringLiteral("1")}),
              0);
    QTest::qWait(600);
    EXPECT_FALSE(form.isVisible());
    // The same place answers a double-click, so the click did reach the icon.
    ASSERT_EQ(
        QProcess::execute(QStringLiteral("xdotool"),
                          {QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"),
                           QStringLiteral("--delay"), QStringLiteral("80"), QStringLiteral("1")}),
        0);
    ASSERT_EVENTUALLY_TRUE_WITHIN(form.isVisible(), 5000);
}

} // namespace
} // namespace brenvik
