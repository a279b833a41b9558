// The wash in the program: the progress dialog, the "Memory To Free" group, the automatic washing
// group, and every way a wash starts and ends, with the fake platform's blocks.

#include "app/MainUnit.h"
#include "app/OptionsPage.h"
#include "app/SettingsClass.h"
#include "common/PercentBar.h"
#include "fakes/FakePlatform.h"
#include "memory/AutoWashBox.h"
#include "memory/MemoryPage.h"
#include "memory/MemoryToFreeBox.h"
#include "memory/ProgressBarFrm.h"
#include "memory/RelThrd.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace platform;

bool waitFor(const std::function<bool()>& condition, int milliseconds = 5000) {
    return QTest::qWaitFor(condition, milliseconds);
}

// ---- the progress dialog ----

TEST(ProgressDialogTest, HasItsCaptionSizeBarAndButton) {
    TProgressFrm dialog(nullptr);
    EXPECT_EQ(TProgressFrm::instance(), &dialog);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Processing..."));
    EXPECT_EQ(dialog.size(), QSize(390, 69));
    EXPECT_EQ(dialog.RzProgressBar1()->width(), 379);
    EXPECT_EQ(dialog.RzButton1()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(dialog.RzButton1()->width(), 107);
    const QRect button = dialog.RzButton1()->geometry();
    EXPECT_EQ(button.left() + button.width() / 2, 390 / 2 - 1);
    EXPECT_GT(button.top(), dialog.RzProgressBar1()->geometry().bottom());
}

TEST(ProgressDialogTest, WritesThePercentageInTheBarsColour) {
    TProgressFrm dialog(nullptr);
    PercentBar* bar = dialog.RzProgressBar1();
    const QColor colour(153, 204, 103);
    // Inside the frame: the empty bar shows the text on white, the full bar over its own fill.
    const auto inside = [bar](int parts) {
        bar->setTotalParts(10);
        bar->setPartsComplete(parts);
        const QImage shot = bar->grab().toImage();
        std::vector<QColor> pixels;
        for (int y = 3; y < shot.height() - 3; ++y)
            for (int x = 3; x < shot.width() - 3; ++x)
                pixels.push_back(shot.pixelColor(x, y));
        return pixels;
    };
    int written = 0;
    for (const QColor& pixel : inside(0)) {
        // White, or the bar's colour blended into it by the letters' smoothing: nothing darker.
        EXPECT_GE(pixel.red(), colour.red() - 6);
        EXPECT_GE(pixel.green(), colour.green() - 6);
        EXPECT_GE(pixel.blue(), colour.blue() - 6);
        written += pixel != QColor(Qt::white);
    }
    EXPECT_GT(written, 10) << "no percentage in the bar's colour";
    for (const QColor& pixel : inside(10))
        ASSERT_EQ(pixel, colour) << "the percentage shows in another colour over the fill";
}

TEST(ProgressDialogTest, UserCloseAsksTheWashToStopAndTheWorkersDoesNot) {
    const std::vector<std::pair<const char*, std::function<void(TProgressFrm&)>>> closes{
        {"Cancel", [](TProgressFrm& d) { QTest::mouseClick(d.RzButton1(), Qt::LeftButton); }},
        {"Esc", [](TProgressFrm& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"close box", [](TProgressFrm& d) { d.close(); }},
    };
    for (const auto& [name, closeIt] : closes) {
        SCOPED_TRACE(name);
        TProgressFrm dialog(nullptr);
        std::vector<TProgressFrm*> senders;
        dialog.OnCancel = [&senders](TProgressFrm* sender) { senders.push_back(sender); };
        dialog.ShowProgress();
        ASSERT_TRUE(dialog.isVisible());
        closeIt(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(senders, std::vector<TProgressFrm*>{&dialog});

        dialog.ShowProgress();
        dialog.CloseProgress();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(senders.size(), 1u);
    }
}

TEST(ProgressDialogTest, ShowsItselfAtTheCentreOfTheMainWindow) {
    QWidget main;
    main.setGeometry(100, 100, 774, 596);
    main.show();
    TProgressFrm dialog(&main);
    dialog.ShowProgress();
    // Within what the window frames and rounding leave over.
    EXPECT_LE((dialog.frameGeometry().center() - main.frameGeometry().center()).manhattanLength(),
              8);
}

// ---- "Memory To Free" ----

QColor labelColour(const MemoryToFreeBox& box) {
    return box.RzLabel14()->palette().color(QPalette::WindowText);
}

TEST(MemoryToFreeTest, StartUpFillSetsTheRangeAndHalfPosition) {
    MemoryToFreeBox box;
    box.resize(290, 110);
    EXPECT_EQ(box.RzLabel14()->text(), QStringLiteral("To Free"));
    box.setMegabytes(2048);
    EXPECT_EQ(box.JvTrackBar1()->minimum(), 0);
    EXPECT_EQ(box.JvTrackBar1()->maximum(), 2048);
    EXPECT_EQ(box.position(), 1024);
    EXPECT_EQ(box.RzLabel14()->text(), QStringLiteral("1024 MB To Free"));
    EXPECT_EQ(labelColour(box), QColor(0, 128, 0));
    EXPECT_EQ(box.JvTrackBar1()->tickInterval(), 10);
    EXPECT_EQ(box.JvTrackBar1()->tickPosition(), QSlider::TicksAbove);
    EXPECT_EQ(box.JvTrackBar1()->singleStep(), 1);
    EXPECT_EQ(box.JvTrackBar1()->pageStep(), 2);
    for (QWidget* child :
         {static_cast<QWidget*>(box.JvTrackBar1()), static_cast<QWidget*>(box.RzLabel14()),
          static_cast<QWidget*>(box.RzButton1())})
        EXPECT_TRUE(box.rect().contains(child->geometry())) << child->objectName().toStdString();
}

TEST(MemoryToFreeTest, LabelColourFollowsTheShareOfTheMaximum) {
    const QColor green(0, 128, 0), blue(0, 0, 255), red(255, 0, 0);
    struct Case {
        int maximum;
        int position;
        QColor colour;
    };
    for (const Case& c : {Case{2048, 0, green}, Case{2048, 1024, green}, Case{2048, 1025, blue},
                          Case{2048, 1433, blue}, Case{2048, 1434, red}, Case{2048, 2048, red},
                          Case{1000, 500, green}, Case{1000, 699, blue}, Case{1000, 700, red}}) {
        SCOPED_TRACE(std::to_string(c.position) + " of " + std::to_string(c.maximum));
        MemoryToFreeBox box;
        box.setMegabytes(c.maximum);
        box.JvTrackBar1()->setValue(c.position);
        EXPECT_EQ(labelColour(box), c.colour);
        EXPECT_EQ(box.RzLabel14()->text(),
                  QString::number(c.position) + QStringLiteral(" MB To Free"));
    }
}

// ---- "Automatic Memory Washing" ----

class AutoWashTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    AutoWashBox box;
    QTimer cleanTimer;
    TSettings settings;

    void SetUp() override {
        settings.SetRootKey(HKEY_LOCAL_MACHINE);
        settings.SetKeyPath(SettingsKeyPath);
        box.setCleanTimer(cleanTimer);
        box.setLimitMaximum(2048);
    }
    void store(const char* name, std::int32_t value) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        registry.WriteInteger(name, value);
    }
    std::int32_t stored(const char* name) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(registry.OpenKey(SettingsKeyPath, false));
        return registry.ReadInteger(name);
    }
};

