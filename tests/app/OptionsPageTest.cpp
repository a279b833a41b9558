#include "app/OptionsPage.h"

#include "app/HotKeyEdit.h"
#include "app/MainUnit.h"
#include "app/SettingsClass.h"
#include "fakes/FakePlatform.h"
#include "memory/AutoWashBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace platform;

class OptionsPageTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    std::unique_ptr<TSettings> settings;
    QTimer memoryTimer;
    OptionsPage page;

    OptionsPageTest() { memoryTimer.setInterval(1000); }

    void store(const std::string& name, std::int32_t value) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        ASSERT_TRUE(registry.OpenKey(SettingsKeyPath, true));
        registry.WriteInteger(name, value);
    }
    std::int32_t stored(const std::string& name) {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(registry.OpenKey(SettingsKeyPath, false));
        return registry.ReadInteger(name);
    }
    bool runValueExists() {
        TRegistry run(HKEY_CURRENT_USER);
        return run.OpenKey(RunKeyPath, false) && run.ValueExists(RunValueName);
    }
    // Start-up's steps 11 and 12 against what the registry holds now.
    void loadAndRestore() {
        settings = std::make_unique<TSettings>();
        settings->SetRootKey(HKEY_LOCAL_MACHINE);
        settings->SetKeyPath(SettingsKeyPath);
        settings->Load();
        page.bind(*settings, memoryTimer);
        page.restorePreferences();
    }
    QGroupBox* group(const QString& title) {
        for (QGroupBox* box : page.findChildren<QGroupBox*>())
            if (box->title() == title)
                return box;
        return nullptr;
    }
};

TEST_F(OptionsPageTest, GroupsAndControlsSitWhereTheLayoutPutsThem) {
    struct Place {
        QString title;
        QRect geometry;
    };
    for (const Place& place : {Place{QStringLiteral("Program Options"), {7, 8, 581, 150}},
                               Place{QStringLiteral("Automatic Memory Washing"), {7, 160, 581, 90}},
                               Place{QStringLiteral("Monitor Refresh Rate"), {7, 252, 581, 99}},
                               Place{QStringLiteral("Brenvik Shortcut"), {7, 353, 581, 67}}}) {
        QGroupBox* box = group(place.title);
        ASSERT_NE(box, nullptr) << place.title.toStdString();
        EXPECT_EQ(box->geometry(), place.geometry) << place.title.toStdString();
    }
    EXPECT_EQ(page.autoWashBox()->geometry(), QRect(7, 160, 581, 90));

    struct Box {
        QCheckBox* box;
        QString caption;
        int top;
    };
    for (const Box& box :
         {Box{page.runAtStartupBox(), QStringLiteral("Load Brenvik at Windows startup"), 22},
          Box{page.startInTrayBox(), QStringLiteral("Start Brenvik in system tray"), 54},
          Box{page.splashBox(), QStringLiteral("&Show splash screen at startup"), 87},
          Box{page.closeAfterWashBox(), QStringLiteral("Close Brenvik after cleaning"), 120}}) {
        EXPECT_EQ(box.box->text(), box.caption);
        EXPECT_EQ(box.box->pos(), QPoint(13, box.top));
        EXPECT_FALSE(box.box->isChecked());
    }
    // The memory-load box: the second column of the last row, inside the group, after the four
    // in the tab order.
    QCheckBox* loadBox = page.memoryLoadInTrayBox();
    EXPECT_EQ(loadBox->text(), QStringLiteral("Show memory load in the tray icon"));
    EXPECT_EQ(loadBox->pos(), QPoint(300, 120));
    EXPECT_EQ(loadBox->parentWidget(), group(QStringLiteral("Program Options")));
    EXPECT_LE(loadBox->geometry().right(), 581);
    EXPECT_GE(loadBox->pos().x(), page.closeAfterWashBox()->geometry().right());
    EXPECT_EQ(page.closeAfterWashBox()->nextInFocusChain(), loadBox);

    EXPECT_EQ(page.refreshRateList()->geometry().topLeft(), QPoint(112, 26));
    EXPECT_EQ(page.refreshRateList()->width(), 145);
    EXPECT_FALSE(page.refreshRateList()->isEditable());
    EXPECT_EQ(page.hotKeyEdit()->geometry(), QRect(315, 26, 144, 21));
    EXPECT_TRUE(page.hotKeyEdit()->text().isEmpty());
    QPushButton* button = page.registerShortcutButton();
    EXPECT_EQ(button->text(), QStringLiteral("Register Shortcut"));
    EXPECT_EQ(button->geometry().topLeft(), QPoint(465, 24));
    EXPECT_EQ(button->width(), 105);

    // The button paints white text on dark green.
    button->resize(105, 25);
    const QImage picture = button->grab().toImage();
    EXPECT_EQ(picture.pixelColor(4, 4), QColor(51, 102, 0));

    QStringList texts;
    for (QLabel* label : page.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains(QStringLiteral("Auto Refresh Every")));
    EXPECT_TRUE(texts.contains(QStringLiteral(
        "Brenvik refreshes all the Memory, CPU and Processes information regularly. You can "
        "select how ofter the refresh takes place.")));
    EXPECT_TRUE(texts.contains(QStringLiteral(
        "You can use Brenvik shortcut to wash your memory using this shortcut key.")));
}

