#pragma once

// The crash-reporting layer of the program: installed first thing at start-up, it takes every
// exception that nothing else caught (from event handlers, through the application's notify(),
// and from the creation steps and the wash, through reportUnexpectedError) and every fatal
// signal, and reports them.

#include "crash/ExceptionReporter.h"

namespace brenvik {

class CrashReporter {
public:
    CrashReporter();
    ~CrashReporter();
    CrashReporter(const CrashReporter&) = delete;
    CrashReporter& operator=(const CrashReporter&) = delete;

    // The main window's exception notification, offered every fault before it is sent.
    void setNotification(crash::ExceptionReporter::Notification notification);
    crash::ExceptionReporter& reporter() { return reporter_; }

    // Tells the user where a report is that no mail program took.
    static void showUnsentReport(const std::filesystem::path& report);

private:
    void report(std::exception_ptr error);

    crash::ExceptionReporter reporter_;
};

} // namespace brenvik
