#include "sysinfo/SystemPage.h"

#include "app/MainUnit.h"
#include "app/NavigationBar.h"
#include "common/PercentBar.h"
#include "fakes/FakePlatform.h"
#include "memory/UsageGraph.h"
#include "support/TempHome.h"
#include "sysinfo/BooleanWords.h"
#include "sysinfo/Launchers.h"

#include <QAction>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using platform::ShellFolder;

TEST(SystemPage, TwoTabsWithTheProcessorDisplays) {
    test::FakePlatformScope fake;
    SystemPage page;
    ASSERT_EQ(page.tabs()->count(), 2);
    EXPECT_EQ(page.tabs()->tabText(0), QStringLiteral("System"));
    EXPECT_EQ(page.tabs()->tabText(1), QStringLiteral("CPU"));
    page.show();
    EXPECT_EQ(page.tabs()->tabBar()->tabRect(0).width(), 298);
    EXPECT_EQ(page.tabs()->tabBar()->tabRect(1).width(), 298);
    EXPECT_EQ(page.cpuUsageBar()->objectName(), QStringLiteral("RzProgressBar4"));
    EXPECT_EQ(page.cpuHistoryGraph()->size(), QSize(443, 140));
}

// Each of the sixteen buttons opens its own row's folder exactly, an empty field included.
TEST(SystemPage, EveryFolderButtonExploresItsOwnField) {
    test::FakePlatformScope fake;
    test::TempHome home;
    home.setEnv("TMP", "/tmp/caf\xe9"); // a name that is not valid UTF-8
    auto& folders = fake->fakeFolders();
    folders.shellFolders = {
        {ShellFolder::AppData, "/h/config"},      {ShellFolder::Desktop, "/h/Desktop/"},
        {ShellFolder::Favorites, "/h/bookmarks"}, {ShellFolder::Fonts, "/h/fonts"},
        {ShellFolder::History, "/h/history"},     {ShellFolder::InternetCache, "/h/cache"},
        {ShellFolder::Nethood, "/h/network"},     {ShellFolder::Recent, "/h/recent"},
        {ShellFolder::SendTo, "/h/send-to"},      {ShellFolder::StartMenu, "/h/menu"},
        {ShellFolder::Templates, "/h/Templates"},
    };
    folders.programFiles = "/usr/bin";
    folders.system = "/usr/lib";
    folders.windows = "/";
    const std::vector<std::string> expected{
        "/h/config",  "",         "/h/Desktop", "/h/bookmarks", "/h/fonts",
        "/h/history", "/h/cache", "/h/network", "/usr/bin",     "/h/recent",
        "/h/send-to", "/h/menu",  "/usr/lib",   "/tmp/caf\xe9", "/h/Templates",
        "/",
    };
    SystemPage page;
    page.fillFolders(TSystemFolders());
    for (int row = 0; row < 16; ++row) {
        QLineEdit* field = page.folderField(row);
        EXPECT_TRUE(field->isReadOnly());
        EXPECT_EQ(field->text(), QString::fromStdString(expected[row])) << row;
        ASSERT_EQ(field->actions().size(), 1);
        field->actions().first()->trigger();
        ASSERT_EQ(fake->fakeShell().calls.size(), static_cast<std::size_t>(row + 1));
        EXPECT_EQ(fake->fakeShell().calls.back().verb, "explore");
        EXPECT_EQ(fake->fakeShell().calls.back().file, expected[row]) << row;
    }
    // A sender that is none of the fields does nothing.
    page.OpenFolderSFoldersExecute(page.tabs());
    page.OpenFolderSFoldersExecute(nullptr);
    EXPECT_EQ(fake->fakeShell().calls.size(), 16u);
}

