#pragma once

// The notification-area icon: present for the whole run, whether the main window is shown or not.
// Every minimise hides the main window into it (when a tray host is running), a double-click or
// "Show" brings the window back, and its menu starts a wash, opens the help or ends the program.
// It can show the memory load instead of the program's picture.

#include "memory/MemoryLoad.h"
#include "platform/SystemStatus.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <optional>

class QAction;
class QMenu;

namespace brenvik {

class TMainForm;

class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(TMainForm& form);
    ~TrayIcon() override;

    // Whether a tray host runs now. Without one, hiding the window would leave no way back to it.
    static bool trayAvailable();
    // Whether the program starts as its icon alone: asked for, and a tray host to hold the icon.
    static bool startsHidden(bool trayPreference);

    // Centres the main window on its screen and shows it with its taskbar entry, in front.
    void Show1Click();
    // Hides the main window into the icon, as a minimise does when a tray host runs.
    void minimiseToTray();
    // "Wash Now!" follows the wash: off while one runs.
    void setWashCommandsEnabled(bool enabled);

    // Whether the icon shows the memory load or the program's picture.
    void setShowMemoryLoad(bool on);
    bool showsMemoryLoad() const { return showMemoryLoad_; }
    // The memory monitor's tick: the picture changes only with the percentage or the level.
    void memoryTick(const platform::MemoryStatus& status);
    // Whether the tray host speaks StatusNotifierItem over D-Bus (it activates with one click)
    // rather than docking an XEmbed window (double-click).
    bool onStatusNotifierHost() const { return statusNotifierHost_; }

    QSystemTrayIcon* icon() const { return CoolTrayIcon1; }
    QMenu* menu() const { return SysTryMenu; }
    QAction* washNowItem() const { return WashMemoryNow1; }
    QAction* showItem() const { return Show1; }
    QAction* helpItem() const { return Help1; }
    QAction* exitItem() const { return Exit1; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CoolTrayIcon1Activated(QSystemTrayIcon::ActivationReason reason);
    void showProgramIcon();
    void registerAgainLater();

    TMainForm& form_;
    QMenu* SysTryMenu;
    QSystemTrayIcon* CoolTrayIcon1;
    QAction* WashMemoryNow1;
    QAction* Show1;
    QAction* Help1;
    QAction* Exit1;
    bool statusNotifierHost_ = false;
    bool showMemoryLoad_ = false;
    std::optional<MemoryLoad> shownLoad_;
};

} // namespace brenvik
