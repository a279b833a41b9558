#include "app/X11HotKeyGrabber.h"

#include "app/ApplicationHotKey.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace brenvik {

namespace {

constexpr xcb_keysym_t NumLockKeysym = 0xFF7F; // XK_Num_Lock

// Frees what xcb hands back with malloc.
struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

class X11HotKeyGrabber : public HotKeyGrabber, public QAbstractNativeEventFilter {
public:
    explicit X11HotKeyGrabber(xcb_connection_t* connection)
        : connection_(connection), symbols_(xcb_key_symbols_alloc(connection)),
          root_(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }

    ~X11HotKeyGrabber() override {
        if (QCoreApplication* application = QCoreApplication::instance())
            application->removeNativeEventFilter(this);
        for (const Grab& grab : grabs_)
            ungrab(grab, grab.variants);
        xcb_flush(connection_);
        xcb_key_symbols_free(symbols_);
    }

    Registration registerKey(int identifier, const platform::Shortcut& key) override {
        const std::optional<std::uint32_t> keysym = platform::keysymForVirtualKey(key.virtualKey);
        if (!keysym)
            return Registration::Taken;
        const std::vector<xcb_keycode_t> keycodes = keycodesFor(*keysym);
        if (keycodes.empty())
            return Registration::Taken; // not on this keyboard
        Grab grab{identifier, keycodes.front(), 0, numLockMask(), {}, false, XCB_CURRENT_TIME};
        if (key.shift)
            grab.modifiers |= XCB_MOD_MASK_SHIFT;
        if (key.ctrl)
            grab.modifiers |= XCB_MOD_MASK_CONTROL;
        if (key.alt)
            grab.modifiers |= XCB_MOD_MASK_1;

        // The grab must hold whatever the state of CapsLock and NumLock, so each combination of
        // the two is grabbed; the checks are collected after all requests are sent.
        std::vector<std::uint16_t> variants{0, XCB_MOD_MASK_LOCK};
        if (grab.numLock != 0) {
            variants.push_back(grab.numLock);
            variants.push_back(grab.numLock | XCB_MOD_MASK_LOCK);
        }
        std::vector<xcb_void_cookie_t> cookies;
        for (std::uint16_t variant : variants)
            cookies.push_back(xcb_grab_key_checked(connection_, 1, root_, grab.modifiers | variant,
                                                   grab.keycode, XCB_GRAB_MODE_ASYNC,
                                                   XCB_GRAB_MODE_ASYNC));
        bool refused = false;
        for (std::size_t i = 0; i < cookies.size(); ++i) {
            // Any error, an access error above all (another client holds the key), refuses it.
            if (XcbReply<xcb_generic_error_t> error{xcb_request_check(connection_, cookies[i])})
                refused = true;
            else
                grab.variants.push_back(variants[i]);
        }
        if (refused) {
            ungrab(grab, grab.variants);
            xcb_flush(connection_);
            return Registration::Taken;
        }
        grabs_.push_back(std::move(grab));
        return Registration::Held;
    }

    void unregisterKey(int identifier) override {
        const auto found = std::find_if(grabs_.begin(), grabs_.end(), [identifier](const Grab& g) {
            return g.identifier == identifier;
        });
        if (found == grabs_.end())
            return;
        ungrab(*found, found->variants);
        xcb_flush(connection_);
        grabs_.erase(found);
    }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) override {
        if (eventType != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_MAPPING_NOTIFY) {
            xcb_refresh_keyboard_mapping(symbols_, reinterpret_cast<xcb_mapping_notify_event_t*>(
                                                       const_cast<xcb_generic_event_t*>(event)));
            return false;
        }
        if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
            return false;
        // Press and release events share one layout.
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (key->event != root_)
            return false;
        if (type == XCB_KEY_RELEASE) {
            // The grab holds the keyboard until the key is let go, so its release comes here
            // whatever the modifiers are by then.
            for (Grab& grab : grabs_)
                if (key->detail == grab.keycode && grab.held) {
                    grab.held = false;
                    grab.releasedAt = key->time;
                }
            return false;
        }
        for (Grab& grab : grabs_) {
            const std::uint16_t state = key->state & 0xFF & ~(XCB_MOD_MASK_LOCK | grab.numLock);
            if (key->detail == grab.keycode && state == grab.modifiers) {
                // Auto-repeat of a held key: further presses without a release, or, where the
                // server sends repeat as release and press, a press stamped with the time of the
                // release just before it.
                const bool repeat = grab.held || key->time == grab.releasedAt;
                grab.held = true;
                if (!repeat && pressed)
                    pressed(grab.identifier);
                return true;
            }
        }
        return false;
    }

private:
    struct Grab {
        int identifier;
        xcb_keycode_t keycode;
        std::uint16_t modifiers;
        std::uint16_t numLock;
        std::vector<std::uint16_t> variants; // the lock variants actually grabbed
        bool held = false;
        xcb_timestamp_t releasedAt = XCB_CURRENT_TIME;
    };

    std::vector<xcb_keycode_t> keycodesFor(xcb_keysym_t keysym) {
        std::vector<xcb_keycode_t> keycodes;
        XcbReply<xcb_keycode_t> list{xcb_key_symbols_get_keycode(symbols_, keysym)};
        for (const xcb_keycode_t* code = list.get(); code && *code != XCB_NO_SYMBOL; ++code)
            keycodes.push_back(*code);
        return keycodes;
    }

    // NumLock has no fixed modifier bit: it is whichever modifier the server maps its key to.
    std::uint16_t numLockMask() {
        const std::vector<xcb_keycode_t> numLockKeys = keycodesFor(NumLockKeysym);
        XcbReply<xcb_get_modifier_mapping_reply_t> mapping{xcb_get_modifier_mapping_reply(
            connection_, xcb_get_modifier_mapping(connection_), nullptr)};
        if (!mapping || numLockKeys.empty())
            return 0;
        const xcb_keycode_t* keys = xcb_get_modifier_mapping_keycodes(mapping.get());
        const int perModifier = mapping->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier)
            for (int i = 0; i < perModifier; ++i) {
                const xcb_keycode_t key = keys[modifier * perModifier + i];
                if (key != XCB_NO_SYMBOL &&
                    std::find(numLockKeys.begin(), numLockKeys.end(), key) != numLockKeys.end())
                    return static_cast<std::uint16_t>(1u << modifier);
            }
        return 0;
    }

    void ungrab(const Grab& grab, const std::vector<std::uint16_t>& variants) {
        for (std::uint16_t variant : variants)
            xcb_ungrab_key(connection_, grab.keycode, root_, grab.modifiers | variant);
    }

    xcb_connection_t* connection_;
    xcb_key_symbols_t* symbols_;
    xcb_window_t root_;
    std::vector<Grab> grabs_;
};

} // namespace

std::unique_ptr<HotKeyGrabber> makeX11HotKeyGrabber() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 == nullptr || x11->connection() == nullptr)
        return nullptr;
    return std::make_unique<X11HotKeyGrabber>(x11->connection());
}

} // namespace brenvik
