#pragma once

// The program's application object. Every event passes through notify(); an exception that
// escapes an event handler ends there, goes to the unexpected-error handler, and the event loop
// goes on as if the handler had returned.

#include <QApplication>

namespace brenvik {

class BrenvikApplication : public QApplication {
    Q_OBJECT
public:
    BrenvikApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace brenvik
