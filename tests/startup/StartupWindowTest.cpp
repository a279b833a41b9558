#include "RunKeys.h"
#include "app/MainUnit.h"
#include "fakes/FakePlatform.h"
#include "startup/StartupClass.h"
#include "startup/StartupPage.h"
#include "startup/StartupStore.h"
#include "support/TempHome.h"

#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace brenvik {
namespace {

using namespace platform;
using test::putString;
using test::RunKey;

// The startup list in the main window's life: read at creation, refreshed by the page's timer,
// saved in the close sequence.
class StartupWindowTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    std::vector<QString> warnings;

    std::unique_ptr<TMainForm> createdForm() {
        auto form = std::make_unique<TMainForm>();
        form->startupPage()->setMessageBox([this](QMessageBox::Icon, const QString&,
                                                  const QString& text,
                                                  QMessageBox::StandardButtons) {
            warnings.push_back(text);
            return QMessageBox::Ok;
        });
        form->FormCreate();
        return form;
    }
    static QStringList shown(TMainForm& form) {
        QStringList rows;
        QTreeWidget* view = form.startupPage()->listView();
        for (int i = 0; i < view->topLevelItemCount(); ++i)
            rows << view->topLevelItem(i)->text(0) + QLatin1Char(':') +
                        view->topLevelItem(i)->text(1) + QLatin1Char(':') +
                        view->topLevelItem(i)->text(2);
        return rows;
    }
    static void choose(TMainForm& form, const QString& name) {
        QTreeWidget* view = form.startupPage()->listView();
        const auto found = view->findItems(name, Qt::MatchExactly, 0);
        ASSERT_EQ(found.size(), 1);
        view->setCurrentItem(found.first());
    }
};

TEST_F(StartupWindowTest, DisabledEntrySurvivesARestartAndEnablesBack) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app --tray");
    {
        auto form = createdForm();
        EXPECT_EQ(shown(*form), QStringList{QStringLiteral("App:Active:/usr/bin/app --tray")});
        choose(*form, QStringLiteral("App"));
        form->startupPage()->RzButton6Click();
        form->FormCloseQuery();
        EXPECT_EQ(form->startupList(), nullptr);
        EXPECT_EQ(form->startupPage()->listView()->topLevelItemCount(), 0);
    }
    EXPECT_FALSE(test::valueOf(HKEY_CURRENT_USER, RunKey, "App"));
    auto form = createdForm();
    EXPECT_EQ(shown(*form), QStringList{QStringLiteral("App:Disabled:/usr/bin/app --tray")});
    choose(*form, QStringLiteral("App"));
    form->startupPage()->RzButton7Click();
    EXPECT_EQ(test::valueOf(HKEY_CURRENT_USER, RunKey, "App"),
              RegValue::string("/usr/bin/app --tray"));
    EXPECT_TRUE(warnings.empty());
}

TEST_F(StartupWindowTest, StoreWithoutEntriesGivesTheRegistryAlone) {
    test::writeFile(startupStorePath(), std::string(4, '\0'));
    putString(HKEY_LOCAL_MACHINE, RunKey, "Machine", "/usr/bin/m");
    auto form = createdForm();
    EXPECT_EQ(shown(*form), QStringList{QStringLiteral("Machine:Active:/usr/bin/m")});
}

TEST_F(StartupWindowTest, DamagedStoreKeepsWhatItCouldReadAndStartUpGoesOn) {
    const std::string damaged = std::string("\x02\0\0\0", 4) + "TPF0junk";
    test::writeFile(startupStorePath(), damaged);
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    auto form = createdForm();
    EXPECT_EQ(shown(*form), QStringList{QStringLiteral("App:Active:/usr/bin/app")});
    EXPECT_EQ(test::readFile(startupStorePath().string() + ".bad"), damaged);
}

TEST_F(StartupWindowTest, PageShowsTheLastRowsAndRefreshesWithTheTimer) {
    auto form = createdForm();
    putString(HKEY_CURRENT_USER, RunKey, "Later", "/usr/bin/later");
    form->ShowPage(TMainForm::StartupPageIndex);
    QCoreApplication::processEvents();
    EXPECT_TRUE(shown(*form).isEmpty());
    EXPECT_EQ(form->StartupTimer.interval(), 5000);
    form->StartupTimer.start(1); // instead of waiting the five seconds
    for (int i = 0; i < 200 && shown(*form).isEmpty(); ++i)
        QTest::qWait(10);
    EXPECT_EQ(shown(*form), QStringList{QStringLiteral("Later:Active:/usr/bin/later")});
}

TEST_F(StartupWindowTest, SessionEndSavesWithoutReleasingTheList) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    auto form = createdForm();
    choose(*form, QStringLiteral("App"));
    form->startupPage()->RzButton6Click();
    form->saveForSessionEnd();
    TStartupList saved;
    EXPECT_EQ(saved.LoadFromFile(startupStorePath()).outcome, TStoreLoadResult::Read);
    ASSERT_EQ(saved.Count(), 1);
    EXPECT_FALSE(saved.Items(0)->Enabled());
    // The session end was cancelled: the program goes on with its list and rows.
    ASSERT_NE(form->startupList(), nullptr);
    form->startupPage()->RzButton4Click();
    EXPECT_EQ(shown(*form), QStringList{QStringLiteral("App:Disabled:/usr/bin/app")});
}

TEST_F(StartupWindowTest, StoreThatCannotBeWrittenIsReportedOnceAtShutdown) {
    // A file where the store's folder should be: neither the folder nor the store can be made.
    test::writeFile(startupStorePath().parent_path(), "in the way");
    auto form = createdForm();
    form->saveForSessionEnd();
    EXPECT_TRUE(warnings.empty());
    form->FormCloseQuery();
    form->FormCloseQuery();
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].contains(QString::fromStdString(startupStorePath().string())));
}

TEST_F(StartupWindowTest, StoreThatCouldNotBeReadIsNotReplaced) {
    std::filesystem::create_directories(startupStorePath().parent_path());
    ASSERT_EQ(::mkfifo(startupStorePath().c_str(), 0600), 0);
    auto form = createdForm();
    form->FormCloseQuery();
    EXPECT_TRUE(std::filesystem::is_fifo(startupStorePath()));
    EXPECT_EQ(warnings.size(), 1u);
}

} // namespace
} // namespace brenvik
