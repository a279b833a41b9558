#pragma once

// Where every exception that nothing else caught ends: it is written to a report, offered to the
// program's notification (which may switch sending off), and then handed to the user's mail
// program when a send mode is still on. Nothing here goes to the network by itself.

#include <exception>
#include <filesystem>
#include <functional>
#include <string>

namespace brenvik::crash {

// How a report may leave the machine; 0 switches a way off. Both ways end in the user's own mail
// program, which lets the user see and send (or drop) the message.
struct SendOptions {
    int emailSendMode = 1;
    int webSendMode = 1;
    bool sendingOn() const { return emailSendMode != 0 || webSendMode != 0; }
};

// What the notification is told about one fault.
struct ExceptionRecord {
    std::exception_ptr exception;
    std::string typeName;
    std::string message;
    // The options in force for this fault; the notification may change them.
    SendOptions* options = nullptr;
};

class ExceptionReporter {
public:
    using Notification = std::function<void(ExceptionRecord& record, bool& handled)>;
    // Told where a report is when sending was wanted but no mail program took it, so that the
    // user can send it by hand.
    using UnsentNotice = std::function<void(const std::filesystem::path& report)>;

    void setNotification(Notification notification) { notification_ = std::move(notification); }
    void setUnsentNotice(UnsentNotice notice) { unsentNotice_ = std::move(notice); }
    // The options every fault starts with; a notification's changes apply to its own fault only.
    void setSendOptions(SendOptions options) { defaults_ = options; }
    const SendOptions& sendOptions() const { return defaults_; }

    // Reports one fault. Never throws: a failure on the way leaves out what could not be done.
    // Returns the report's path, or empty when none could be written.
    std::filesystem::path handle(std::exception_ptr error) noexcept;

private:
    Notification notification_;
    UnsentNotice unsentNotice_;
    SendOptions defaults_;
};

// Where reports are to be sent.
inline constexpr const char* ReportAddress = "reports@brenvik.example.org";

// Opens a new message in the user's mail program with the report attached, through xdg-email
// when it is installed. True when the mail program was started.
bool handOffToMail(const std::filesystem::path& report);

} // namespace brenvik::crash
