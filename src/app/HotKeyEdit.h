#pragma once

// The entry box of the wash hot key: the user presses a key combination and the box shows it and
// reports it as a shortcut code. A key alone and Shift plus a key are both taken as the key alone
// (a global hot key without Ctrl or Alt would steal ordinary typing); combinations with Ctrl or
// Alt are taken as typed. The Windows key is never part of a code. Backspace alone empties it.

#include <QLineEdit>
#include <cstdint>

namespace brenvik {

class HotKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit HotKeyEdit(QWidget* parent = nullptr);

    std::uint16_t code() const { return code_; }
    void setCode(std::uint16_t code);

    // The text the box shows for a code: "Ctrl + Alt + W"; empty for code 0.
    static QString textForCode(std::uint16_t code);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Shows the held Ctrl/Alt (with Shift) while a combination is being typed, else the code.
    void showModifiersBeingHeld(Qt::KeyboardModifiers modifiers);

    std::uint16_t code_ = 0;
    // Ctrl or Alt is held with no key yet: the box shows the held modifiers, not the code.
    bool previewing_ = false;
};

} // namespace brenvik
