#include "crash/ExceptionReporter.h"

#include "crash/FaultReport.h"
#include "crash/StackTrace.h"
#include "crash/ThrowTrace.h"
#include "platform/Platform.h"
#include "platform/Shell.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cxxabi.h>
#include <typeinfo>
#include <unistd.h>

namespace brenvik::crash {

namespace {

FaultDescription describe(std::exception_ptr error) {
    FaultDescription fault;
    const void* object = nullptr;
    const std::type_info* objectType = nullptr;
    if (!error) {
        fault.typeName = "none";
        fault.frames = captureFrames(2);
        return fault;
    }
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        fault.typeName = demangle(typeid(e).name());
        fault.message = e.what();
        object = dynamic_cast<const void*>(&e);
        objectType = &typeid(e);
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        fault.typeName = type != nullptr ? demangle(type->name()) : "unknown";
        fault.message = "Exception of type " + fault.typeName;
    }
    if (object != nullptr)
        fault.frames = throwTraceOf(object, *objectType);
    fault.framesFromThrow = !fault.frames.empty();
    if (!fault.framesFromThrow)
        fault.frames = captureFrames(2);
    return fault;
}

std::filesystem::path findInPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::filesystem::path candidate =
            std::filesystem::path(folders.substr(start, end - start)) / program;
        if (end > start && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return {};
}

std::string percentEncoded(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) != 0 || c == '/' || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace

bool handOffToMail(const std::filesystem::path& report) {
    const std::filesystem::path mailer = findInPath("xdg-email");
    if (mailer.empty())
        return false;
    // The same message "xdg-email --attach FILE ADDRESS" builds, as the one argument the shell
    // passes on.
    const std::string message = std::string("mailto:") + ReportAddress +
                                "?subject=" + percentEncoded("Brenvik error report") +
                                "&attach=" + percentEncoded(report.string());
    return platform::current().shell->execute("Open", mailer.string(), message);
}

std::filesystem::path ExceptionReporter::handle(std::exception_ptr error) noexcept {
    std::filesystem::path report;
    try {
        const auto now = std::chrono::system_clock::now();
        const FaultDescription fault = describe(error);
        report = writeReport(composeReport(fault, now), now);

        SendOptions options = defaults_;
        ExceptionRecord record{error, fault.typeName, fault.message, &options};
        bool handled = false;
        if (notification_) {
            try {
                notification_(record, handled);
            } catch (...) {
                // A notification that fails takes no decision: the fault is still reported.
            }
        }
        if (options.sendingOn() && !report.empty() && !handOffToMail(report) && unsentNotice_)
            unsentNotice_(report);
    } catch (...) {
        // Reporting must not raise a fault of its own; whatever was written stays.
    }
    return report;
}

} // namespace brenvik::crash
