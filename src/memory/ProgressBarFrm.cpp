#include "memory/ProgressBarFrm.h"

#include "common/Fonts.h"
#include "common/PercentBar.h"

#include <QCloseEvent>
#include <QPushButton>

namespace brenvik {

namespace {

constexpr int ClientWidth = 390;
constexpr int ClientHeight = 69;
constexpr int BarWidth = 379;
constexpr int ButtonWidth = 107;

TProgressFrm* theDialog = nullptr;

} // namespace

TProgressFrm::TProgressFrm(QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("ProgressFrm"));
    setWindowTitle(QStringLiteral("Processing..."));
    setFixedSize(ClientWidth, ClientHeight);
    setFont(uiFont(QStringLiteral("MS Shell Dlg 2"), 8));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::white);
    setPalette(colours);

    bar_ = new PercentBar(this);
    bar_->setObjectName(QStringLiteral("RzProgressBar1"));
    bar_->setBarColor(QColor(153, 204, 103));
    bar_->setPercentColor(QColor(153, 204, 103));
    bar_->setGeometry((ClientWidth - BarWidth) / 2, 8, BarWidth, 20);
    bar_->setPartsComplete(0);

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("RzButton1"));
    cancel_->setGeometry((ClientWidth - ButtonWidth) / 2, 37, ButtonWidth, 25);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &TProgressFrm::RzButton1Click);

    theDialog = this;
}

TProgressFrm::~TProgressFrm() {
    if (theDialog == this)
        theDialog = nullptr;
}

TProgressFrm* TProgressFrm::instance() {
    return theDialog;
}

void TProgressFrm::ShowProgress() {
    FClosingByWorker = false;
    if (mainWindow_ != nullptr)
        move(mainWindow_->frameGeometry().center() - rect().center());
    show();
}

void TProgressFrm::CloseProgress() {
    FClosingByWorker = true;
    close();
}

void TProgressFrm::RzButton1Click() {
    close();
}

// Esc closes the dialog like the Cancel button, so that it asks the wash to stop as well.
void TProgressFrm::reject() {
    close();
}

void TProgressFrm::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    // Never refused: the wash goes on hidden until it next looks at its stop request.
    event->accept();
}

void TProgressFrm::FormCloseQuery() {
    if (!FClosingByWorker && OnCancel)
        OnCancel(this);
}

} // namespace brenvik
