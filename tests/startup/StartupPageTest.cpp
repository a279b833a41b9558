#include "startup/StartupPage.h"

#include "RunKeys.h"
#include "fakes/FakePlatform.h"
#include "startup/StartupClass.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace platform;
using test::putString;
using test::putValue;
using test::RunKey;
using test::valueOf;

struct Asked {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
};

class StartupPageTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TStartupList list;
    StartupPage page;
    std::vector<Asked> asked;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    std::function<void()> whileAsking;

    StartupPageTest() {
        page.setStartupList(&list);
        page.setMessageBox([this](QMessageBox::Icon icon, const QString& title, const QString& text,
                                  QMessageBox::StandardButtons buttons) {
            asked.push_back({icon, title, text, buttons});
            if (whileAsking)
                whileAsking();
            return answer;
        });
    }

    QTreeWidget* view() { return page.listView(); }
    int rows() { return view()->topLevelItemCount(); }
    QTreeWidgetItem* row(int index) { return view()->topLevelItem(index); }
    QTreeWidgetItem* rowNamed(const QString& name) {
        for (int i = 0; i < rows(); ++i)
            if (row(i)->text(0) == name)
                return row(i);
        return nullptr;
    }
    QStringList column(int index) {
        QStringList texts;
        for (int i = 0; i < rows(); ++i)
            texts << row(i)->text(index);
        return texts;
    }
    void choose(const QString& name) {
        QTreeWidgetItem* chosen = rowNamed(name);
        ASSERT_NE(chosen, nullptr) << name.toStdString();
        view()->setCurrentItem(chosen);
    }
    static QImage image(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }
    static QImage stateImage(const char* file) {
        return image(QIcon(QStringLiteral(":/images/") + QLatin1String(file)));
    }
};

TEST_F(StartupPageTest, ColumnsTakeTheirShareOfTheListWidth) {
    EXPECT_EQ(view()->headerItem()->text(0), QStringLiteral("Program Name"));
    EXPECT_EQ(view()->headerItem()->text(1), QStringLiteral("Status"));
    EXPECT_EQ(view()->headerItem()->text(2), QStringLiteral("Command Line"));
    EXPECT_EQ(view()->headerItem()->text(3), QStringLiteral("Location"));
    EXPECT_EQ(view()->width(), 581);
    page.setColumnWidths();
    EXPECT_EQ(view()->columnWidth(0), 200);
    EXPECT_EQ(view()->columnWidth(1), 55);
    EXPECT_EQ(view()->columnWidth(2), 200);
    EXPECT_TRUE(view()->header()->stretchLastSection());
    const QStringList captions{page.enableButton()->text(), page.disableButton()->text(),
                               page.deleteButton()->text(), page.refreshButton()->text()};
    EXPECT_EQ(captions, (QStringList{QStringLiteral("&Enable"), QStringLiteral("&Disable"),
                                     QStringLiteral("&Delete"), QStringLiteral("&Refresh")}));
    EXPECT_LT(page.enableButton()->x(), page.disableButton()->x());
    EXPECT_LT(page.deleteButton()->x(), page.refreshButton()->x());
}

TEST_F(StartupPageTest, RefreshShowsEveryEntrySortedByName) {
    putString(HKEY_CURRENT_USER, RunKey, "beta", "/usr/bin/beta");
    putString(HKEY_LOCAL_MACHINE, RunKey, "Alpha", "/usr/bin/alpha --tray");
    auto disabled = std::make_unique<TStartupItem>();
    disabled->SetName("Gamma");
    disabled->SetCommandLine("/usr/bin/gamma");
    disabled->SetLocation(test::UserRun);
    list.Add(std::move(disabled));

    page.RefreshStartupList();
    EXPECT_EQ(column(0), (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"),
                                      QStringLiteral("Gamma")}));
    EXPECT_EQ(column(1), (QStringList{QStringLiteral("Active"), QStringLiteral("Active"),
                                      QStringLiteral("Disabled")}));
    EXPECT_EQ(row(0)->text(2), QStringLiteral("/usr/bin/alpha --tray"));
    EXPECT_EQ(row(0)->text(3), QString::fromStdString(test::MachineRun));
    EXPECT_EQ(image(row(0)->icon(0)), stateImage("startup-active.png"));
    EXPECT_EQ(image(row(2)->icon(0)), stateImage("startup-disabled.png"));
    EXPECT_EQ(StartupPage::entryOf(row(2)), list.Items(0));
}

TEST_F(StartupPageTest, RowsAreNeverRebuilt) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    page.RefreshStartupList();
    QTreeWidgetItem* first = row(0);
    first->setData(0, Qt::UserRole, QStringLiteral("mark"));
    putString(HKEY_CURRENT_USER, RunKey, "Another", "/usr/bin/another");
    page.RefreshStartupList();
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(rowNamed(QStringLiteral("App"))->data(0, Qt::UserRole), QStringLiteral("mark"));
}

