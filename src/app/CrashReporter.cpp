#include "app/CrashReporter.h"

#include "app/MainUnit.h"
#include "crash/FatalSignals.h"
#include "crash/ThrowTrace.h"

#include <QCoreApplication>
#include <QThread>

namespace brenvik {

CrashReporter::CrashReporter() {
    crash::installFatalSignalHandlers();
    crash::enableThrowTraces(true);
    TMainForm::setUnexpectedErrorHandler([this](std::exception_ptr error) { report(error); });
}

CrashReporter::~CrashReporter() {
    TMainForm::setUnexpectedErrorHandler(nullptr);
    crash::enableThrowTraces(false);
}

void CrashReporter::setNotification(crash::ExceptionReporter::Notification notification) {
    reporter_.setNotification(std::move(notification));
}

void CrashReporter::report(std::exception_ptr error) {
    QCoreApplication* application = QCoreApplication::instance();
    // The notification shows a dialog, which only the interface thread may do: a fault handed
    // in from another thread waits for that thread's loop.
    if (application != nullptr && QThread::currentThread() != application->thread()) {
        QMetaObject::invokeMethod(
            application, [this, error] { reporter_.handle(error); }, Qt::QueuedConnection);
        return;
    }
    reporter_.handle(error);
}

} // namespace brenvik