TEST_F(OptionsPageTest, RefreshRateListHoldsItsTenEntries) {
    const QStringList expected{QStringLiteral("0.5 Seconds"), QStringLiteral("1 Second"),
                               QStringLiteral("1.5 Seconds"), QStringLiteral("2  Seconds"),
                               QStringLiteral("2.5 Seconds"), QStringLiteral("3 Seconds"),
                               QStringLiteral("3.5 Seconds"), QStringLiteral("4 Seconds"),
                               QStringLiteral("4.5 Seconds"), QStringLiteral("5 Seconds")};
    QStringList texts;
    for (int i = 0; i < page.refreshRateList()->count(); ++i)
        texts << page.refreshRateList()->itemText(i);
    EXPECT_EQ(texts, expected);
    for (int index = 0; index < OptionsPage::RefreshRateCount; ++index)
        EXPECT_EQ(OptionsPage::refreshInterval(index), (index + 1) * 500);
}

TEST_F(OptionsPageTest, ChoosingARateStoresItsIndexAndSetsOnlyTheMonitorTimer) {
    loadAndRestore();
    memoryTimer.start();
    QComboBox* list = page.refreshRateList();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int step = 0; step < 4; ++step)
        QTest::keyClick(list, Qt::Key_Down);
    ASSERT_EQ(list->currentText(), QStringLiteral("2.5 Seconds"));
    EXPECT_EQ(stored("AutoRefreshTimerInt"), 4);
    EXPECT_EQ(settings->AutoRefreshTimerInt(), 4);
    EXPECT_EQ(memoryTimer.interval(), 2500);
    EXPECT_TRUE(memoryTimer.isActive());
}

