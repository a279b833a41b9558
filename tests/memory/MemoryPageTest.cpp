#include "memory/MemoryPage.h"

#include "app/MainUnit.h"
#include "common/FileUtils.h"
#include "common/PercentBar.h"
#include "fakes/FakePlatform.h"
#include "memory/MemoryToFreeBox.h"
#include "memory/UsageGraph.h"
#include "platform/Registry.h"
#include "support/Eventually.h"
#include "sysinfo/OSVersionInfo.h"
#include "sysinfo/SystemPage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

constexpr std::uint64_t MiB = 1'048'576;
constexpr std::uint64_t GiB = 1'073'741'824;

QString text(const QWidget& parent, const char* name) {
    auto* label = parent.findChild<QLabel*>(QLatin1String(name));
    return label != nullptr ? label->text()
                            : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

TEST(MemoryPage, SevenGroupsSideBySideInsideThePage) {
    MemoryPage page;
    const QStringList titles{
        QStringLiteral("Memory Usage"),  QStringLiteral("Paging File"),
        QStringLiteral("System"),        QStringLiteral("Memory Usage History"),
        QStringLiteral("CPU Usage"),     QStringLiteral("Memory Monitor"),
        QStringLiteral("Memory To Free")};
    const auto boxes = page.findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly);
    QStringList found;
    for (const QGroupBox* box : boxes) {
        found << box->title();
        EXPECT_TRUE(page.rect().contains(box->geometry())) << box->title().toStdString();
        for (const QGroupBox* other : boxes) {
            if (other != box) {
                EXPECT_FALSE(box->geometry().intersects(other->geometry()))
                    << box->title().toStdString() << " / " << other->title().toStdString();
            }
        }
    }
    found.sort();
    QStringList expected = titles;
    expected.sort();
    EXPECT_EQ(found, expected);
    EXPECT_EQ(page.size(), QSize(594, 431));
    EXPECT_EQ(page.memoryToFreeBox()->parentWidget(), &page);
}

TEST(MemoryPage, GraphsAndBarsInTheirGroups) {
    MemoryPage page;
    EXPECT_EQ(page.memoryHistoryGraph()->size(), QSize(275, 129));
    EXPECT_EQ(page.cpuUsageGraph()->size(), QSize(252, 129));
    const auto groupOf = [](const QWidget* widget) {
        return static_cast<QGroupBox*>(widget->parentWidget())->title();
    };
    EXPECT_EQ(groupOf(page.memoryHistoryGraph()), QStringLiteral("Memory Usage History"));
    EXPECT_EQ(groupOf(page.cpuUsageGraph()), QStringLiteral("CPU Usage"));
    EXPECT_EQ(groupOf(page.availableBar()), QStringLiteral("Memory Monitor"));
    EXPECT_EQ(groupOf(page.pageFileBar()), QStringLiteral("Memory Monitor"));
    EXPECT_FALSE(page.memoryHistoryGraph()->isActive());
    EXPECT_FALSE(page.cpuUsageGraph()->isActive());
    // Axis labels sit left of the memory graph, top to bottom.
    const auto* top = page.findChild<QLabel*>(QStringLiteral("RzLabel15"));
    const auto* bottom = page.findChild<QLabel*>(QStringLiteral("RzLabel47"));
    ASSERT_TRUE(top && bottom);
    EXPECT_LE(top->geometry().right(), page.memoryHistoryGraph()->x());
    EXPECT_LT(top->y(), bottom->y());
    EXPECT_EQ(bottom->text(), QStringLiteral("0"));
}

TEST(MemoryPage, PlaceholdersUntilFilledAndValuesRightAligned) {
    MemoryPage page;
    for (const char* name : {"Label10", "Label7", "Label6", "Label21", "Label20", "Label17"}) {
        EXPECT_EQ(text(page, name), QStringLiteral("1,024 MB")) << name;
        EXPECT_TRUE(page.findChild<QLabel*>(QLatin1String(name))->alignment() & Qt::AlignRight);
    }
    EXPECT_EQ(text(page, "Label32"), QStringLiteral("1 Y, 2 M, 5 D, 6 H, 22 M"));
    EXPECT_EQ(text(page, "Label30"), QStringLiteral("Windows NT 3.51"));
    EXPECT_EQ(text(page, "RzLabel15"), QStringLiteral("1024"));
    EXPECT_EQ(text(page, "RzLabel46"), QStringLiteral("512"));
    page.setRunningProcesses(87);
    EXPECT_EQ(text(page, "Label31"), QStringLiteral("87"));
    page.setWindowsName(QStringLiteral("Debian GNU/Linux 12"));
    EXPECT_EQ(text(page, "Label30"), QStringLiteral("Debian GNU/Linux 12"));
}