TEST_F(AutoWashTest, RestoreClampsTheNumbersAndWritesBackOnlyAChangedText) {
    struct Case {
        std::int32_t minutes, shownMinutes, storedMinutes;
        std::int32_t limit, shownLimit, storedLimit;
    };
    for (const Case& c : {Case{0, 1, 0, 0, 1, 0}, Case{500, 120, 120, 5000, 2048, 2048},
                          Case{5, 5, 5, 300, 300, 300}, Case{-3, 1, -3, -1, 1, -1}}) {
        SCOPED_TRACE(c.minutes);
        test::FakePlatformScope local;
        AutoWashBox fresh;
        fresh.setLimitMaximum(2048);
        store("CleanMemoryEveryMinute", c.minutes);
        store("CleanMemoryOnMemLimit", c.limit);
        TSettings loaded;
        loaded.SetRootKey(HKEY_LOCAL_MACHINE);
        loaded.SetKeyPath(SettingsKeyPath);
        loaded.Load();
        fresh.restore(loaded);
        EXPECT_EQ(fresh.RzSpinEdit1()->value(), c.shownMinutes);
        EXPECT_EQ(fresh.RzSpinEdit2()->value(), c.shownLimit);
        EXPECT_EQ(stored("CleanMemoryEveryMinute"), c.storedMinutes);
        EXPECT_EQ(stored("CleanMemoryOnMemLimit"), c.storedLimit);
        EXPECT_EQ(loaded.CleanMemoryOnMemLimit(), c.storedLimit);
    }
}

