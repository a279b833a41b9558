#include "app/HotKeyEdit.h"

#include "platform/VirtualKeys.h"

#include <QKeyEvent>
#include <optional>

namespace brenvik {

namespace {

using namespace platform;

// Qt's key to the X keysym of the same key. Qt's Latin-1 keys are the keysyms themselves; the
// keypad is told apart by its modifier, as X tells it apart by its own keysyms.
std::optional<std::uint32_t> keysymForQtKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return 0xFFB0u + static_cast<std::uint32_t>(key - Qt::Key_0); // XK_KP_0..9
        switch (key) {
        case Qt::Key_Asterisk:
            return 0xFFAA;
        case Qt::Key_Plus:
            return 0xFFAB;
        case Qt::Key_Minus:
            return 0xFFAD;
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return 0xFFAE;
        case Qt::Key_Slash:
            return 0xFFAF;
        default:
            break; // NumLock off: the navigation keys below
        }
    }
    if (key >= 0x20 && key <= 0x7E)
        return static_cast<std::uint32_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 0xFFBEu + static_cast<std::uint32_t>(key - Qt::Key_F1); // XK_F1..F24
    switch (key) {
    case Qt::Key_Home:
        return 0xFF50;
    case Qt::Key_Left:
        return 0xFF51;
    case Qt::Key_Up:
        return 0xFF52;
    case Qt::Key_Right:
        return 0xFF53;
    case Qt::Key_Down:
        return 0xFF54;
    case Qt::Key_PageUp:
        return 0xFF55;
    case Qt::Key_PageDown:
        return 0xFF56;
    case Qt::Key_End:
        return 0xFF57;
    case Qt::Key_Insert:
        return 0xFF63;
    case Qt::Key_Delete:
        return 0xFFFF;
    default:
        return std::nullopt;
    }
}

// Whether a modifier key's press carries its own flag depends on who made the event (Qt toggles
// it against the state given); while the key is down the flag belongs to what is held.
Qt::KeyboardModifiers ownModifier(int key) {
    switch (key) {
    case Qt::Key_Control:
        return Qt::ControlModifier;
    case Qt::Key_Alt:
        return Qt::AltModifier;
    case Qt::Key_Shift:
        return Qt::ShiftModifier;
    default:
        return Qt::NoModifier;
    }
}

QString modifierText(bool ctrl, bool shift, bool alt) {
    QString text;
    if (ctrl)
        text += QStringLiteral("Ctrl + ");
    if (shift)
        text += QStringLiteral("Shift + ");
    if (alt)
        text += QStringLiteral("Alt + ");
    return text;
}

} // namespace

HotKeyEdit::HotKeyEdit(QWidget* parent) : QLineEdit(parent) {
    // The text only ever shows the recorded key: no typing, pasting or dropping into it.
    setReadOnly(true);
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, false);
}

QString HotKeyEdit::textForCode(std::uint16_t code) {
    if (code == 0)
        return {};
    const Shortcut key = Shortcut::fromCode(code);
    const std::string_view name = virtualKeyName(key.virtualKey);
    const QString keyText =
        name.empty() ? QStringLiteral("0x%1").arg(key.virtualKey, 2, 16, QLatin1Char('0'))
                     : QString::fromLatin1(name.data(), qsizetype(name.size()));
    return modifierText(key.ctrl, key.shift, key.alt) + keyText;
}

void HotKeyEdit::setCode(std::uint16_t code) {
    code_ = code;
    previewing_ = false;
    setText(textForCode(code));
}

bool HotKeyEdit::event(QEvent* event) {
    // Every key, shortcuts of the window included, belongs to the box while it has the focus.
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}

void HotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    const int key = event->key();
    event->accept();
    if (key == Qt::Key_Backspace && !ctrl && !alt) {
        setCode(0);
        return;
    }
    const std::optional<std::uint32_t> keysym =
        keysymForQtKey(key, modifiers.testFlag(Qt::KeypadModifier));
    const std::optional<std::uint8_t> virtualKey =
        keysym ? virtualKeyForKeysym(*keysym) : std::nullopt;
    if (!virtualKey) {
        // A modifier on its own, or a key a code cannot name: show what is held, record nothing.
        showModifiersBeingHeld(modifiers | ownModifier(key));
        return;
    }
    Shortcut shortcut;
    shortcut.virtualKey = *virtualKey;
    shortcut.ctrl = ctrl;
    shortcut.alt = alt;
    // Shift alone does not make a combination: Shift plus a key is entered as the key alone.
    shortcut.shift = (ctrl || alt) && modifiers.testFlag(Qt::ShiftModifier);
    setCode(shortcut.code());
}

void HotKeyEdit::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
    if (previewing_)
        showModifiersBeingHeld(event->modifiers());
}

void HotKeyEdit::focusOutEvent(QFocusEvent* event) {
    showModifiersBeingHeld({});
    QLineEdit::focusOutEvent(event);
}

void HotKeyEdit::showModifiersBeingHeld(Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    previewing_ = ctrl || alt;
    if (previewing_)
        setText(modifierText(ctrl, modifiers.testFlag(Qt::ShiftModifier), alt));
    else
        setText(textForCode(code_));
}

} // namespace brenvik
