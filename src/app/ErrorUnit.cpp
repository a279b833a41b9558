#include "app/ErrorUnit.h"

#include "common/Fonts.h"
#include "crash/ExceptionReporter.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <memory>

namespace brenvik {

TErrorDialog* ErrorDialog = nullptr;

namespace {

QLabel* text(QWidget* parent, const QString& words, const QRect& place, bool bold = false) {
    auto* label = new QLabel(words, parent);
    label->setGeometry(place);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

// Names the dialog as the one on show for as long as it lives, whatever ends the handling.
class ShownDialog {
public:
    explicit ShownDialog(TErrorDialog* dialog) { ErrorDialog = dialog; }
    ~ShownDialog() { ErrorDialog = nullptr; }
    ShownDialog(const ShownDialog&) = delete;
    ShownDialog& operator=(const ShownDialog&) = delete;
};

} // namespace

TErrorDialog::TErrorDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("ErrorDialog"));
    setWindowTitle(QStringLiteral("Brenvik - Error occurred"));
    setFixedSize(433, 258);
    setFont(uiPixelFont(QStringLiteral("Tahoma"), 13));

    auto* band = new QFrame(this);
    band->setObjectName(QStringLiteral("Band"));
    band->setGeometry(0, 0, 433, 57);
    band->setFrameShape(QFrame::Box);
    band->setLineWidth(1);
    band->setAutoFillBackground(true);
    QPalette white = band->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    band->setPalette(white);
    text(band,
         QStringLiteral("Brenvik has encountered a problem. We are sorry for the inconvenience."),
         {8, 8, 369, 41}, true);
    auto* symbol = new QLabel(band);
    symbol->setObjectName(QStringLiteral("ErrorSymbol"));
    symbol->setPixmap(QPixmap(QStringLiteral(":/images/error.png")));
    symbol->setGeometry(389, 12, 32, 32);

    LabelError = text(this, QStringLiteral("Error"), {8, 65, 417, 49});
    LabelError->setObjectName(QStringLiteral("LabelError"));
    // A message is text, whatever markup it happens to hold.
    LabelError->setTextFormat(Qt::PlainText);
    text(this, QStringLiteral("Please tell us about this problem."), {8, 120, 417, 16}, true);
    text(this,
         QStringLiteral("We have created an error report that you can send to us. We will treat "
                        "this report as confidential and anonymous. "),
         {8, 140, 417, 40});
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(8, 210, 417, 2);

    send_ = new QPushButton(QStringLiteral("Send Error Report"), this);
    send_->setGeometry(196, 222, 128, 25);
    send_->setDefault(true);
    dontSend_ = new QPushButton(QStringLiteral("Don't Send"), this);
    dontSend_->setGeometry(330, 222, 95, 25);
    connect(send_, &QPushButton::clicked, this, [this] { done(SendResult); });
    connect(dontSend_, &QPushButton::clicked, this, [this] { done(DontSendResult); });
    send_->setFocus();

    if (const QScreen* display = screen())
        move(display->availableGeometry().center() - rect().center());
}

void TErrorDialog::reject() {
    done(DontSendResult);
}

void ShowErrorNotification(const crash::ExceptionRecord& original) {
    // One dialog at a time: a fault that repeats while it is open (a timer handler that throws
    // every tick) would stack dialogs without end. Such a fault is kept in its report only.
    if (ErrorDialog != nullptr) {
        if (original.options != nullptr) {
            original.options->webSendMode = 0;
            original.options->emailSendMode = 0;
        }
        return;
    }
    const crash::ExceptionRecord record = original;
    // Owned here, so that it goes whatever happens below.
    const auto dialog = std::make_unique<TErrorDialog>();
    const ShownDialog shown(dialog.get());
    dialog->LabelError->setText(QString::fromStdString(record.message) + QLatin1Char('.'));
    QApplication::beep();
    if (dialog->exec() == TErrorDialog::DontSendResult && record.options != nullptr) {
        record.options->webSendMode = 0;
        record.options->emailSendMode = 0;
    }
}

} // namespace brenvik