TEST_F(AutoWashTest, EachNumberBoxIsEnabledOnlyWhileItsBoxIsTicked) {
    settings.Load();
    box.restore(settings);
    EXPECT_FALSE(box.RzSpinEdit1()->isEnabled());
    EXPECT_FALSE(box.RzSpinEdit2()->isEnabled());
    box.RzCheckBox7()->click();
    EXPECT_TRUE(box.RzSpinEdit2()->isEnabled());
    EXPECT_EQ(stored("CleanMemWhenMemReach"), 1);
    box.RzSpinEdit2()->setValue(300);
    EXPECT_EQ(stored("CleanMemoryOnMemLimit"), 300);
    box.RzCheckBox7()->click();
    EXPECT_FALSE(box.RzSpinEdit2()->isEnabled());
    EXPECT_EQ(stored("CleanMemWhenMemReach"), 0);
    EXPECT_FALSE(box.RzSpinEdit1()->isEnabled());
}

TEST_F(AutoWashTest, TimerRunsWhileTickedWithThePeriodShownWhenTicked) {
    settings.Load();
    box.restore(settings);
    EXPECT_FALSE(cleanTimer.isActive());
    box.RzCheckBox5()->click();
    EXPECT_TRUE(box.RzSpinEdit1()->isEnabled());
    EXPECT_TRUE(cleanTimer.isActive());
    EXPECT_EQ(cleanTimer.interval(), 60000);
    EXPECT_EQ(stored("CleanMemoryOnTimer"), 1);

    box.RzSpinEdit1()->setValue(5);
    EXPECT_EQ(stored("CleanMemoryEveryMinute"), 5);
    EXPECT_EQ(cleanTimer.interval(), 60000); // until ticked again

    box.RzCheckBox5()->click();
    EXPECT_FALSE(cleanTimer.isActive());
    EXPECT_EQ(stored("CleanMemoryOnTimer"), 0);
    box.RzCheckBox5()->click();
    EXPECT_TRUE(cleanTimer.isActive());
    EXPECT_EQ(cleanTimer.interval(), 300000);
}

TEST_F(AutoWashTest, RestoredTimerRunsWithTheClampedMinutes) {
    for (const auto& [minutes, interval] :
         {std::pair{0, 60000}, std::pair{5, 300000}, std::pair{500, 7200000}}) {
        SCOPED_TRACE(minutes);
        test::FakePlatformScope local;
        AutoWashBox fresh;
        QTimer timer;
        fresh.setCleanTimer(timer);
        store("CleanMemoryOnTimer", 1);
        store("CleanMemoryEveryMinute", minutes);
        TSettings loaded;
        loaded.SetRootKey(HKEY_LOCAL_MACHINE);
        loaded.SetKeyPath(SettingsKeyPath);
        loaded.Load();
        fresh.restore(loaded);
        EXPECT_TRUE(fresh.RzCheckBox5()->isChecked());
        EXPECT_TRUE(timer.isActive());
        EXPECT_EQ(timer.interval(), interval);
    }
}

