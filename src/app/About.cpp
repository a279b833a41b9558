#include "app/About.h"

#include "common/Fonts.h"
#include "platform/Platform.h"
#include "platform/Shell.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>

namespace brenvik {

TAboutUsFrm* AboutUsFrm = nullptr;

const QString TAboutUsFrm::SupportAddress = QStringLiteral("https://brenvik.example.org/support/");
const QString TAboutUsFrm::WebAddress = QStringLiteral("https://brenvik.example.org/");

namespace {

const QColor Background(253, 250, 241);
const QColor LinkColour(0, 0, 255);
const QColor VisitedColour(128, 0, 128);

QLabel* text(QWidget* parent, const QString& words, const QRect& place, bool bold = false) {
    auto* label = new QLabel(words, parent);
    label->setGeometry(place);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

void rule(QWidget* parent, int y) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(12, y, 320, 2);
}

} // namespace

TUrlLabel::TUrlLabel(const QString& text, const QString& url, QWidget* parent)
    : QLabel(text, parent), url_(url) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setToolTip(url);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    paintVisited(false);
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        open();
    QLabel::mouseReleaseEvent(event);
}

void TUrlLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        open();
        return;
    }
    QLabel::keyPressEvent(event);
}

void TUrlLabel::open() {
    // An address that cannot be opened leaves the link as it was.
    if (platform::current().shell->execute("Open", url_.toStdString()))
        paintVisited(true);
}

void TUrlLabel::paintVisited(bool visited) {
    visited_ = visited;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, visited ? VisitedColour : LinkColour);
    setPalette(colours);
}

TAboutUsFrm::TAboutUsFrm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("AboutUsFrm"));
    setWindowTitle(QStringLiteral("About Us"));
    setFixedSize(344, 375);
    setFont(uiFont(QStringLiteral("MS Shell Dlg 2"), 8));
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Background);
    setPalette(colours);

    QLabel* title = text(this, QStringLiteral("Brenvik"), {16, 10, 312, 44});
    title->setFont(uiPixelFont(QStringLiteral("Verdana"), 29, true));
    auto* shadow = new QGraphicsDropShadowEffect(title);
    shadow->setOffset(1, 1);
    shadow->setBlurRadius(0);
    shadow->setColor(QColor(160, 160, 160));
    title->setGraphicsEffect(shadow);
    text(this, QStringLiteral("Version 7.1.0"), {188, 56, 140, 16}, true)
        ->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    text(this, QStringLiteral("\u00A9 2026 The Brenvik authors. All rights reserved."),
         {16, 80, 312, 16});
    rule(this, 104);

    text(this, QStringLiteral("Support Home"), {16, 116, 96, 16}, true);
    supportLink_ = new TUrlLabel(QStringLiteral("Click Here"), SupportAddress, this);
    supportLink_->setGeometry(116, 116, 80, 16);
    rule(this, 142);

    QLabel* warning = text(
        this,
        QStringLiteral("Brenvik is protected by copyright. You may not copy, sell or hand on this "
                       "program or any part of it, changed or unchanged, without the written "
                       "permission of its authors. Doing so may be pursued in the civil and "
                       "criminal courts."),
        {16, 154, 312, 140});
    warning->setWordWrap(true);
    warning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    rule(this, 306);

    webLink_ = new TUrlLabel(WebAddress, WebAddress, this);
    webLink_->setGeometry(16, 336, 190, 16);
    closeButton_ = new QPushButton(QStringLiteral("Close"), this);
    closeButton_->setGeometry(253, 332, 75, 25);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);

    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    AboutUsFrm = this;
}

TAboutUsFrm::~TAboutUsFrm() {
    if (AboutUsFrm == this)
        AboutUsFrm = nullptr;
}

bool TAboutUsFrm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace brenvik
