#include "app/ApplicationHotKey.h"

#include "app/PortalHotKeyGrabber.h"
#include "app/X11HotKeyGrabber.h"

#include <QGuiApplication>
#include <QMetaObject>

namespace brenvik {

namespace {

class UnavailableHotKeyGrabber : public HotKeyGrabber {
public:
    Registration registerKey(int, const platform::Shortcut&) override {
        return Registration::Unavailable;
    }
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
    if (waylandSession()) {
        if (std::unique_ptr<HotKeyGrabber> portal = makePortalHotKeyGrabber())
            return portal;
    } else if (std::unique_ptr<HotKeyGrabber> x11 = makeX11HotKeyGrabber()) {
        return x11;
    }
    return std::make_unique<UnavailableHotKeyGrabber>();
}

ApplicationHotKey::ApplicationHotKey(std::unique_ptr<HotKeyGrabber> grabber, QObject* parent)
    : QObject(parent), grabber_(std::move(grabber)) {
    attach();
}

ApplicationHotKey::~ApplicationHotKey() {
    release();
}

void ApplicationHotKey::useGrabber(std::unique_ptr<HotKeyGrabber> grabber) {
    release();
    active_ = false;
    grabber_ = std::move(grabber);
    attach();
}

void ApplicationHotKey::attach() {
    grabber_->pressed = [this](int identifier) {
        if (!active_ || identifier != identifier_)
            return;
        // Handled between other events, never inside the desktop's event dispatch.
        QMetaObject::invokeMethod(this, &ApplicationHotKey::hotKey, Qt::QueuedConnection);
    };
    grabber_->settled = [this](int identifier, Registration result, const QString& boundTo) {
        // An answer about a key given up since is of no interest.
        if (grabbed_ && identifier == identifier_)
            answer(result, boundTo);
    };
}

void ApplicationHotKey::release() {
    if (grabbed_)
        grabber_->unregisterKey(identifier_);
    grabbed_ = false;
}

void ApplicationHotKey::activate(std::uint16_t code, Origin origin) {
    if (active_ || grabbed_) {
        release();
        active_ = false;
    }
    code_ = code;
    origin_ = origin;
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
    const Registration result =
        grabbable ? grabber_->registerKey(identifier_, key) : Registration::Taken;
    // A pending key is held by the desktop until released, whatever it answers.
    grabbed_ = result == Registration::Held || result == Registration::Pending;
    if (result != Registration::Pending)
        answer(result, {});
}

void ApplicationHotKey::answer(Registration result, const QString& boundTo) {
    active_ = result == Registration::Held;
    const bool userAsked = origin_ == Origin::User;
    switch (result) {
    case Registration::Held:
        if (userAsked && !boundTo.isEmpty())
            Q_EMIT hotKeyBoundElsewhere(boundTo);
        break;
    case Registration::Taken:
        Q_EMIT hotKeyRegisterFailed();
        break;
    case Registration::Unavailable:
        if (userAsked)
            Q_EMIT hotKeyUnavailable();
        break;
    case Registration::Declined:
        if (userAsked)
            Q_EMIT hotKeyDeclined();
        break;
    case Registration::Pending:
        break;
    }
}

} // namespace brenvik
