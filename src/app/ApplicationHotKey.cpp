#include "app/ApplicationHotKey.h"

#include "app/X11HotKeyGrabber.h"

#include <QGuiApplication>
#include <QMetaObject>

namespace brenvik {

namespace {

class UnavailableHotKeyGrabber : public HotKeyGrabber {
public:
    bool registerKey(int, const platform::Shortcut&) override { return false; }
    void unregisterKey(int) override {}
};

// In a Wayland session an X connection is XWayland's: a grab there sees only keys typed into other
// X programs, so a key registered through it would mostly never fire.
bool waylandSession() {
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

} // namespace

std::unique_ptr<HotKeyGrabber> makeDesktopHotKeyGrabber() {
    if (!waylandSession())
        if (std::unique_ptr<HotKeyGrabber> x11 = makeX11HotKeyGrabber())
            return x11;
    return std::make_unique<UnavailableHotKeyGrabber>();
}

ApplicationHotKey::ApplicationHotKey(std::unique_ptr<HotKeyGrabber> grabber, QObject* parent)
    : QObject(parent), grabber_(std::move(grabber)) {
    grabber_->pressed = [this](int identifier) {
        if (!active_ || identifier != identifier_)
            return;
        // Handled between other events, never inside the desktop's event dispatch.
        QMetaObject::invokeMethod(this, &ApplicationHotKey::hotKey, Qt::QueuedConnection);
    };
}

ApplicationHotKey::~ApplicationHotKey() {
    if (grabbed_)
        grabber_->unregisterKey(identifier_);
}

void ApplicationHotKey::activate(std::uint16_t code) {
    if (active_) {
        if (grabbed_)
            grabber_->unregisterKey(identifier_);
        active_ = false;
        grabbed_ = false;
    }
    code_ = code;
    const platform::Shortcut key = platform::Shortcut::fromCode(code);
    identifier_ = nextIdentifier_++;
    if (code == 0) {
        active_ = true;
        return;
    }
    // Bits outside the key byte and the three modifiers, or a key the table cannot name, make a
    // code no desktop could grab: refused like a taken key.
    const bool grabbable =
        key.code() == code && platform::keysymForVirtualKey(key.virtualKey).has_value();
    if (grabbable && grabber_->registerKey(identifier_, key)) {
        active_ = true;
        grabbed_ = true;
        return;
    }
    Q_EMIT hotKeyRegisterFailed();
}

} // namespace brenvik
