// Every wash the program runs ends with its report: the text the tray notification shows and a
// line in the wash log, whatever started it.

#include "app/MainUnit.h"
#include "fakes/FakePlatform.h"
#include "memory/MemoryPage.h"
#include "memory/MemoryToFreeBox.h"
#include "memory/WashLog.h"
#include "support/TempHome.h"

#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

TEST(WashReportFormTest, EveryWashEndsWithItsReportAndALogLine) {
    test::TempHome home;
    test::FakePlatformScope fake;
    auto& memory = fake->fakeSystem().memory;
    memory.cached = 900ull << 20;
    // While the blocks are taken the cache goes and available memory comes back a little.
    fake->fakeAllocator().onObtain = [&memory](int call) {
        if (call == 3) {
            memory.cached = 100ull << 20;
            memory.availPhys += 12ull << 20;
        }
    };
    TMainForm form;
    form.memoryPage()->memoryToFreeBox()->setMegabytes(8); // a wash of 4
    form.StartWash();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.washesRunning() == 0; }, 5000));
    EXPECT_EQ(form.lastWashReport(),
              QStringLiteral("Washed 4 MB in 0.0 s \u2014 800.00 MB of cache released, available "
                             "memory +12.00 MB"));
    const auto lines = WashLog().lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("\"obtainedMB\":4,"), std::string::npos) << lines[0];
}

} // namespace
} // namespace brenvik
