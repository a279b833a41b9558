#include "app/TrayIcon.h"

#include "app/MainUnit.h"
#include "app/TrayLoadIcon.h"
#include "platform/Platform.h"
#include "sysinfo/Launchers.h"

#include <QAction>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QEvent>
#include <QMenu>
#include <QScreen>
#include <QTimer>
#include <QWindowStateChangeEvent>

namespace brenvik {

namespace {

QString watcherService() {
    return QStringLiteral("org.kde.StatusNotifierWatcher");
}

// Qt's own rule, applied once per run: with a StatusNotifierItem watcher on the session bus the
// icon is an item over D-Bus for the whole run, otherwise an XEmbed window.
bool statusNotifierWatcherRuns() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr)
        return false;
    return bus.interface()->isServiceRegistered(watcherService());
}

} // namespace

TrayIcon::TrayIcon(TMainForm& form)
    : QObject(&form), form_(form), SysTryMenu(new QMenu(&form)),
      CoolTrayIcon1(new QSystemTrayIcon(this)), statusNotifierHost_(statusNotifierWatcherRuns()) {
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

    showProgramIcon();
    CoolTrayIcon1->setContextMenu(SysTryMenu);
    connect(CoolTrayIcon1, &QSystemTrayIcon::activated, this, &TrayIcon::CoolTrayIcon1Activated);
    // Shown for the whole run. Qt puts it back when a tray host starts later or restarts.
    CoolTrayIcon1->show();
    if (statusNotifierHost_) {
        auto* watcher = new QDBusServiceWatcher(watcherService(), QDBusConnection::sessionBus(),
                                                QDBusServiceWatcher::WatchForRegistration, this);
        connect(watcher, &QDBusServiceWatcher::serviceRegistered, this,
                &TrayIcon::registerAgainLater);
    }

    form_.installEventFilter(this);
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::trayAvailable() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayIcon::startsHidden(bool trayPreference) {
    return trayPreference && trayAvailable();
}

void TrayIcon::registerAgainLater() {
    // Qt registers the item with a restarted watcher at once; a watcher that takes its name
    // before it serves its object refuses that, and the icon would stay away. A second
    // registration a moment later brings it back in any case.
    QTimer::singleShot(1000, this, [this] {
        if (!CoolTrayIcon1->isVisible())
            return;
        CoolTrayIcon1->hide();
        CoolTrayIcon1->show();
    });
}

void TrayIcon::setWashCommandsEnabled(bool enabled) {
    WashMemoryNow1->setEnabled(enabled);
}

void TrayIcon::setShowMemoryLoad(bool on) {
    showMemoryLoad_ = on;
    if (on)
        memoryTick(platform::current().system->memoryStatus());
    else
        showProgramIcon();
}

void TrayIcon::showProgramIcon() {
    shownLoad_.reset();
    CoolTrayIcon1->setIcon(QIcon(QStringLiteral(":/images/tray.png")));
    CoolTrayIcon1->setToolTip(QStringLiteral("Brenvik"));
}

void TrayIcon::memoryTick(const platform::MemoryStatus& status) {
    if (!showMemoryLoad_)
        return;
    // Handing a picture to the tray costs a repaint there (and a D-Bus signal on SNI hosts):
    // only a new percentage or level is worth one.
    const MemoryLoad load = memoryLoad(status);
    if (load != shownLoad_) {
        CoolTrayIcon1->setIcon(memoryLoadIcon(load));
        shownLoad_ = load;
    }
    const QString tip = QString::fromStdString(memoryLoadToolTip(status));
    if (tip != CoolTrayIcon1->toolTip())
        CoolTrayIcon1->setToolTip(tip);
}

void TrayIcon::CoolTrayIcon1Activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        Show1Click();
        break;
    case QSystemTrayIcon::Trigger:
        // An XEmbed tray reports a single left click as Trigger, which does nothing here; a
        // StatusNotifierItem host sends Activate (Trigger) for the left click and never a
        // double-click, so there it is the way back to the window.
        if (statusNotifierHost_)
            Show1Click();
        break;
    case QSystemTrayIcon::Context:
        // An XEmbed tray shows the menu itself. A StatusNotifierItem host that calls ContextMenu
        // asks the item to show its own menu, where the pointer is.
        if (statusNotifierHost_ && !SysTryMenu->isVisible())
            SysTryMenu->popup(QCursor::pos());
        break;
    default:
        break;
    }
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
