#pragma once

// The "Options" page: every control writes its preference through at once in its own handler, and
// start-up restores each preference through the same handler, so both take one path.

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTimer;

namespace brenvik {

class TSettings;
class AutoWashBox;
class HotKeyEdit;
class ApplicationHotKey;
class TrayIcon;

class OptionsPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int RefreshRateCount = 10;

    explicit OptionsPage(QWidget* parent = nullptr);

    // The preferences the controls write to and the monitor timer the refresh rate drives; bound
    // once the settings object exists.
    void bind(TSettings& settings, QTimer& memoryTimer);
    // The hot key "Register Shortcut" activates.
    void bindHotKey(ApplicationHotKey& hotKey);
    // The tray icon the memory-load box switches.
    void bindTrayIcon(TrayIcon& trayIcon);

    // Puts the stored preferences into the controls, in the order start-up fixes: the four
    // program options and the memory-load box, the automatic washing group, then the refresh
    // rate. A true preference
    // ticks its box, which runs the box's handler as a user's click would.
    void restorePreferences();

    // The monitor interval of a refresh-rate entry: (index + 1) half seconds.
    static int refreshInterval(int index) { return (index + 1) * 500; }

    QCheckBox* runAtStartupBox() const { return RzCheckBox1; }
    QCheckBox* startInTrayBox() const { return RzCheckBox2; }
    QCheckBox* splashBox() const { return RzCheckBox3; }
    QCheckBox* closeAfterWashBox() const { return RzCheckBox4; }
    QCheckBox* memoryLoadInTrayBox() const { return MemoryLoadInTrayBox; }
    AutoWashBox* autoWashBox() const { return autoWashBox_; }
    QComboBox* refreshRateList() const { return RzComboBox1; }
    HotKeyEdit* hotKeyEdit() const { return RzHotKeyEdit1; }
    QPushButton* registerShortcutButton() const { return RzBitBtn1; }

    void RzCheckBox1Click();
    void RzCheckBox2Click();
    void RzCheckBox3Click();
    void RzCheckBox4Click();
    void MemoryLoadInTrayBoxClick();
    void RzComboBox1Change(int index);
    void RzBitBtn1Click();

private:
    void buildProgramOptions();
    void buildRefreshRate();
    void buildShortcut();

    TSettings* settings_ = nullptr;
    QTimer* memoryTimer_ = nullptr;
    ApplicationHotKey* hotKey_ = nullptr;
    TrayIcon* trayIcon_ = nullptr;

    QCheckBox* RzCheckBox1 = nullptr;
    QCheckBox* RzCheckBox2 = nullptr;
    QCheckBox* RzCheckBox3 = nullptr;
    QCheckBox* RzCheckBox4 = nullptr;
    QCheckBox* MemoryLoadInTrayBox = nullptr;
    AutoWashBox* autoWashBox_ = nullptr;
    QComboBox* RzComboBox1 = nullptr;
    HotKeyEdit* RzHotKeyEdit1 = nullptr;
    QPushButton* RzBitBtn1 = nullptr;
};

} // namespace brenvik
