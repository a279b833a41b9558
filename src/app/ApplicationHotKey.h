#pragma once

// The wash hot key: one key combination registered with the desktop for the whole program, so
// that pressing it anywhere starts a wash, also while the program lives only in the tray.

#include "platform/VirtualKeys.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

namespace brenvik {

// The desktop's registration of global keys. Keys are told apart by the identifier their
// registration was given.
class HotKeyGrabber {
public:
    virtual ~HotKeyGrabber() = default;
    // False when the desktop refuses the key: taken by another program, not on this keyboard, or
    // no way to register global keys at all.
    virtual bool registerKey(int identifier, const platform::Shortcut& key) = 0;
    virtual void unregisterKey(int identifier) = 0;

    // Called with the identifier of a registered key when it is pressed.
    std::function<void(int identifier)> pressed;
};

// The X11 grabber when the program runs on an X display; otherwise (Wayland, no display) one that
// refuses every key, as no global key can be had there.
std::unique_ptr<HotKeyGrabber> makeDesktopHotKeyGrabber();

class ApplicationHotKey : public QObject {
    Q_OBJECT
public:
    explicit ApplicationHotKey(std::unique_ptr<HotKeyGrabber> grabber, QObject* parent = nullptr);
    ~ApplicationHotKey() override;

    // Releases the current registration and registers the code under a fresh identifier. Code 0 is
    // "no key": nothing is grabbed and nothing refused.
    void activate(std::uint16_t code);

    std::uint16_t code() const { return code_; }
    bool active() const { return active_; }
    // The identifier of the current or latest registration; -1 before the first.
    int identifier() const { return identifier_; }

Q_SIGNALS:
    // The registered key was pressed; delivered from the event loop, between other events.
    void hotKey();
    // The desktop refused the code given to activate().
    void hotKeyRegisterFailed();

private:
    std::unique_ptr<HotKeyGrabber> grabber_;
    std::uint16_t code_ = 0;
    bool active_ = false;
    bool grabbed_ = false;
    int identifier_ = -1;
    int nextIdentifier_ = 0;
};

} // namespace brenvik