TEST(MemoryPage, TickWritesBarsTextsAndTheGraphValue) {
    MemoryPage page;
    MemoryTickTexts tick = memoryTickTexts({1000 * MiB, 425 * MiB, 2000 * MiB, 870 * MiB}, 0);
    page.showTick(tick);
    EXPECT_EQ(page.availableBar()->percent(), 42);
    EXPECT_EQ(page.pageFileBar()->percent(), 56);
    EXPECT_EQ(page.memoryHistoryGraph()->value(), 42);
    EXPECT_EQ(text(page, "Label7"), QStringLiteral("575 MB"));
    EXPECT_EQ(text(page, "Label6"), QStringLiteral("425 MB"));
    EXPECT_EQ(text(page, "Label32"), QStringLiteral("0 D 0 H 0 M 0 S "));
    // The paging-file box is written at start-up only.
    EXPECT_EQ(text(page, "Label21"), QStringLiteral("1,024 MB"));
}

class MainFormMemory : public ::testing::Test {
protected:
    MainFormMemory() {
        auto& system = fake->fakeSystem();
        system.memory.totalPhys = 536'870'913;
        system.memory.availPhys = 256 * MiB;
        system.memory.totalPageFile = 3 * GiB;
        system.memory.availPageFile = 1 * GiB;
        system.ticks = 90'061'999;
        PrevIdleTime = PrevKernelTime = PrevUserTime = 0;
    }
    ~MainFormMemory() override { form.FormCloseQuery(); }
    MemoryPage& page() { return *form.memoryPage(); }
    static std::vector<QMessageBox*> errorBoxes() {
        std::vector<QMessageBox*> boxes;
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget);
                box != nullptr && box->isVisible() &&
                box->text() == QStringLiteral("error is here"))
                boxes.push_back(box);
        return boxes;
    }

    test::FakePlatformScope fake;
    TMainForm form;
};

TEST_F(MainFormMemory, StartupFillWritesTheFiguresOnce) {
    form.FormCreate();
    EXPECT_EQ(text(page(), "Label10"), QStringLiteral("513 MB"));
    EXPECT_EQ(text(page(), "Label7"), QStringLiteral("257 MB"));
    EXPECT_EQ(text(page(), "Label6"), QStringLiteral("256 MB"));
    EXPECT_EQ(text(page(), "Label21"), QStringLiteral("3") +
                                           QString::fromStdString(UserDecimalSeparator()) +
                                           QStringLiteral("00 GB"));
    EXPECT_EQ(text(page(), "Label20").left(1), QStringLiteral("2"));
    EXPECT_EQ(text(page(), "Label17").left(1), QStringLiteral("1"));
    EXPECT_EQ(text(page(), "RzLabel15"), QStringLiteral("513"));
    EXPECT_EQ(text(page(), "RzLabel46"), QStringLiteral("256"));
    EXPECT_EQ(text(page(), "Label30"), QString::fromStdString(OperatingSystemName()));
    EXPECT_TRUE(page().memoryHistoryGraph()->isActive());
    EXPECT_EQ(page().memoryHistoryGraph()->value(), 50);
    EXPECT_FALSE(page().cpuUsageGraph()->isActive()) << "started by the first processor tick";
}

TEST_F(MainFormMemory, TickFollowsTheMemoryButNotThePagingFileBox) {
    form.FormCreate();
    form.MemoryTimer.setInterval(10);
    auto& system = fake->fakeSystem();
    system.memory.availPhys = 0;
    system.memory.availPageFile = 3 * GiB / 4;
    system.ticks = 4'294'967'296ULL + 1000;
    ASSERT_EVENTUALLY_EQ(text(page(), "Label6"), QStringLiteral("0 MB"));
    EXPECT_EQ(text(page(), "Label7"), QStringLiteral("513 MB"));
    EXPECT_EQ(text(page(), "Label32"), QStringLiteral("49 D 17 H 2 M 48 S "));
    EXPECT_EQ(page().availableBar()->percent(), 0);
    EXPECT_EQ(page().pageFileBar()->percent(), 75);
    EXPECT_EQ(page().memoryHistoryGraph()->value(), 0);
    EXPECT_EQ(text(page(), "Label17").left(1), QStringLiteral("1")) << "start-up figure kept";
}