TEST_F(StartupPageTest, ActiveEntryWhoseValueVanishedGoesWithItsRow) {
    putString(HKEY_CURRENT_USER, RunKey, "Gone", "/usr/bin/gone");
    putString(HKEY_CURRENT_USER, RunKey, "Stays", "/usr/bin/stays");
    page.RefreshStartupList();
    choose(QStringLiteral("Stays"));
    page.RzButton6Click(); // disabled entries stay although their value is gone
    test::deleteValue(HKEY_CURRENT_USER, RunKey, "Gone");
    page.RefreshStartupList();
    EXPECT_EQ(column(0), QStringList{QStringLiteral("Stays")});
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0)->Name(), "Stays");
}

TEST_F(StartupPageTest, NonStringValueIsReplacedAtEveryRefresh) {
    putValue(HKEY_CURRENT_USER, RunKey, "Number", RegValue::dword(1));
    for (int refresh = 0; refresh < 3; ++refresh) {
        page.RefreshStartupList();
        ASSERT_EQ(rows(), 1);
        EXPECT_FALSE(row(0)->data(0, Qt::UserRole).isValid()) << refresh;
        EXPECT_EQ(row(0)->text(2), QString());
        row(0)->setData(0, Qt::UserRole, refresh);
    }
    EXPECT_EQ(valueOf(HKEY_CURRENT_USER, RunKey, "Number"), RegValue::dword(1));
}

TEST_F(StartupPageTest, DisableAndEnableActOnTheCurrentRow) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    putString(HKEY_CURRENT_USER, RunKey, "Other", "/usr/bin/other");
    page.RefreshStartupList();
    choose(QStringLiteral("App"));

    page.RzButton6Click();
    EXPECT_EQ(rowNamed(QStringLiteral("App"))->text(1), QStringLiteral("Disabled"));
    EXPECT_EQ(image(rowNamed(QStringLiteral("App"))->icon(0)), stateImage("startup-disabled.png"));
    EXPECT_FALSE(valueOf(HKEY_CURRENT_USER, RunKey, "App"));
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "Other"));

    page.RefreshStartupList(); // a refresh leaves the disabled row as it is
    EXPECT_EQ(rowNamed(QStringLiteral("App"))->text(1), QStringLiteral("Disabled"));

    choose(QStringLiteral("App"));
    page.RzButton7Click();
    EXPECT_EQ(rowNamed(QStringLiteral("App"))->text(1), QStringLiteral("Active"));
    EXPECT_EQ(image(rowNamed(QStringLiteral("App"))->icon(0)), stateImage("startup-active.png"));
    EXPECT_EQ(valueOf(HKEY_CURRENT_USER, RunKey, "App"), RegValue::string("/usr/bin/app"));
}

TEST_F(StartupPageTest, CommandsWithoutACurrentRowDoNothing) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    page.RefreshStartupList();
    view()->setCurrentItem(nullptr);
    page.RzButton6Click();
    page.RzButton5Click();
    page.Enable1Click();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "App"));
}

TEST_F(StartupPageTest, DeleteAsksFirstAndOnlyYesDeletes) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    page.RefreshStartupList();
    choose(QStringLiteral("App"));

    answer = QMessageBox::No;
    page.RzButton5Click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].title, QStringLiteral("Confirm"));
    EXPECT_EQ(asked[0].text, QStringLiteral("Are you sure you want to delete this startup item?"));
    EXPECT_EQ(asked[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(rows(), 1);
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "App"));

    answer = QMessageBox::Yes;
    page.RzButton5Click();
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(valueOf(HKEY_CURRENT_USER, RunKey, "App"));
}

TEST_F(StartupPageTest, DeletingADisabledEntryTouchesNoRegistryValue) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    putString(HKEY_CURRENT_USER, RunKey, "Other", "/usr/bin/other");
    page.RefreshStartupList();
    choose(QStringLiteral("App"));
    page.RzButton6Click();
    const auto before = test::runValues();
    page.RzButton5Click();
    EXPECT_EQ(column(0), QStringList{QStringLiteral("Other")});
    EXPECT_EQ(test::runValues(), before);
}

TEST_F(StartupPageTest, RowDroppedWhileTheQuestionWasOpenIsNotDeleted) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    putString(HKEY_CURRENT_USER, RunKey, "Next", "/usr/bin/next");
    page.RefreshStartupList();
    choose(QStringLiteral("App"));
    // Another program removes the value and the timer refreshes before the user answers.
    whileAsking = [this] {
        test::deleteValue(HKEY_CURRENT_USER, RunKey, "App");
        page.RefreshStartupList();
    };
    page.RzButton5Click();
    EXPECT_EQ(column(0), QStringList{QStringLiteral("Next")});
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "Next"));
    ASSERT_EQ(list.Count(), 1);
}

