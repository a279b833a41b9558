#include "app/CrashReporter.h"

#include "common/UnexpectedError.h"
#include "crash/FatalSignals.h"
#include "crash/ThrowTrace.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace brenvik {

CrashReporter::CrashReporter() {
    crash::installFatalSignalHandlers();
    crash::enableThrowTraces(true);
    setUnexpectedErrorHandler([this](std::exception_ptr error) { report(error); });
    reporter_.setUnsentNotice(&CrashReporter::showUnsentReport);
}

void CrashReporter::showUnsentReport(const std::filesystem::path& report) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Brenvik - Error report"),
                    QStringLiteral("No mail program could take the error report. It is kept in "
                                   "the file\n\n%1\n\nso that you can send it by hand to %2.")
                        .arg(QString::fromStdString(report.string()),
                             QString::fromLatin1(crash::ReportAddress)),
                    QMessageBox::Ok);
    box.setObjectName(QStringLiteral("UnsentReportBox"));
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    box.exec();
}

CrashReporter::~CrashReporter() {
    setUnexpectedErrorHandler(nullptr);
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
