// Program entry: read the tray preference before any window exists, create the main window and the
// dialogs in order, then run the message loop.

#include "app/About.h"
#include "app/BrenvikApplication.h"
#include "app/CrashReporter.h"
#include "app/MainUnit.h"
#include "app/SettingsClass.h"
#include "app/SignalBridge.h"
#include "app/SplashScr.h"
#include "memory/ProgressBarFrm.h"

#include <QApplication>

int main(int argc, char** argv) {
    brenvik::BrenvikApplication application(argc, argv);
    brenvik::CrashReporter crashReporter;
    QApplication::setApplicationName(QStringLiteral("brenvik"));
    QApplication::setApplicationDisplayName(QStringLiteral("Brenvik"));
    QApplication::setApplicationVersion(QStringLiteral(BRENVIK_VERSION));
    QApplication::setQuitOnLastWindowClosed(false);

    const bool startInTray = brenvik::ReadSettingsFlag("LoadBVSystemTray");
    const bool showSplash = brenvik::ShowSplashOnStartup();

    brenvik::TMainForm mainForm;
    // Faults of the creation steps already get the error-report dialog.
    crashReporter.setNotification(
        [&mainForm](brenvik::crash::ExceptionRecord& record, bool& handled) {
            mainForm.ExceptionNotify(record, handled);
        });
    // Ready before creation, which holds the splash for seconds: a termination request sent
    // meanwhile waits for the message loop instead of killing the program unsaved.
    brenvik::SignalBridge signals;
    QObject::connect(&signals, &brenvik::SignalBridge::terminationRequested, &mainForm,
                     &brenvik::TMainForm::endProgram);
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &mainForm,
                     &brenvik::TMainForm::saveForSessionEnd);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &mainForm,
                     &brenvik::TMainForm::FormCloseQuery);

    mainForm.setSplashOnCreation(showSplash, brenvik::TSplashScreen::DefaultHold);
    mainForm.FormCreate();
    if (mainForm.endRequested()) {
        mainForm.FormCloseQuery();
        return 0;
    }

    brenvik::TProgressFrm progressFrm(&mainForm);
    new brenvik::TAboutUsFrm(&mainForm); // owned by the main window, shown by its "About" item

    mainForm.showAtStart(startInTray);
    return QApplication::exec();
}
