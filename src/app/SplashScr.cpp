#include "app/SplashScr.h"

#include "app/SettingsClass.h"
#include "platform/TRegistry.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QWindow>
#include <thread>

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
