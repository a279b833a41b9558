// The splash on a real X server: the window system maps and exposes it in its own time, and the
// start-up steps after it process no events, so what the screen shows during them is what the
// splash had painted before they began.

#include "app/MainUnit.h"
#include "app/SplashScr.h"
#include "fakes/FakePlatform.h"

#include <QGuiApplication>
#include <QScreen>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <utility>
#include <xcb/xcb.h>

namespace brenvik {
namespace {

// Calls `onRead` from within the first memory reading of the start-up, which comes while the
// creation steps block the event loop.
class ReadingHook : public test::FakeSystemStatus {
public:
    std::function<void()> onRead;
    platform::MemoryStatus memoryStatus() override {
        if (onRead)
            std::exchange(onRead, {})();
        return memory;
    }
};

// The share of sample points, away from the rounded corners, where the screen shows the picture.
double shareShowingThePicture(const QImage& screen, const QImage& picture) {
    int samples = 0;
    int matching = 0;
    for (int y = 16; y < 304 - 16; y += 12)
        for (int x = 16; x < 500 - 16; x += 12) {
            const QColor seen = screen.pixelColor(x, y);
            const QColor wanted = picture.pixelColor(x, y);
            ++samples;
            matching += std::abs(seen.red() - wanted.red()) +
                            std::abs(seen.green() - wanted.green()) +
                            std::abs(seen.blue() - wanted.blue()) <
                        40;
        }
    return static_cast<double>(matching) / samples;
}

// A form whose splash shows at creation, with a hook into the start-up's first memory reading.
class SplashX11 : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    ReadingHook* hook = installedHook();
    TMainForm form;

    SplashX11() { form.setSplashOnCreation(true, std::chrono::milliseconds(0)); }

    ReadingHook* installedHook() {
        auto* installed = new ReadingHook;
        fake->system.reset(installed);
        return installed;
    }
    // Straight from the X server: nothing here lets the program handle an event.
    QImage splashAreaOnScreen() {
        const QPoint place = form.splashScreen()->geometry().topLeft();
        return QGuiApplication::primaryScreen()
            ->grabWindow(0, place.x(), place.y(), 500, 304)
            .toImage();
    }
};

TEST_F(SplashX11, ShowsItsPictureWhileTheStartUpBlocks) {
    QImage screen;
    hook->onRead = [&] { screen = splashAreaOnScreen(); };
    form.FormCreate();
    ASSERT_FALSE(screen.isNull());
    EXPECT_GT(shareShowingThePicture(screen, form.splashScreen()->picture().toImage()), 0.9);
}

TEST_F(SplashX11, ShowsItsPictureWhenMappedAgainWhileTheStartUpBlocks) {
    // A window manager that starts late, or maps the window again, exposes it while the start-up
    // handles no events: the picture must still show.
    double shown = 0;
    hook->onRead = [&] {
        xcb_connection_t* connection =
            qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        const auto window = static_cast<xcb_window_t>(form.splashScreen()->winId());
        xcb_unmap_window(connection, window);
        xcb_map_window(connection, window);
        xcb_flush(connection);
        const QImage picture = form.splashScreen()->picture().toImage();
        // The window manager maps it in its own time.
        for (int attempt = 0; attempt < 60 && shown <= 0.9; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            shown = shareShowingThePicture(splashAreaOnScreen(), picture);
        }
    };
    form.FormCreate();
    EXPECT_GT(shown, 0.9);
}

} // namespace
} // namespace brenvik