// ---- the main window's washes ----

class WashTriggersTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    test::FakeBlockAllocator& blocks = fake->fakeAllocator();
    std::unique_ptr<TMainForm> form = std::make_unique<TMainForm>();
    MemoryToFreeBox* amount = form->memoryPage()->memoryToFreeBox();
    QPushButton* cleanNow = amount->RzButton1();

    // Holds the wash at the given obtain call until release().
    std::atomic<bool> held{false};
    std::atomic<bool> go{false};
    void holdAt(int call) {
        blocks.onObtain = [this, call](int at) {
            if (at != call)
                return;
            held = true;
            while (!go)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
    }

    void TearDown() override {
        go = true;
        form.reset();
        EXPECT_EQ(TRelocateThread::liveWorkers(), 0);
        EXPECT_EQ(blocks.held(), 0);
    }

    void setCloseAfterWash(bool on) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        registry.WriteInteger("CloseBVAfterWash", on ? 1 : 0);
    }
};

TEST_F(WashTriggersTest, CleanNowWashesTheSliderAmountWithBusyCursorAndCommandsOff) {
    amount->setMegabytes(20);
    holdAt(3);
    QTest::mouseClick(cleanNow, Qt::LeftButton);
    EXPECT_FALSE(cleanNow->isEnabled());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(form->washesRunning(), 1);
    ASSERT_TRUE(waitFor([&] { return held.load(); }));
    go = true;
    ASSERT_TRUE(waitFor([&] { return form->washesRunning() == 0; }));
    EXPECT_TRUE(cleanNow->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(blocks.obtainCalls(), 10);
    EXPECT_EQ(blocks.released(), 10);
    EXPECT_FALSE(form->closeSequenceDone());
}

TEST_F(WashTriggersTest, CleanNowIsEnabledAgainWhenTheFirstOfTwoWashesEnds) {
    amount->setMegabytes(4); // 2 blocks each
    holdAt(2);               // the second wash's first block
    form->StartWash();
    form->StartWash(); // as the hot key does while a wash runs
    ASSERT_TRUE(waitFor([&] { return held.load(); }));
    ASSERT_TRUE(waitFor([&] { return cleanNow->isEnabled(); }));
    EXPECT_EQ(form->washesRunning(), 1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    go = true;
    ASSERT_TRUE(waitFor([&] { return form->washesRunning() == 0; }));
    EXPECT_EQ(blocks.released(), 4);
}

TEST_F(WashTriggersTest, CancelInTheDialogStopsAVisibleWashAtTheHalfwayMark) {
    form->show();
    TProgressFrm dialog(form.get());
    amount->setMegabytes(200); // 100 blocks
    holdAt(9);
    form->StartWash();
    ASSERT_TRUE(waitFor([&] { return held.load(); }));
    // Nine blocks taken and shown, the tenth being obtained.
    ASSERT_TRUE(waitFor([&] {
        return dialog.isVisible() && !form->isEnabled() &&
               dialog.RzProgressBar1()->partsComplete() == 9;
    }));
    EXPECT_EQ(dialog.RzProgressBar1()->totalParts(), 200);
    QTest::mouseClick(dialog.RzButton1(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    go = true;
    ASSERT_TRUE(waitFor([&] { return form->washesRunning() == 0; }));
    EXPECT_EQ(blocks.released(), 10);
    EXPECT_EQ(dialog.RzProgressBar1()->partsComplete(), 110);
    EXPECT_TRUE(form->isEnabled());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(cleanNow->isEnabled());
}

TEST_F(WashTriggersTest, CloseAfterCleaningEndsTheProgramAtTheFirstWashEnd) {
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close);
        setCloseAfterWash(close);
        form = std::make_unique<TMainForm>();
        form->memoryPage()->memoryToFreeBox()->setMegabytes(4);
        held = go = false;
        holdAt(blocks.obtainCalls()); // the first wash's first block; the second waits its turn
        form->StartWash();
        form->StartWash();
        ASSERT_TRUE(waitFor([&] { return held.load(); }));
        go = true;
        if (close) {
            ASSERT_TRUE(waitFor([&] { return form->closeSequenceDone(); }));
            // The close sequence stopped the waiting wash and gave everything back.
            EXPECT_EQ(TRelocateThread::liveWorkers(), 0);
            EXPECT_EQ(blocks.held(), 0);
        } else {
            ASSERT_TRUE(waitFor([&] { return form->washesRunning() == 0; }));
            EXPECT_FALSE(form->closeSequenceDone());
        }
    }
}

TEST_F(WashTriggersTest, EndingTheProgramStopsRunningAndWaitingWashesPromptly) {
    form->show();
    TProgressFrm dialog(form.get());
    form->memoryPage()->memoryToFreeBox()->setMegabytes(40000); // 20000 blocks each
    blocks.onObtain = [](int) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
    form->StartWash();
    form->StartWash();
    form->StartWash();
    ASSERT_TRUE(waitFor([&] { return blocks.obtainCalls() >= 5; }));
    form->endProgram();
    EXPECT_EQ(TRelocateThread::liveWorkers(), 0);
    EXPECT_EQ(blocks.held(), 0);
    EXPECT_LT(blocks.obtainCalls(), 5000);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // Nothing queued before the end reaches the windows afterwards.
    const int partsAtEnd = dialog.RzProgressBar1()->partsComplete();
    QTest::qWait(50);
    EXPECT_EQ(dialog.RzProgressBar1()->partsComplete(), partsAtEnd);
    form.reset();
    QTest::qWait(20);
}

TEST_F(WashTriggersTest, AutomaticTimerStartsNoWashWhileItsPreviousOneRuns) {
    amount->setMegabytes(2); // 1 block each
    holdAt(0);
    form->MemoryCleanTimer.start(5);
    ASSERT_TRUE(waitFor([&] { return held.load(); }));
    QTest::qWait(60); // a dozen ticks while the first automatic wash runs
    EXPECT_TRUE(form->MemoryCleanTimer.isActive());
    EXPECT_EQ(form->washesRunning(), 1);
    // Other washes are not held back by it, nor do they hold the timer back.
    form->StartWash();
    EXPECT_EQ(form->washesRunning(), 2);
    go = true;
    // Once the automatic wash has ended, a tick starts the next one.
    ASSERT_TRUE(waitFor([&] { return blocks.obtainCalls() >= 3; }));
    form->MemoryCleanTimer.stop();
    ASSERT_TRUE(waitFor([&] { return form->washesRunning() == 0; }));
}

TEST_F(WashTriggersTest, ThresholdRuleDoesNotStackWashes) {
    form->FormCreate();
    form->settings().SetCleanMemWhenMemReach(true);
    form->settings().SetCleanMemoryOnMemLimit(1500);
    auto& memory = fake->fakeSystem().memory;
    memory.availPhys = 1024ull << 20; // below the limit
    amount->setMegabytes(2);
    holdAt(0);
    form->MemoryThresholdWash();
    ASSERT_TRUE(waitFor([&] { return held.load(); }));
    form->MemoryThresholdWash(); // while the wash runs
    EXPECT_EQ(form->washesRunning(), 1);
    go = true;
    ASSERT_TRUE(waitFor([&] { return form->washesRunning() == 0; }));

    // Still below after the wash: the ticks start nothing.
    form->MemoryTimer.start(5);
    QTest::qWait(60);
    EXPECT_EQ(blocks.obtainCalls(), 1);
    // At or above the limit once, then below again: the rule washes again.
    memory.availPhys = 1500ull << 20;
    QTest::qWait(30);
    memory.availPhys = 1024ull << 20;
    ASSERT_TRUE(waitFor([&] { return blocks.obtainCalls() >= 2; }));
    form->MemoryTimer.stop();
    ASSERT_TRUE(waitFor([&] { return form->washesRunning() == 0; }));
}

} // namespace
} // namespace brenvik
