#include "app/BrenvikApplication.h"

#include "common/UnexpectedError.h"

namespace brenvik {

BrenvikApplication::BrenvikApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool BrenvikApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The handler is abandoned where it threw; the event counts as not handled.
        reportUnexpectedError(std::current_exception());
        return false;
    }
}

} // namespace brenvik
