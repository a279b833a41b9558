#pragma once

// Answers every modal message box that opens while the object lives, with OK, and keeps what
// each one said, so a test can run code that shows one without blocking.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <vector>

namespace brenvik::test {

class MessageBoxCatcher {
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
    };

    MessageBoxCatcher() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            seen.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
            if (QAbstractButton* ok = box->button(QMessageBox::Ok))
                ok->click();
            else
                box->reject();
        });
        timer_.start();
    }

    std::vector<Seen> seen;

private:
    QTimer timer_;
};

} // namespace brenvik::test
