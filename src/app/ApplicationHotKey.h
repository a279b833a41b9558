#pragma once

// The wash hot key: one key combination registered with the desktop for the whole program, so
// that pressing it anywhere starts a wash, also while the program lives only in the tray.

#include "platform/VirtualKeys.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace brenvik {

// What the desktop made of a key it was asked to register.
enum class Registration {
    Held,        // the key is registered
    Taken,       // another program holds it, or this keyboard has no such key
    Unavailable, // this session offers no way to register global keys
    Declined,    // the desktop, or the user through it, would not bind the key
    Pending,     // the desktop answers later, through HotKeyGrabber::settled
};

// The desktop's registration of global keys. Keys are told apart by the identifier their
// registration was given.
class HotKeyGrabber {
public:
    virtual ~HotKeyGrabber() = default;
    virtual Registration registerKey(int identifier, const platform::Shortcut& key) = 0;
    virtual void unregisterKey(int identifier) = 0;

    // Called with the identifier of a registered key once per press; a held key's auto-repeat is
    // not a press.
    std::function<void(int identifier)> pressed;
    // The answer to a Pending registration (never Pending). boundTo is the desktop's description
    // of the key it bound when that is not the key asked for; empty otherwise.
    std::function<void(int identifier, Registration answer, const QString& boundTo)> settled;
};

// The X11 grabber when the program runs on an X display; in a Wayland session the desktop's
// global-shortcuts portal; otherwise one that answers that no global key can be had here.
std::unique_ptr<HotKeyGrabber> makeDesktopHotKeyGrabber();

class ApplicationHotKey : public QObject {
    Q_OBJECT
public:
    // Who asked for a registration: answers that only the asker can act on are kept from a start.
    enum class Origin { StartUp, User };

    explicit ApplicationHotKey(std::unique_ptr<HotKeyGrabber> grabber, QObject* parent = nullptr);
    ~ApplicationHotKey() override;

    // Releases the current registration and registers the code under a fresh identifier. Code 0 is
    // "no key": nothing is grabbed and nothing refused.
    void activate(std::uint16_t code, Origin origin = Origin::User);
    // Hands registration to another desktop service; the current key is released first.
    void useGrabber(std::unique_ptr<HotKeyGrabber> grabber);

    std::uint16_t code() const { return code_; }
    bool active() const { return active_; }
    // The identifier of the current or latest registration; -1 before the first.
    int identifier() const { return identifier_; }

Q_SIGNALS:
    // The registered key was pressed; delivered from the event loop, between other events.
    void hotKey();
    // The desktop refused the code given to activate(): the key is taken.
    void hotKeyRegisterFailed();
    // The three below follow a user's registration only; at start-up they would repeat at every
    // start what the user can do nothing about there.
    // No way to register global keys in this session.
    void hotKeyUnavailable();
    // The desktop, or the user in its dialog, would not bind the key.
    void hotKeyDeclined();
    // The desktop bound another key than the one asked for; description is the desktop's.
    void hotKeyBoundElsewhere(const QString& description);

private:
    void attach();
    void release();
    void answer(Registration result, const QString& boundTo);

    std::unique_ptr<HotKeyGrabber> grabber_;
    std::uint16_t code_ = 0;
    Origin origin_ = Origin::User;
    bool active_ = false;
    bool grabbed_ = false;
    int identifier_ = -1;
    int nextIdentifier_ = 0;
};

} // namespace brenvik