// Processor counters that grow by the same times between any two reads, however often the
// ticks come.
class SteadyCounters : public test::FakeSystemStatus {
public:
    platform::ProcessorTimes growth;
    std::vector<platform::ProcessorTimes> processorTimes() override {
        const auto now = times;
        for (auto& entry : times) {
            entry.idle += growth.idle;
            entry.kernel += growth.kernel;
            entry.user += growth.user;
        }
        return now;
    }
};

TEST_F(MainFormMemory, ProcessorTickFeedsTheGraphAndStartsIt) {
    auto counters = std::make_unique<SteadyCounters>();
    counters->version.platformId = platform::VER_PLATFORM_WIN32_NT;
    counters->times = {{750, 900, 100}};
    counters->growth = {10, 50, 50};
    fake->system = std::move(counters);
    form.FormCreate();
    form.CPUTimer.setInterval(10);
    ASSERT_EVENTUALLY_TRUE(page().cpuUsageGraph()->isActive());
    ASSERT_EVENTUALLY_EQ(page().cpuUsageGraph()->value(), 90);
    // The System page's bar and history graph show the same figure.
    EXPECT_EQ(form.systemPage()->cpuUsageBar()->percent(), 90);
    EXPECT_EQ(form.systemPage()->cpuHistoryGraph()->value(), 90);
    EXPECT_TRUE(form.systemPage()->cpuHistoryGraph()->isActive());
    EXPECT_TRUE(errorBoxes().empty());
}

// Answers a fixed processor load in the dynamic performance data.
class FixedLoad : public platform::KeyProvider {
public:
    std::uint32_t load = 0;
    std::vector<std::string> valueNames() override { return {"KERNEL\\CPUUsage"}; }
    std::optional<platform::RegValue> value(std::string_view) override {
        return platform::RegValue::dword(load);
    }
};

TEST_F(MainFormMemory, LoadsAboveAHundredFillTheBarAndOutOfRangeShowsTheBox) {
    auto provider = std::make_shared<FixedLoad>();
    provider->load = 250;
    fake->registry->mount(platform::HKEY_DYN_DATA, "PerfStats\\StatData", provider);
    form.FormCreate();
    form.CPUTimer.setInterval(10);
    ASSERT_EVENTUALLY_EQ(form.systemPage()->cpuUsageBar()->percent(), 100);
    EXPECT_EQ(page().cpuUsageGraph()->value(), 100);
    EXPECT_TRUE(errorBoxes().empty());
    provider->load = 65536;
    ASSERT_EVENTUALLY_EQ(errorBoxes().size(), std::size_t{1});
    errorBoxes().front()->button(QMessageBox::Ok)->click();
}

TEST_F(MainFormMemory, OtherPlatformsReadTheDynamicDataAndShowZeroWithoutIt) {
    form.FormCreate();
    form.CPUTimer.setInterval(10);
    ASSERT_EVENTUALLY_TRUE(page().cpuUsageGraph()->isActive());
    EXPECT_EQ(page().cpuUsageGraph()->value(), 0);
    QTest::qWait(50);
    EXPECT_TRUE(errorBoxes().empty());
}

TEST_F(MainFormMemory, CountersThatDoNotAdvanceShowOneErrorBoxAndPauseSampling) {
    form.FormCreate();
    auto& system = fake->fakeSystem();
    system.version.platformId = platform::VER_PLATFORM_WIN32_NT;
    system.times = {{500, 800, 200}};
    form.CPUTimer.setInterval(10);
    ASSERT_EVENTUALLY_EQ(errorBoxes().size(), std::size_t{1});
    QMessageBox* box = errorBoxes().front();
    EXPECT_TRUE(box->windowTitle().isEmpty());
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);

    // While it is open the ticks neither sample nor open another box.
    system.times = {{500, 900, 300}};
    QTest::qWait(100);
    EXPECT_EQ(errorBoxes().size(), 1u);
    EXPECT_EQ(PrevKernelTime, 800);

    box->button(QMessageBox::Ok)->click();
    ASSERT_EVENTUALLY_EQ(page().cpuUsageGraph()->value(), 100);
    EXPECT_EQ(PrevKernelTime, 900);
    // The counters stand still again: one box again.
    ASSERT_EVENTUALLY_EQ(errorBoxes().size(), std::size_t{1});
    errorBoxes().front()->button(QMessageBox::Ok)->click();
}

} // namespace
} // namespace brenvik
