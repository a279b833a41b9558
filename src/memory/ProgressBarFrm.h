#pragma once

// The wash's progress dialog: one for the whole program, created at start-up and reused by every
// wash; closing it only hides it. A close by the user (Cancel, Esc, the close box) asks the wash
// to stop through OnCancel; a close by the wash itself does not.

#include <QDialog>
#include <functional>

class QPushButton;

namespace brenvik {

class PercentBar;

class TProgressFrm : public QDialog {
    Q_OBJECT
public:
    // `mainWindow` is only where the dialog centres itself: as a parent, disabling the main
    // window during a wash would disable the dialog and its Cancel button too.
    explicit TProgressFrm(QWidget* mainWindow);
    ~TProgressFrm() override;

    // The program's one dialog, or null before it is created.
    static TProgressFrm* instance();

    std::function<void(TProgressFrm* sender)> OnCancel;
    bool FClosingByWorker = false;

    void ShowProgress();
    void CloseProgress();

    PercentBar* RzProgressBar1() const { return bar_; }
    QPushButton* RzButton1() const { return cancel_; }

public Q_SLOTS:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void RzButton1Click();
    void FormCloseQuery();

    QWidget* mainWindow_;
    PercentBar* bar_;
    QPushButton* cancel_;
};

} // namespace brenvik