TEST_F(OptionsPageTest, EveryTickWritesThroughAtOnce) {
    loadAndRestore();
    struct Case {
        QCheckBox* box;
        const char* value;
    };
    for (const Case& c : {Case{page.startInTrayBox(), "LoadBVSystemTray"},
                          Case{page.closeAfterWashBox(), "CloseBVAfterWash"}}) {
        QTest::mouseClick(c.box, Qt::LeftButton, {}, QPoint(4, c.box->height() / 2));
        EXPECT_EQ(stored(c.value), 1) << c.value;
        QTest::mouseClick(c.box, Qt::LeftButton, {}, QPoint(4, c.box->height() / 2));
        EXPECT_EQ(stored(c.value), 0) << c.value;
    }
    // The splash preference is true on a first start, so its box starts ticked.
    ASSERT_TRUE(page.splashBox()->isChecked());
    QTest::mouseClick(page.splashBox(), Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_EQ(stored("ShowSplashOnStartup"), 0);

    QTest::mouseClick(page.runAtStartupBox(), Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_TRUE(runValueExists());
    QTest::mouseClick(page.runAtStartupBox(), Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_FALSE(runValueExists());

    // On by default, like the splash.
    ASSERT_TRUE(page.memoryLoadInTrayBox()->isChecked());
    QTest::mouseClick(page.memoryLoadInTrayBox(), Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_EQ(stored("ShowMemoryLoadInTray"), 0);
    EXPECT_FALSE(settings->ShowMemoryLoadInTray());
    QTest::mouseClick(page.memoryLoadInTrayBox(), Qt::LeftButton, {}, QPoint(4, 8));
    EXPECT_EQ(stored("ShowMemoryLoadInTray"), 1);
}

TEST_F(OptionsPageTest, RestoreTicksThroughTheHandlersInStartUpOrder) {
    store("LoadBVSystemTray", 1);
    store("CloseBVAfterWash", 1);
    store("ShowSplashOnStartup", 1);
    store("AutoRefreshTimerInt", 9);
    store("CleanMemWhenMemReach", 1);
    store("CleanMemoryOnTimer", 1);
    store("CleanMemoryEveryMinute", 500);
    store("CleanMemoryOnMemLimit", 300);
    page.autoWashBox()->setLimitMaximum(4096);
    {
        TRegistry run(HKEY_CURRENT_USER);
        ASSERT_TRUE(run.OpenKey(RunKeyPath, true));
        run.WriteString(RunValueName, "/old/place/brenvik");
    }
    std::vector<std::string> order;
    const auto record = [&order](QObject* control, const char* name) {
        if (auto* box = qobject_cast<QCheckBox*>(control))
            QObject::connect(box, &QCheckBox::toggled, box,
                             [&order, name] { order.push_back(name); });
        else if (auto* number = qobject_cast<QSpinBox*>(control))
            QObject::connect(number, &QSpinBox::valueChanged, number,
                             [&order, name] { order.push_back(name); });
        else if (auto* list = qobject_cast<QComboBox*>(control))
            QObject::connect(list, &QComboBox::currentIndexChanged, list,
                             [&order, name] { order.push_back(name); });
    };
    record(page.runAtStartupBox(), "box1");
    record(page.startInTrayBox(), "box2");
    record(page.splashBox(), "box3");
    record(page.closeAfterWashBox(), "box4");
    record(page.memoryLoadInTrayBox(), "memoryLoad");
    record(page.autoWashBox()->RzCheckBox7(), "box7");
    record(page.autoWashBox()->RzCheckBox5(), "box5");
    record(page.autoWashBox()->RzSpinEdit1(), "minutes");
    record(page.autoWashBox()->RzSpinEdit2(), "limit");
    // The list selects its first entry when filled; start from no selection, as after creation.
    page.refreshRateList()->setCurrentIndex(-1);
    record(page.refreshRateList(), "rate");

    loadAndRestore();

    EXPECT_EQ(order, (std::vector<std::string>{"box1", "box2", "box3", "box4", "memoryLoad", "box7",
                                               "box5", "minutes", "limit", "rate"}));
    // A number above the minutes box's range shows its bound and is written back.
    EXPECT_EQ(page.autoWashBox()->RzSpinEdit1()->value(), 120);
    EXPECT_EQ(stored("CleanMemoryEveryMinute"), 120);
    EXPECT_EQ(stored("CleanMemoryOnMemLimit"), 300);
    // Ticking the first box ran its handler: the Run value now names the running program.
    TRegistry run(HKEY_CURRENT_USER);
    ASSERT_TRUE(run.OpenKey(RunKeyPath, false));
    EXPECT_EQ(run.ReadString(RunValueName), "/opt/brenvik/brenvik");
    EXPECT_EQ(page.refreshRateList()->currentText(), QStringLiteral("5 Seconds"));
    EXPECT_EQ(memoryTimer.interval(), 5000);
    // Restoring stores nothing of its own: the index stays as it was.
    EXPECT_EQ(stored("AutoRefreshTimerInt"), 9);
}

TEST_F(OptionsPageTest, StoredZeroMinutesShowsOneAndStaysZero) {
    store("CleanMemoryEveryMinute", 0);
    loadAndRestore();
    EXPECT_EQ(page.autoWashBox()->RzSpinEdit1()->value(), 1);
    EXPECT_EQ(stored("CleanMemoryEveryMinute"), 0);
    EXPECT_EQ(settings->CleanMemoryEveryMinute(), 0);
}

TEST_F(OptionsPageTest, FalsePreferencesChangeNothing) {
    loadAndRestore(); // first start: only the splash and memory-load preferences are true
    EXPECT_FALSE(page.runAtStartupBox()->isChecked());
    EXPECT_FALSE(page.startInTrayBox()->isChecked());
    EXPECT_TRUE(page.splashBox()->isChecked());
    EXPECT_FALSE(page.closeAfterWashBox()->isChecked());
    EXPECT_TRUE(page.memoryLoadInTrayBox()->isChecked());
    EXPECT_FALSE(runValueExists());
    EXPECT_EQ(page.refreshRateList()->currentText(), QStringLiteral("0.5 Seconds"));
    EXPECT_EQ(memoryTimer.interval(), 500);
}

TEST_F(OptionsPageTest, StoredRateOutsideTheListSelectsNothingAndKeepsOneSecond) {
    for (std::int32_t index : {-1, 10, 99}) {
        page.refreshRateList()->setCurrentIndex(0);
        memoryTimer.setInterval(1000);
        store("AutoRefreshTimerInt", index);
        loadAndRestore();
        EXPECT_EQ(page.refreshRateList()->currentIndex(), -1) << index;
        EXPECT_EQ(memoryTimer.interval(), 1000) << index;
    }
}

// The whole start-up: what the Options page restored is in force once the window is created.
TEST(StartUpPreferencesTest, FirstStartRunsTheMonitorEveryHalfSecond) {
    test::FakePlatformScope fake;
    TMainForm form;
    form.FormCreate();
    EXPECT_EQ(form.optionsPage()->refreshRateList()->currentText(), QStringLiteral("0.5 Seconds"));
    EXPECT_EQ(form.MemoryTimer.interval(), 500);
    EXPECT_TRUE(form.MemoryTimer.isActive());
    EXPECT_TRUE(form.optionsPage()->splashBox()->isChecked());
    EXPECT_FALSE(form.optionsPage()->startInTrayBox()->isChecked());
    form.FormCloseQuery();
}

} // namespace
} // namespace brenvik
