#include "app/TrayIcon.h"

#include "app/MainUnit.h"
#include "sysinfo/Launchers.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWindowStateChangeEvent>

namespace brenvik {

TrayIcon::TrayIcon(TMainForm& form)
    : QObject(&form), form_(form), SysTryMenu(new QMenu(&form)),
      CoolTrayIcon1(new QSystemTrayIcon(this)) {
    SysTryMenu->setObjectName(QStringLiteral("SysTryMenu"));
    WashMemoryNow1 = SysTryMenu->addAction(QStringLiteral("Wash Now!"));
    SysTryMenu->addSeparator();
    Show1 = SysTryMenu->addAction(QStringLiteral("Show"));
    SysTryMenu->addSeparator();
    Help1 = SysTryMenu->addAction(QStringLiteral("Help"));
    SysTryMenu->addSeparator();
    Exit1 = SysTryMenu->addAction(QStringLiteral("Exit"));
    connect(WashMemoryNow1, &QAction::triggered, &form_, &TMainForm::StartWash);
    connect(Show1, &QAction::triggered, this, &TrayIcon::Show1Click);
    connect(Help1, &QAction::triggered, this, [] { OpenHelp("Brenvik.chm"); });
    connect(Exit1, &QAction::triggered, &form_, &TMainForm::endProgram);

    CoolTrayIcon1->setIcon(QIcon(QStringLiteral(":/images/tray.png")));
    CoolTrayIcon1->setToolTip(QStringLiteral("Brenvik"));
    CoolTrayIcon1->setContextMenu(SysTryMenu);
    connect(CoolTrayIcon1, &QSystemTrayIcon::activated, this, &TrayIcon::CoolTrayIcon1Activated);
    // Shown for the whole run. Qt puts it back when a tray host starts later or restarts.
    CoolTrayIcon1->show();

    form_.installEventFilter(this);
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::trayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::startsHidden(bool trayPreference) {
    return trayPreference && trayAvailable();
}

void TrayIcon::setWashCommandsEnabled(bool enabled) {
    WashMemoryNow1->setEnabled(enabled);
}

void TrayIcon::CoolTrayIcon1Activated(QSystemTrayIcon::ActivationReason reason) {
    // The menu comes up by itself on the right button; a single left click does nothing.
    if (reason == QSystemTrayIcon::DoubleClick)
        Show1Click();
}

void TrayIcon::Show1Click() {
    form_.setWindowState(form_.windowState() & ~Qt::WindowMinimized);
    if (QScreen* screen = form_.screen()) {
        const QRect area = screen->availableGeometry();
        form_.move(area.center() - form_.rect().center());
    }
    form_.show();
    form_.raise();
    form_.activateWindow();
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &form_ && event->type() == QEvent::WindowStateChange &&
        form_.windowState().testFlag(Qt::WindowMinimized) && trayAvailable()) {
        // Hidden after the state change has been handled: hiding inside it confuses some window
        // managers about the window's state.
        QTimer::singleShot(0, this, [this] {
            if (form_.windowState().testFlag(Qt::WindowMinimized))
                minimiseToTray();
        });
    }
    return QObject::eventFilter(watched, event);
}

void TrayIcon::minimiseToTray() {
    form_.hide();
    CoolTrayIcon1->show();
}

} // namespace brenvik
