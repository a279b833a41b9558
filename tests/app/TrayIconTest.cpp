#include "app/TrayIcon.h"

#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/TrayLoadIcon.h"
#include "fakes/FakePlatform.h"
#include "memory/MemoryPage.h"
#include "memory/MemoryToFreeBox.h"

#include <QAction>
#include <QCheckBox>
#include <QImage>
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

// The XEmbed way: one left click does nothing, a double-click brings the window back, and the
// tray shows the menu itself on the right button.
TEST_F(TrayIconTest, OnAnXEmbedTrayOnlyADoubleClickShowsTheWindow) {
    if (tray.onStatusNotifierHost())
        GTEST_SKIP() << "a StatusNotifierItem watcher runs on this session bus";
    Q_EMIT tray.icon()->activated(QSystemTrayIcon::Trigger);
    Q_EMIT tray.icon()->activated(QSystemTrayIcon::Context);
    Q_EMIT tray.icon()->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(tray.menu()->isVisible());
    Q_EMIT tray.icon()->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(form.isVisible());
}

class TrayLoadTest : public TrayIconTest {
protected:
    static constexpr std::uint64_t Total = 8'000'000'000;

    // Physical memory with the given whole percentage in use.
    void setLoad(int percent, std::uint64_t extraUsedBytes = 0) {
        auto& memory = fake->fakeSystem().memory;
        memory.totalPhys = Total;
        memory.availPhys = Total / 100 * static_cast<std::uint64_t>(100 - percent) - extraUsedBytes;
    }
    void tick(int percent, std::uint64_t extraUsedBytes = 0) {
        setLoad(percent, extraUsedBytes);
        tray.memoryTick(fake->fakeSystem().memory);
    }
    QImage shown(int size) const { return tray.icon()->icon().pixmap(QSize(size, size)).toImage(); }
};

// Background at the top edge (the digits are centred below it), digits in white.
TEST_F(TrayLoadTest, IconShowsTheLevelColourForEachLoadAtEverySize) {
    struct Case {
        int percent;
        LoadLevel level;
    };
    tray.setShowMemoryLoad(true);
    std::vector<QImage> previous;
    for (const Case& c : {Case{0, LoadLevel::Normal}, Case{69, LoadLevel::Normal},
                          Case{70, LoadLevel::High}, Case{89, LoadLevel::High},
                          Case{90, LoadLevel::Critical}, Case{100, LoadLevel::Critical}}) {
        tick(c.percent);
        const QList<QSize> sizes = tray.icon()->icon().availableSizes();
        std::vector<QImage> images;
        for (const int size : TrayIconSizes) {
            EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
            const QImage image = shown(size);
            ASSERT_EQ(image.size(), QSize(size, size));
            EXPECT_EQ(image.pixelColor(size / 2, 0), loadLevelColour(c.level))
                << c.percent << "% at " << size;
            images.push_back(image);
        }
        // Every load draws another picture than the load before it.
        if (!previous.empty()) {
            EXPECT_NE(images[0], previous[0]) << c.percent;
        }
        previous = images;
    }
    EXPECT_NE(loadLevelColour(LoadLevel::Normal), loadLevelColour(LoadLevel::High));
    EXPECT_NE(loadLevelColour(LoadLevel::High), loadLevelColour(LoadLevel::Critical));
}

// The digits fit inside every size, "100" at 16 pixels too, and are never cut at an edge.
TEST_F(TrayLoadTest, DigitsFitInsideEverySizeWithAFreeBorder) {
    for (const int percent : {0, 7, 42, 88, 100}) {
        const MemoryLoad load{percent, loadLevel(percent)};
        for (const int size : TrayIconSizes) {
            const QImage image = drawMemoryLoad(load, size).toImage();
            const QColor background = loadLevelColour(load.level);
            int white = 0;
            int minRow = size, maxRow = -1, minColumn = size, maxColumn = -1;
            for (int y = 0; y < size; ++y)
                for (int x = 0; x < size; ++x) {
                    const QColor pixel = image.pixelColor(x, y);
                    if (pixel == background)
                        continue;
                    ASSERT_EQ(pixel, QColor(Qt::white)) << percent << " " << size;
                    ++white;
                    minRow = std::min(minRow, y);
                    maxRow = std::max(maxRow, y);
                    minColumn = std::min(minColumn, x);
                    maxColumn = std::max(maxColumn, x);
                }
            EXPECT_GT(white, 0) << percent << " at " << size;
            EXPECT_GE(minRow, 1) << percent << " at " << size;
            EXPECT_LE(maxRow, size - 2) << percent << " at " << size;
            // At least 9 rows tall from 16 pixels on: legible, not a smudge.
            EXPECT_GE(maxRow - minRow + 1, 9) << percent << " at " << size;
            EXPECT_GE(minColumn, 0);
            EXPECT_LE(maxColumn, size - 1);
        }
    }
}