TEST_F(StartupPageTest, ToggleEntryNamesTheCommandItWillRun) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    page.RefreshStartupList();

    view()->clearSelection();
    view()->setCurrentItem(nullptr);
    page.PopupMenu3Popup();
    EXPECT_FALSE(page.toggleEntry()->isEnabled());
    EXPECT_FALSE(page.deleteEntry()->isEnabled());
    EXPECT_TRUE(page.refreshEntry()->isEnabled());

    choose(QStringLiteral("App"));
    page.PopupMenu3Popup();
    EXPECT_TRUE(page.toggleEntry()->isEnabled());
    EXPECT_TRUE(page.deleteEntry()->isEnabled());
    EXPECT_EQ(page.toggleEntry()->text(), QStringLiteral("Disable"));

    page.Enable1Click();
    EXPECT_FALSE(valueOf(HKEY_CURRENT_USER, RunKey, "App"));
    page.PopupMenu3Popup();
    EXPECT_EQ(page.toggleEntry()->text(), QStringLiteral("Enable"));
    page.Enable1Click();
    EXPECT_TRUE(valueOf(HKEY_CURRENT_USER, RunKey, "App"));
}

TEST_F(StartupPageTest, MenuHoldsItsEntriesInOrderWithTheDelShortcut) {
    QStringList texts;
    for (QAction* action : page.popupMenu()->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts, (QStringList{QStringLiteral("&Enable"), QStringLiteral("-"),
                                  QStringLiteral("&Delete"), QStringLiteral("-"),
                                  QStringLiteral("&Refresh")}));
    EXPECT_EQ(page.deleteEntry()->shortcut(), QKeySequence(Qt::Key_Delete));
}

TEST_F(StartupPageTest, DelKeyOnTheListDeletesTheCurrentRow) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    page.RefreshStartupList();
    page.show();
    QApplication::setActiveWindow(&page);
    view()->setFocus();
    choose(QStringLiteral("App"));
    QTest::keyClick(view(), Qt::Key_Delete);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(rows(), 0);
}

TEST_F(StartupPageTest, HeaderClicksSortAndTheNextRefreshSortsByNameAgain) {
    putString(HKEY_CURRENT_USER, RunKey, "a", "/b");
    putString(HKEY_CURRENT_USER, RunKey, "B", "/a");
    putValue(HKEY_CURRENT_USER, RunKey, "c", RegValue::dword(0)); // empty command line
    putString(HKEY_CURRENT_USER, RunKey, "D", "/A/x");
    page.RefreshStartupList();
    EXPECT_EQ(column(0).join(QLatin1Char(',')), QStringLiteral("a,B,c,D"));

    QHeaderView* header = view()->header();
    Q_EMIT header->sectionClicked(2);
    // "/a" and "/A/x": a to z fold, and a text that begins another sorts first; empty last.
    EXPECT_EQ(column(2).join(QLatin1Char(',')), QStringLiteral("/a,/A/x,/b,"));
    Q_EMIT header->sectionClicked(2);
    EXPECT_EQ(column(2).join(QLatin1Char(',')), QStringLiteral(",/b,/A/x,/a"));
    Q_EMIT header->sectionClicked(2);
    EXPECT_EQ(column(2).join(QLatin1Char(',')), QStringLiteral("/a,/A/x,/b,"));
    Q_EMIT header->sectionClicked(2);
    Q_EMIT header->sectionClicked(0); // another header: ascending
    EXPECT_EQ(column(0).join(QLatin1Char(',')), QStringLiteral("a,B,c,D"));

    Q_EMIT header->sectionClicked(2);
    page.RefreshStartupList();
    EXPECT_EQ(column(0).join(QLatin1Char(',')), QStringLiteral("a,B,c,D"));
    Q_EMIT header->sectionClicked(0); // the refresh counts as a click on the name header
    EXPECT_EQ(column(0).join(QLatin1Char(',')), QStringLiteral("D,c,B,a"));
}

TEST_F(StartupPageTest, SortComparesCharacterCodesFoldingOnlyAToZ) {
    // '_' (0x5F) lies between 'Z' and 'a': folded, "_x" sorts after "Y" and "z".
    for (const char* name : {"_x", "z", "Y", "\xC3\xA9", "\xC3\x89"})
        putString(HKEY_CURRENT_USER, RunKey, name, "/x");
    page.RefreshStartupList();
    EXPECT_EQ(column(0).join(QLatin1Char(',')), QString::fromUtf8("Y,z,_x,\xC3\x89,\xC3\xA9"));
}

TEST_F(StartupPageTest, StoreFailureWarningNamesTheProblem) {
    page.warnStoreNotSaved(QStringLiteral("cannot write /x: No space left on device"));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].icon, QMessageBox::Warning);
    EXPECT_EQ(asked[0].title, QStringLiteral("Warning"));
    EXPECT_TRUE(asked[0].text.contains(QStringLiteral("No space left on device")));
    EXPECT_EQ(asked[0].buttons, QMessageBox::Ok);
}

TEST_F(StartupPageTest, DetachingTheListRemovesEveryRow) {
    putString(HKEY_CURRENT_USER, RunKey, "App", "/usr/bin/app");
    page.RefreshStartupList();
    page.setStartupList(nullptr);
    EXPECT_EQ(rows(), 0);
    page.RefreshStartupList();
    EXPECT_EQ(rows(), 0);
}

} // namespace
} // namespace brenvik
