#pragma once

// The windows of a wash in the program: every request of the worker becomes a call queued to the
// interface thread, in the order the worker makes them; the ones the worker waits for block it
// until the interface thread has run them. Once closed (the program is ending), nothing more
// reaches the windows and no worker waits for the interface thread any longer.

#include "memory/RelThrd.h"

#include <condition_variable>
#include <functional>
#include <mutex>

class QWidget;

namespace brenvik {

class WidgetWashWindows : public WashWindows {
public:
    // `mainWindow` must outlive every call queued to it; close() before destroying it.
    explicit WidgetWashWindows(QWidget* mainWindow);

    // Interface thread only.
    void close();

    bool mainWindowVisible() override;
    void setMainWindowEnabled(bool enabled) override;
    void setCancelTarget(std::function<void()> cancel) override;
    void setBarPartsComplete(int parts) override;
    void setBarTotal(int total) override;
    void advanceBar() override;
    void showProgress() override;
    void repaintProgress() override;
    void closeProgress() override;
    void showError(const std::string& message) override;
    void reportUnexpected(std::exception_ptr error) override;
    void synchronize(const std::function<void()>& call) override;

private:
    // Queues `call` for the interface thread; false when closed.
    bool post(std::function<void()> call);
    // Queues `call` and waits until it has run, or until the windows are closed.
    void callAndWait(std::function<void()> call);

    QWidget* const mainWindow_;
    std::mutex mutex_;
    std::condition_variable ran_;
    bool closed_ = false;
};

} // namespace brenvik
