// Program entry: read the tray preference before any window exists, create the main window and the
// dialogs in order, then run the message loop.

#include "app/MainUnit.h"
#include "app/SettingsClass.h"
#include "app/SignalBridge.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("brenvik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brenvik"));
    QApplication::setApplicationVersion(QStringLiteral(BRENVIK_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    const bool startInTray = brenvik::ReadSettingsFlag("LoadBVSystemTray");

    brenvik::TMainForm mainForm;
    mainForm.FormCreate();

    brenvik::SignalBridge signals;
    QObject::connect(&signals, &brenvik::SignalBridge::terminationRequested, &mainForm,
                     &brenvik::TMainForm::endProgram);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &mainForm,
                     &brenvik::TMainForm::saveForSessionEnd);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &mainForm,
                     &brenvik::TMainForm::FormCloseQuery);

    if (!startInTray) {
        const QRect screen = mainForm.screen()->availableGeometry();
        mainForm.move(screen.center() - mainForm.rect().center());
        mainForm.show();
    }
    return QApplication::exec();
}
