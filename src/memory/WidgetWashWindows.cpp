#include "memory/WidgetWashWindows.h"

#include "common/PercentBar.h"
#include "common/UnexpectedError.h"
#include "memory/ProgressBarFrm.h"

#include <QMessageBox>
#include <QMetaObject>
#include <QWidget>
#include <memory>

namespace brenvik {

WidgetWashWindows::WidgetWashWindows(QWidget* mainWindow) : mainWindow_(mainWindow) {}

void WidgetWashWindows::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    ran_.notify_all();
}

bool WidgetWashWindows::post(std::function<void()> call) {
    // Posting under the lock: once close() has returned, nothing new is queued to the window.
    std::lock_guard lock(mutex_);
    if (closed_)
        return false;
    QMetaObject::invokeMethod(
        mainWindow_,
        [this, call = std::move(call)] {
            // Calls queued before the close are dropped: the windows may be half gone.
            if (closed_)
                return;
            try {
                call();
            } catch (...) {
                reportUnexpectedError(std::current_exception());
            }
        },
        Qt::QueuedConnection);
    return true;
}

void WidgetWashWindows::callAndWait(std::function<void()> call) {
    auto done = std::make_shared<bool>(false);
    const bool queued = post([this, done, call = std::move(call)] {
        call();
        {
            std::lock_guard lock(mutex_);
            *done = true;
        }
        ran_.notify_all();
    });
    if (!queued)
        return;
    std::unique_lock lock(mutex_);
    ran_.wait(lock, [&] { return *done || closed_; });
}

bool WidgetWashWindows::mainWindowVisible() {
    // Hidden unless the interface thread says otherwise (it may be closed meanwhile).
    auto visible = std::make_shared<bool>(false);
    callAndWait([this, visible] { *visible = mainWindow_->isVisible(); });
    std::lock_guard lock(mutex_);
    return *visible;
}

void WidgetWashWindows::setMainWindowEnabled(bool enabled) {
    post([this, enabled] { mainWindow_->setEnabled(enabled); });
}

void WidgetWashWindows::setCancelTarget(std::function<void()> cancel) {
    post([cancel = std::move(cancel)] {
        if (TProgressFrm* dialog = TProgressFrm::instance())
            dialog->OnCancel = [cancel](TProgressFrm*) { cancel(); };
    });
}

void WidgetWashWindows::setBarPartsComplete(int parts) {
    post([parts] {
        if (TProgressFrm* dialog = TProgressFrm::instance())
            dialog->RzProgressBar1()->setPartsComplete(parts);
    });
}

void WidgetWashWindows::setBarTotal(int total) {
    post([total] {
        if (TProgressFrm* dialog = TProgressFrm::instance())
            dialog->RzProgressBar1()->setTotalParts(total);
    });
}

void WidgetWashWindows::advanceBar() {
    post([] {
        if (TProgressFrm* dialog = TProgressFrm::instance())
            dialog->RzProgressBar1()->advance();
    });
}

void WidgetWashWindows::showProgress() {
    callAndWait([] {
        if (TProgressFrm* dialog = TProgressFrm::instance())
            dialog->ShowProgress();
    });
}

void WidgetWashWindows::repaintProgress() {
    callAndWait([] {
        if (TProgressFrm* dialog = TProgressFrm::instance())
            dialog->repaint();
    });
}

void WidgetWashWindows::closeProgress() {
    callAndWait([] {
        if (TProgressFrm* dialog = TProgressFrm::instance())
            dialog->CloseProgress();
    });
}

void WidgetWashWindows::showError(const std::string& message) {
    post([message] {
        // No parent: the main window may be disabled by a wash, and its children with it.
        QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromStdString(message),
                              QMessageBox::Ok);
    });
}

void WidgetWashWindows::reportUnexpected(std::exception_ptr error) {
    post([error] { reportUnexpectedError(error); });
}

void WidgetWashWindows::synchronize(const std::function<void()>& call) {
    callAndWait(call);
}

} // namespace brenvik
