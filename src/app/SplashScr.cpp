#include "app/SplashScr.h"

#include "app/SettingsClass.h"
#include "platform/TRegistry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <thread>
#include <xcb/xcb.h>

namespace brenvik {

namespace {

constexpr int ClientWidth = 500;
constexpr int ClientHeight = 304;
constexpr int CornerEllipse = 30;

// A rectangle whose corners are quarter ellipses of the given size, as the window system's
// rounded-rectangle regions are.
QRegion roundedRegion(int width, int height, int ellipse) {
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), ellipse / 2.0, ellipse / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

// On X11 the server itself paints the picture as the window's background, so that it shows
// whenever the window is exposed: also while the start-up steps block the event loop, and when a
// window manager maps the window late or maps it again.
void paintBackgroundOnTheServer(QWidget& window, const QPixmap& picture) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr)
        return;
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    if (geometry == nullptr)
        return;
    const std::uint8_t depth = geometry->depth;
    std::free(geometry);
    // 32-bit pixels in the server's (little-endian) order, as Qt's RGB32 lays them out.
    if (depth != 24 && depth != 32)
        return;
    const QImage image = picture.toImage()
                             .copy(0, 0, window.width(), window.height())
                             .convertToFormat(depth == 32 ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, depth, pixmap, id, static_cast<std::uint16_t>(image.width()),
                      static_cast<std::uint16_t>(image.height()));
    const xcb_gcontext_t context = xcb_generate_id(connection);
    xcb_create_gc(connection, context, pixmap, 0, nullptr);
    // In strips that fit one request.
    const std::size_t requestBytes = std::min<std::size_t>(
        std::size_t{xcb_get_maximum_request_length(connection)} * 4 - 64, 256 * 1024);
    const int line = static_cast<int>(image.bytesPerLine());
    const int rows = std::max(1, static_cast<int>(requestBytes) / line);
    for (int top = 0; top < image.height(); top += rows) {
        const int count = std::min(rows, image.height() - top);
        xcb_put_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, context,
                      static_cast<std::uint16_t>(image.width()), static_cast<std::uint16_t>(count),
                      0, static_cast<std::int16_t>(top), 0, depth,
                      static_cast<std::uint32_t>(count * line), image.constScanLine(top));
    }
    xcb_free_gc(connection, context);
    xcb_change_window_attributes(connection, id, XCB_CW_BACK_PIXMAP, &pixmap);
    xcb_free_pixmap(connection, pixmap); // the window keeps its background
    xcb_clear_area(connection, 0, id, 0, 0, 0, 0);
    xcb_flush(connection);
}

} // namespace

TSplashScreen::TSplashScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint),
      picture_(QStringLiteral(":/images/splash.jpg")) {
    setObjectName(QStringLiteral("SplashScreen"));
    setFixedSize(ClientWidth, ClientHeight);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);
    setMask(roundedRegion(width(), height(), CornerEllipse));
    if (const QScreen* display = screen())
        move(display->availableGeometry().center() - rect().center());
}

void TSplashScreen::paintEvent(QPaintEvent*) {
    // Unscaled from the top-left corner: the picture's last row falls outside the window.
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture_);
    painted_ = true;
}

void TSplashScreen::showPainted(std::chrono::milliseconds limit) {
    paintBackgroundOnTheServer(*this, picture_);
    show();
    constexpr auto flags = QEventLoop::ExcludeUserInputEvents | QEventLoop::ExcludeSocketNotifiers;
    const auto end = std::chrono::steady_clock::now() + limit;
    const auto onScreen = [this] {
        return painted_ && windowHandle() != nullptr && windowHandle()->isExposed();
    };
    while (!onScreen() && std::chrono::steady_clock::now() < end) {
        QCoreApplication::processEvents(flags);
        if (!onScreen())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    QCoreApplication::processEvents(flags);
    QGuiApplication::sync();
}

void TSplashScreen::repaintNow() {
    repaint();
    QGuiApplication::sync();
}

bool ShowSplashOnStartup() {
    using namespace platform;
    try {
        TRegistry registry(HKEY_LOCAL_MACHINE);
        if (!registry.OpenKeyReadOnly(SettingsKeyPath) ||
            registry.GetDataTypeCode("ShowSplashOnStartup") != REG_DWORD)
            return true;
        return registry.ReadInteger("ShowSplashOnStartup") != 0;
    } catch (const ERegistryException&) {
        return true;
    }
}

} // namespace brenvik
