#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the interface thread. The handler only
// writes one byte to a pipe; everything else runs from the event loop.

#include <QObject>

class QSocketNotifier;

namespace brenvik {

class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

Q_SIGNALS:
    void terminationRequested(int signal);

private:
    void readSignal();
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace brenvik
