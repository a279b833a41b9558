#include "app/CrashReporter.h"
#include "app/ErrorUnit.h"
#include "app/MainUnit.h"
#include "dialogs/DialogAnswer.h"
#include "fakes/FakePlatform.h"
#include "support/TempHome.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <cstdlib>
#include <gtest/gtest.h>
#include <stdexcept>

namespace brenvik {
namespace {

// Test-only: the fault a button handler raises.
[[gnu::noinline]] void throwFromButtonHandler() {
    throw std::runtime_error("Button handler failed");
}

bool onXServer() {
    return QGuiApplication::platformName() == QLatin1String("xcb") &&
           std::system("command -v xdotool >/dev/null 2>&1") == 0;
}

// A click as the user makes it: through the X server when there is one, otherwise as events
// posted to the loop. Either way the event loop delivers it.
void click(QPushButton* button) {
    const QPoint centre = button->mapToGlobal(button->rect().center());
    if (onXServer()) {
        const std::string command = "xdotool mousemove " + std::to_string(centre.x()) + ' ' +
                                    std::to_string(centre.y()) + " click 1";
        ASSERT_EQ(std::system(command.c_str()), 0);
        return;
    }
    const QPointF local = button->rect().center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(
            button,
            new QMouseEvent(type, local, QPointF(centre), Qt::LeftButton,
                            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {}));
}

TEST(FaultInHandler, ShowsTheDialogWritesOneReportAndTheProgramGoesOn) {
    test::TempHome home;
    test::FakePlatformScope fake;
    TMainForm form;
    CrashReporter crash;
    crash.setNotification([&form](crash::ExceptionRecord& record, bool& handled) {
        form.ExceptionNotify(record, handled);
    });

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* faulty = new QPushButton(QStringLiteral("Fault"), &window);
    auto* healthy = new QPushButton(QStringLiteral("Healthy"), &window);
    layout->addWidget(faulty);
    layout->addWidget(healthy);
    int healthyClicks = 0;
    QObject::connect(faulty, &QPushButton::clicked, &window, [] { throwFromButtonHandler(); });
    QObject::connect(healthy, &QPushButton::clicked, &window,
                     [&healthyClicks] { ++healthyClicks; });
    window.move(200, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QString shown;
    test::answerNextDialog<TErrorDialog>([&shown](TErrorDialog* dialog) {
        shown = dialog->LabelError->text();
        dialog->dontSendButton()->click();
    });
    click(faulty);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 20000));
    EXPECT_EQ(shown, QStringLiteral("Button handler failed."));

    // The loop goes on: the next click is handled as usual.
    QTest::qWait(50);
    click(healthy);
    EXPECT_TRUE(QTest::qWaitFor([&] { return healthyClicks == 1; }, 10000));

    std::vector<std::filesystem::path> reports;
    for (const auto& entry :
         std::filesystem::directory_iterator(home.state() / "brenvik" / "reports"))
        reports.push_back(entry.path());
    ASSERT_EQ(reports.size(), 1u);
    const std::string text = test::readFile(reports[0]);
    EXPECT_NE(text.find("Message: Button handler failed\n"), std::string::npos);
    EXPECT_NE(text.find("Stack trace (where it was thrown):"), std::string::npos);
    EXPECT_NE(text.find("throwFromButtonHandler"), std::string::npos) << text;
    EXPECT_TRUE(fake->fakeShell().calls.empty()) << "declined, yet sent";
}

} // namespace
} // namespace brenvik
