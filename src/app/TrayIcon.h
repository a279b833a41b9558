#pragma once

// The notification-area icon: present for the whole run, whether the main window is shown or not.
// Every minimise hides the main window into it (when a tray host is running), a double-click or
// "Show" brings the window back, and its menu starts a wash, opens the help or ends the program.

#include <QObject>
#include <QSystemTrayIcon>

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

    TMainForm& form_;
    QMenu* SysTryMenu;
    QSystemTrayIcon* CoolTrayIcon1;
    QAction* WashMemoryNow1;
    QAction* Show1;
    QAction* Help1;
    QAction* Exit1;
};

} // namespace brenvik
