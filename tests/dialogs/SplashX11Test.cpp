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

TEST(SplashX11, ShowsItsPictureWhileTheStartUpBlocks) {
    test::FakePlatformScope fake;
    auto* hook = new ReadingHook;
    fake->system.reset(hook);
    TMainForm form;
    form.setSplashOnCreation(true, std::chrono::milliseconds(0));
    QImage screen;
    hook->onRead = [&] {
        // Straight from the X server: nothing here lets the program handle an event.
        const QPoint place = form.splashScreen()->geometry().topLeft();
        screen = QGuiApplication::primaryScreen()
                     ->grabWindow(0, place.x(), place.y(), 500, 304)
                     .toImage();
    };
    form.FormCreate();
    ASSERT_FALSE(screen.isNull());
    EXPECT_GT(shareShowingThePicture(screen, form.splashScreen()->picture().toImage()), 0.9);
}

TEST(SplashX11, ShowsItsPictureWhenMappedAgainWhileTheStartUpBlocks) {
    // A window manager that starts late, or maps the window again, exposes it while the start-up
    // handles no events: the picture must still show.
    test::FakePlatformScope fake;
    auto* hook = new ReadingHook;
    fake->system.reset(hook);
    TMainForm form;
    form.setSplashOnCreation(true, std::chrono::milliseconds(0));
    double shown = 0;
    hook->onRead = [&] {
        xcb_connection_t* connection =
            qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
        const auto window = static_cast<xcb_window_t>(form.splashScreen()->winId());
        xcb_unmap_window(connection, window);
        xcb_map_window(connection, window);
        xcb_flush(connection);
        const QPoint place = form.splashScreen()->geometry().topLeft();
        const QImage picture = form.splashScreen()->picture().toImage();
        // The window manager maps it in its own time.
        for (int attempt = 0; attempt < 60 && shown <= 0.9; ++attempt) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            shown = shareShowingThePicture(QGuiApplication::primaryScreen()
                                               ->grabWindow(0, place.x(), place.y(), 500, 304)
                                               .toImage(),
                                           picture);
        }
    };
    form.FormCreate();
    EXPECT_GT(shown, 0.9);
}

} // namespace
} // namespace brenvik
