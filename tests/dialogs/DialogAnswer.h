#pragma once

// Answers the next modal dialog of a given type from inside its own event loop, as a user would.

#include <QApplication>
#include <QTimer>
#include <functional>

namespace brenvik::test {

template <typename Dialog>
void answerNextDialog(std::function<void(Dialog*)> answer, int attemptsLeft = 500) {
    QTimer::singleShot(10, qApp, [answer = std::move(answer), attemptsLeft]() mutable {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (dialog != nullptr)
            answer(dialog);
        else if (attemptsLeft > 0)
            answerNextDialog<Dialog>(std::move(answer), attemptsLeft - 1);
    });
}

} // namespace brenvik::test
