#include "app/About.h"

#include "app/MainUnit.h"
#include "app/NavigationBar.h"
#include "dialogs/DialogAnswer.h"
#include "fakes/FakePlatform.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

class AboutTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    TAboutUsFrm box;

    QStringList texts() const {
        QStringList found;
        for (const QLabel* label : box.findChildren<QLabel*>())
            found << label->text();
        return found;
    }
};

TEST_F(AboutTest, ShowsNameVersionNoticesAndLinks) {
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Us"));
    EXPECT_EQ(box.size(), QSize(344, 375));
    EXPECT_EQ(box.palette().color(QPalette::Window), QColor(253, 250, 241));
    EXPECT_EQ(AboutUsFrm, &box);
    const QStringList shown = texts();
    for (const char* text : {"Brenvik", "Version 7.1.0", "Support Home", "Click Here"})
        EXPECT_TRUE(shown.contains(QString::fromUtf8(text))) << text;
    const auto title = box.findChildren<QLabel*>().front();
    EXPECT_EQ(title->text(), QStringLiteral("Brenvik"));
    EXPECT_EQ(title->font().pixelSize(), 29);
    EXPECT_TRUE(title->font().bold());
    EXPECT_NE(title->graphicsEffect(), nullptr);
    EXPECT_EQ(box.supportLink()->url(), TAboutUsFrm::SupportAddress);
    EXPECT_EQ(box.webLink()->text(), TAboutUsFrm::WebAddress);
    EXPECT_EQ(box.closeButton()->text(), QStringLiteral("Close"));
}

TEST_F(AboutTest, EscapeClosesTheBoxFromAnyControl) {
    for (QWidget* control :
         {static_cast<QWidget*>(box.closeButton()), static_cast<QWidget*>(box.supportLink()),
          static_cast<QWidget*>(box.webLink()), static_cast<QWidget*>(&box)}) {
        SCOPED_TRACE(control->metaObject()->className());
        box.show();
        ASSERT_TRUE(box.isVisible());
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_FALSE(box.isVisible());
    }
    EXPECT_TRUE(fake->fakeShell().calls.empty());
}

TEST_F(AboutTest, LinkShowsVisitedOnlyAfterItsAddressOpened) {
    for (TUrlLabel* link : {box.supportLink(), box.webLink()}) {
        SCOPED_TRACE(link->url().toStdString());
        const QColor fresh = link->palette().color(QPalette::WindowText);
        fake->fakeShell().calls.clear();
        fake->fakeShell().result = false;
        QTest::mouseClick(link, Qt::LeftButton);
        EXPECT_FALSE(link->visited());
        EXPECT_EQ(link->palette().color(QPalette::WindowText), fresh);

        fake->fakeShell().result = true;
        link->setFocus();
        QTest::keyClick(link, Qt::Key_Space);
        EXPECT_TRUE(link->visited());
        EXPECT_NE(link->palette().color(QPalette::WindowText), fresh);

        ASSERT_EQ(fake->fakeShell().calls.size(), 2u);
        for (const auto& call : fake->fakeShell().calls) {
            EXPECT_EQ(call.verb, "Open");
            EXPECT_EQ(call.file, link->url().toStdString());
        }
    }
}

TEST_F(AboutTest, AboutItemShowsTheBoxModally) {
    TMainForm form;
    QAction* about = nullptr;
    for (QAction* action : form.navigationBar()->findChildren<QAction*>())
        if (action->text() == QStringLiteral("About"))
            about = action;
    ASSERT_NE(about, nullptr);
    bool wasModal = false;
    test::answerNextDialog<TAboutUsFrm>([&wasModal, this](TAboutUsFrm* shown) {
        wasModal = shown == &box && shown->isModal();
        shown->closeButton()->click();
    });
    about->trigger();
    EXPECT_TRUE(wasModal);
    EXPECT_FALSE(box.isVisible());
}

} // namespace
} // namespace brenvik
