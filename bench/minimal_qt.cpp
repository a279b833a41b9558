// The reference of the footprint check: the least a Qt Widgets program does that shows one
// window and wakes up twice a second, as the program's memory monitor does.

#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QLabel label(QStringLiteral("0"));
    label.setWindowTitle(QStringLiteral("Minimal Qt"));
    label.resize(320, 120);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &label,
                     [&label, &ticks] { label.setText(QString::number(++ticks)); });
    timer.start(500);
    label.show();
    return QApplication::exec();
}
