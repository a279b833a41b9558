#include "app/MainUnit.h"
#include "app/SettingsClass.h"
#include "app/SplashScr.h"
#include "fakes/FakePlatform.h"

#include <QApplication>
#include <chrono>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

using namespace std::chrono_literals;

TEST(SplashScreen, IsABorderlessRoundedWindowShowingThePictureUnscaled) {
    test::FakePlatformScope fake;
    TSplashScreen splash;
    EXPECT_EQ(splash.size(), QSize(500, 304));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(splash.picture().size(), QSize(500, 305));
    const QRegion outline = splash.mask();
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(499, 0), QPoint(0, 303), QPoint(499, 303), QPoint(3, 3)})
        EXPECT_FALSE(outline.contains(corner)) << corner.x() << ',' << corner.y();
    for (const QPoint inside : {QPoint(15, 0), QPoint(0, 15), QPoint(250, 152), QPoint(484, 303)})
        EXPECT_TRUE(outline.contains(inside)) << inside.x() << ',' << inside.y();
    // The picture's top-left pixel lands on the window's top-left pixel.
    splash.show();
    const QImage shot = splash.grab().toImage();
    EXPECT_EQ(shot.pixelColor(20, 20), splash.picture().toImage().pixelColor(20, 20));
}

TEST(SplashScreen, FollowsTheStoredPreference) {
    struct Case {
        const char* name;
        bool store;
        platform::RegValue value;
        bool shown;
    };
    for (const Case& c : {Case{"no settings yet", false, {}, true},
                          Case{"ticked", true, platform::RegValue::dword(1), true},
                          Case{"unticked", true, platform::RegValue::dword(0), false},
                          Case{"another type", true, platform::RegValue::string("0"), true}}) {
        SCOPED_TRACE(c.name);
        test::FakePlatformScope fake;
        if (c.store) {
            platform::HKEY key = 0;
            ASSERT_EQ(
                fake->registry->openKey(platform::HKEY_LOCAL_MACHINE, SettingsKeyPath, true, key),
                0);
            fake->registry->setValue(key, "ShowSplashOnStartup", c.value);
            fake->registry->closeKey(key);
        }
        EXPECT_EQ(ShowSplashOnStartup(), c.shown);
    }
}

// Notes every splash window that is shown.
class ShowWatcher : public QObject {
public:
    int shown = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && qobject_cast<TSplashScreen*>(watched) != nullptr)
            ++shown;
        return false;
    }
};

TEST(SplashScreen, ShowsDuringCreationAndHidesAfterTheHold) {
    test::FakePlatformScope fake;
    ShowWatcher watcher;
    qApp->installEventFilter(&watcher);
    TMainForm form;
    form.setSplashOnCreation(true, 150ms);
    const auto start = std::chrono::steady_clock::now();
    form.FormCreate();
    const auto took = std::chrono::steady_clock::now() - start;
    qApp->removeEventFilter(&watcher);
    EXPECT_EQ(watcher.shown, 1);
    ASSERT_NE(form.splashScreen(), nullptr);
    EXPECT_FALSE(form.splashScreen()->isVisible());
    EXPECT_GE(took, 150ms);
}

TEST(SplashScreen, UntickedPreferenceMeansNoSplashAndNoHold) {
    test::FakePlatformScope fake;
    TMainForm form;
    form.setSplashOnCreation(false, 10s);
    const auto start = std::chrono::steady_clock::now();
    form.FormCreate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    EXPECT_EQ(form.splashScreen(), nullptr);
}

} // namespace
} // namespace brenvik
