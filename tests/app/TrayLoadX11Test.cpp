// The memory load in the icon docked in a real XEmbed tray (trayer, under scripts/with-x.sh): what
// the tray shows on the screen, read back from the screen.

#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/TrayIcon.h"
#include "app/TrayLoadIcon.h"
#include "fakes/FakePlatform.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

#define WAIT_UNTIL(condition, milliseconds)                                                        \
    ASSERT_TRUE(QTest::qWaitFor([&] { return (condition); }, milliseconds)) << #condition

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
        WAIT_UNTIL(docked(), 10000);
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
    // The pixels of the docked icon as the X server shows them.
    QImage onScreen() {
        const QRect place = icon()->geometry();
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, place.x(), place.y(), place.width(), place.height())
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
    // Most of the icon in one level's colour: the background behind the digits.
    bool showsLevel(LoadLevel level) {
        const QRect place = icon()->geometry();
        return pixelsOf(loadLevelColour(level)) > place.width() * place.height() / 3;
    }
};

TEST_F(TrayLoadX11Test, DockedIconChangesColourWhenTheLoadCrossesALevel) {
    WAIT_UNTIL(showsLevel(LoadLevel::Normal), 5000);
    const QImage normal = onScreen();
    setLoad(75);
    WAIT_UNTIL(showsLevel(LoadLevel::High), 5000);
    setLoad(93);
    WAIT_UNTIL(showsLevel(LoadLevel::Critical), 5000);
    EXPECT_NE(onScreen(), normal);
}

TEST_F(TrayLoadX11Test, UntickingTheOptionBringsBackTheProgramIcon) {
    WAIT_UNTIL(showsLevel(LoadLevel::Normal), 5000);
    form.optionsPage()->memoryLoadInTrayBox()->setChecked(false);
    WAIT_UNTIL(pixelsOf(loadLevelColour(LoadLevel::Normal)) == 0, 5000);
    const QImage program = onScreen();
    // The program's picture is there, not an empty slot, and the ticks leave it alone.
    setLoad(95);
    QTest::qWait(300);
    EXPECT_EQ(onScreen(), program);
    EXPECT_EQ(pixelsOf(loadLevelColour(LoadLevel::Critical)), 0);
    form.optionsPage()->memoryLoadInTrayBox()->setChecked(true);
    WAIT_UNTIL(showsLevel(LoadLevel::Critical), 5000);
}

// XEmbed trays keep the double-click: a single left click on the docked icon does nothing.
TEST_F(TrayLoadX11Test, SingleClickOnTheDockedIconDoesNotShowTheWindow) {
    const QPoint centre = icon()->geometry().center();
    ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"),
                                {QStringLiteral("mousemove"), QString::number(centre.x()),
                                 QString::number(centre.y()), QStringLiteral("click"),
                                 QStringLiteral("1")}),
              0);
    QTest::qWait(600);
    EXPECT_FALSE(form.isVisible());
}

} // namespace
} // namespace brenvik