// A redraw only for a new number or level: many ticks at one percentage hand over nothing, while
// the tooltip follows the bytes.
TEST_F(TrayLoadTest, SameLoadOverManyTicksHandsOverNoNewPicture) {
    tray.setShowMemoryLoad(true);
    tick(42);
    const qint64 first = tray.icon()->icon().cacheKey();
    const QString firstTip = tray.icon()->toolTip();
    // Up to 32 MB more in use: the tooltip's figure moves, the percentage stays.
    for (int i = 0; i < 200; ++i)
        tick(42, static_cast<std::uint64_t>(i) * 160 * 1024);
    EXPECT_EQ(tray.icon()->icon().cacheKey(), first);
    EXPECT_NE(tray.icon()->toolTip().toStdString(), firstTip.toStdString());
    tick(43);
    EXPECT_NE(tray.icon()->icon().cacheKey(), first);
}

TEST_F(TrayLoadTest, ToolTipSaysTheProgramThenTheMemory) {
    tray.setShowMemoryLoad(true);
    tick(60);
    const QStringList lines = tray.icon()->toolTip().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("Brenvik"));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Memory: "))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" (60 %)"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Swap: "))) << lines[2].toStdString();
}

TEST_F(TrayLoadTest, SwitchedOffTheProgramIconAndTipComeBackAndTicksChangeNothing) {
    const QImage program = shown(32);
    tray.setShowMemoryLoad(true);
    tick(95);
    EXPECT_NE(shown(32), program);
    tray.setShowMemoryLoad(false);
    EXPECT_EQ(shown(32), program);
    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("Brenvik"));
    const qint64 key = tray.icon()->icon().cacheKey();
    tick(20);
    EXPECT_EQ(tray.icon()->icon().cacheKey(), key);
    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("Brenvik"));
    // Switched on again, it shows the load at once rather than at the next tick.
    setLoad(91);
    tray.setShowMemoryLoad(true);
    EXPECT_EQ(shown(16).pixelColor(8, 0), loadLevelColour(LoadLevel::Critical));
}

// The whole start-up: a first start stores the option on and the tray shows the load; the
// monitor's tick keeps it current.
TEST(TrayLoadStartUpTest, FirstStartShowsTheLoadAndTheTickFollowsIt) {
    test::FakePlatformScope fake;
    auto& memory = fake->fakeSystem().memory;
    memory.totalPhys = 1000 * 1'048'576ULL;
    memory.availPhys = 500 * 1'048'576ULL;
    TMainForm form;
    form.FormCreate();
    TrayIcon& tray = *form.trayIcon();
    EXPECT_TRUE(form.optionsPage()->memoryLoadInTrayBox()->isChecked());
    ASSERT_TRUE(tray.showsMemoryLoad());
    EXPECT_EQ(tray.icon()->icon().pixmap(16, 16).toImage().pixelColor(8, 0),
              loadLevelColour(LoadLevel::Normal));
    memory.availPhys = 50 * 1'048'576ULL;
    form.MemoryTimer.start(1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return tray.icon()->icon().pixmap(16, 16).toImage().pixelColor(8, 0) ==
                   loadLevelColour(LoadLevel::Critical);
        },
        5000));
    form.MemoryTimer.stop();
    EXPECT_TRUE(tray.icon()->toolTip().contains(QStringLiteral("(95 %)")));
    form.optionsPage()->memoryLoadInTrayBox()->setChecked(false);
    EXPECT_FALSE(tray.showsMemoryLoad());
    EXPECT_EQ(tray.icon()->toolTip(), QStringLiteral("Brenvik"));
}

} // namespace
} // namespace brenvik