TEST(SystemPage, TheMainWindowFillsItAtCreation) {
    test::FakePlatformScope fake;
    test::TempHome home;
    auto& version = fake->fakeSystem().version;
    version = {};
    version.platformId = platform::VER_PLATFORM_WIN32_NT;
    version.majorVersion = 5;
    version.minorVersion = 1;
    version.buildNumber = 2600;
    version.extended = true;
    version.productType = 1;
    version.servicePackMajor = 3;
    auto& processor = fake->fakeProcessor();
    processor.setVendor("GenuineIntel", 2, 0x80000008);
    processor.setLeaf(1, {0x0F41, 0, 0, (1u << 23) | (1u << 4)});
    processor.setBrand("  Intel(R) Pentium(R) 4 CPU 2.40GHz");
    processor.megahertz = 2394.2;
    fake->fakeFolders().shellFolders = {{ShellFolder::Templates, "/h/Templates"}};

    TMainForm form;
    form.FormCreate();
    const SystemPage& page = *form.systemPage();
    EXPECT_EQ(page.valueOf(QStringLiteral("Version:")), QStringLiteral("Windows XP"));
    EXPECT_EQ(page.valueOf(QStringLiteral("Product Type:")),
              QStringLiteral("Professional Edition"));
    EXPECT_EQ(page.valueOf(QStringLiteral("SP Version:")), QStringLiteral("3"));
    EXPECT_EQ(page.valueOf(QStringLiteral("Version Build:")), QStringLiteral("2600"));
    EXPECT_EQ(page.valueOf(QStringLiteral("Major:")), QStringLiteral("5"));
    EXPECT_EQ(page.valueOf(QStringLiteral("Minor:")), QStringLiteral("1"));
    EXPECT_EQ(page.valueOf(QStringLiteral("Processor:")),
              QStringLiteral("  Intel(R) Pentium(R) 4 CPU 2.40GHz"));
    EXPECT_EQ(page.valueOf(QStringLiteral("No of Pro.:")), QStringLiteral("2"));
    EXPECT_EQ(page.valueOf(QStringLiteral("Family:")), QStringLiteral("15"));
    EXPECT_EQ(page.valueOf(QStringLiteral("IA64:")), QStringLiteral("No"));
    EXPECT_EQ(page.valueOf(QStringLiteral("MMX Support:")), QStringLiteral("Yes"));
    EXPECT_EQ(page.valueOf(QStringLiteral("Norm Frequency:")), QStringLiteral("2390"));
    EXPECT_EQ(page.folderField(14)->text(), QStringLiteral("/h/Templates"));
    EXPECT_EQ(BoolToStr(true), "Yes");
    form.FormCloseQuery();
}

// The navigation bar's item with `caption`.
QAction* navigationItem(TMainForm& form, const QString& caption) {
    for (QAction* action : form.navigationBar()->findChildren<QAction*>()) {
        if (action->text() == caption)
            return action;
    }
    return nullptr;
}

TEST(SystemPage, NavigationStartsTheSnapshotToolAndOpensHelp) {
    test::FakePlatformScope fake;
    test::TempHome home;
    test::writeFile(home.root() / "program" / "Help" / "Brenvik.chm", "help");
    fake->fakeSystem().program = home.root() / "program" / "brenvik";
    fake->fakeShell().handledTypes = {"application/vnd.ms-htmlhelp"};
    fake->fakeShell().programs["timeshift-gtk"] = "/usr/bin/timeshift-gtk";
    TMainForm form;
    QAction* restore = navigationItem(form, QStringLiteral("System Restore"));
    QAction* help = navigationItem(form, QStringLiteral("Help"));
    ASSERT_NE(restore, nullptr);
    ASSERT_NE(help, nullptr);
    restore->trigger();
    help->trigger();
    OpenHelp("Brenvik.chm"); // what the tray's "Help" does
    const auto& calls = fake->fakeShell().calls;
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].file, "/usr/bin/timeshift-gtk");
    EXPECT_EQ(calls[1].file, (home.root() / "program" / "Help" / "Brenvik.chm").string());
    EXPECT_EQ(calls[2].file, calls[1].file);
    EXPECT_EQ(form.currentPage(), TMainForm::MemoryPageIndex); // no page change
}

} // namespace
} // namespace brenvik
