#pragma once

// The error-report dialog: tells the user about an unexpected fault and asks whether the report
// may be sent. A fresh dialog is made for every fault and destroyed after it.

#include <QDialog>

class QLabel;
class QPushButton;

namespace brenvik {

namespace crash {
struct ExceptionRecord;
}

class TErrorDialog : public QDialog {
    Q_OBJECT
public:
    // The dialog's modal results.
    static constexpr int SendResult = 1;
    static constexpr int DontSendResult = 2;

    explicit TErrorDialog(QWidget* parent = nullptr);

    QLabel* LabelError = nullptr;
    QPushButton* sendButton() const { return send_; }
    QPushButton* dontSendButton() const { return dontSend_; }

    // The close box and Escape decline, as "Don't Send" does.
    void reject() override;

private:
    QPushButton* send_ = nullptr;
    QPushButton* dontSend_ = nullptr;
};

// The error-report dialog on show, while a notification is being handled.
extern TErrorDialog* ErrorDialog;

// The main window's answer to a fault: shows a new dialog with the fault's message, and when the
// user declines, switches the fault's web and e-mail sending off. While a dialog is open, a further
// fault gets none and is not sent.
void ShowErrorNotification(const crash::ExceptionRecord& record);

} // namespace brenvik
