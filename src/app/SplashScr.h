#pragma once

// The splash window shown while the main window is being created: the splash picture in a
// borderless window with rounded corners, centred on the screen.

#include <QPixmap>
#include <QWidget>
#include <chrono>

namespace brenvik {

class TSplashScreen : public QWidget {
    Q_OBJECT
public:
    // How long the finished start-up leaves the splash up before it closes.
    static constexpr std::chrono::milliseconds DefaultHold{2000};

    explicit TSplashScreen(QWidget* parent = nullptr);

    const QPixmap& picture() const { return picture_; }

    // Shows the splash and returns once its picture is on the screen: the window system maps and
    // exposes a window in its own time, and the start-up steps that follow process no messages.
    // Input and termination requests wait meanwhile. Gives up after `limit`. On X11 the server
    // also keeps the picture as the window's background, which it paints by itself.
    void showPainted(std::chrono::milliseconds limit = std::chrono::milliseconds(3000));
    // Paints the picture again at once and hands it to the window system.
    void repaintNow();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
    bool painted_ = false;
};

// Whether the splash is wanted at this start: the stored "ShowSplashOnStartup", read before any
// window exists. Without a readable value the splash shows, as the preference's default says.
bool ShowSplashOnStartup();

} // namespace brenvik
