#include "app/CrashReporter.h"
#include "app/ErrorUnit.h"
#include "app/MainUnit.h"
#include "common/UnexpectedError.h"
#include "crash/FaultReport.h"
#include "dialogs/DialogAnswer.h"
#include "fakes/FakePlatform.h"
#include "support/TempHome.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

namespace brenvik {
namespace {

class ErrorDialogTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    TMainForm form;
    CrashReporter crash;
    // What the last fault's notification left in its options.
    crash::SendOptions lastOptions;

    ErrorDialogTest() {
        crash.setNotification([this](crash::ExceptionRecord& record, bool& handled) {
            form.ExceptionNotify(record, handled);
            lastOptions = *record.options;
        });
        // A stand-in mail program, so that sending reaches the (fake) shell.
        const auto bin = home.root() / "bin";
        test::writeFile(bin / "xdg-email", "#!/bin/sh\n");
        chmod((bin / "xdg-email").c_str(), 0755);
        home.setEnv("PATH", bin.string());
    }

    // Raises a fault with `message`, answers its dialog with `answer` and returns the text the
    // dialog showed.
    QString fault(const std::string& message, std::function<void(TErrorDialog*)> answer) {
        QString shown;
        test::answerNextDialog<TErrorDialog>([&shown, answer](TErrorDialog* dialog) {
            shown = dialog->LabelError->text();
            answer(dialog);
        });
        reportUnexpectedError(std::make_exception_ptr(std::runtime_error(message)));
        return shown;
    }
    static void dontSend(TErrorDialog* dialog) { dialog->dontSendButton()->click(); }
};

TEST_F(ErrorDialogTest, ShowsTheMessageFollowedByAFullStop) {
    struct Case {
        std::string message;
        QString shown;
    };
    for (const Case& c : {Case{"Disk is full", QStringLiteral("Disk is full.")},
                          Case{"Already ends with one.", QStringLiteral("Already ends with one..")},
                          Case{"", QStringLiteral(".")},
                          Case{"Gr\u00f6\u00dfe", QStringLiteral("Gr\u00f6\u00dfe.")}}) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(fault(c.message, dontSend), c.shown);
    }
}

TEST_F(ErrorDialogTest, TheWayTheDialogClosesDecidesTheSending) {
    struct Case {
        const char* name;
        std::function<void(TErrorDialog*)> answer;
        int modes;
    };
    const Case cases[] = {
        {"Don't Send", dontSend, 0},
        {"title-bar close", [](TErrorDialog* dialog) { dialog->close(); }, 0},
        {"Escape", [](TErrorDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }, 0},
        {"Send Error Report", [](TErrorDialog* dialog) { dialog->sendButton()->click(); }, 1},
        {"Enter", [](TErrorDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Return); }, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake->fakeShell().calls.clear();
        lastOptions = {-1, -1};
        fault("Fault", c.answer);
        EXPECT_EQ(lastOptions.emailSendMode, c.modes);
        EXPECT_EQ(lastOptions.webSendMode, c.modes);
        ASSERT_EQ(fake->fakeShell().calls.size(), c.modes != 0 ? 1u : 0u);
        if (c.modes != 0) {
            EXPECT_NE(fake->fakeShell().calls[0].parameters.find("&attach="), std::string::npos);
        }
    }
}

TEST_F(ErrorDialogTest, EveryFaultGetsItsOwnDialogWhichIsGoneAfterwards) {
    std::vector<TErrorDialog*> dialogs;
    const auto remember = [&dialogs](TErrorDialog* dialog) {
        EXPECT_EQ(ErrorDialog, dialog);
        dialogs.push_back(dialog);
        dialog->dontSendButton()->click();
    };
    EXPECT_EQ(fault("First fault", remember), QStringLiteral("First fault."));
    EXPECT_EQ(ErrorDialog, nullptr);
    EXPECT_EQ(fault("Second fault", remember), QStringLiteral("Second fault."));
    EXPECT_EQ(ErrorDialog, nullptr);
    ASSERT_EQ(dialogs.size(), 2u);
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<TErrorDialog*>(window), nullptr) << "a dialog was left behind";

    // Each fault also left its own report.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.state() / "brenvik/reports"),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(ErrorDialogTest, FaultHandedInFromAnotherThreadIsShownOnTheInterfaceThread) {
    bool onInterfaceThread = false;
    QString shown;
    test::answerNextDialog<TErrorDialog>([&](TErrorDialog* dialog) {
        onInterfaceThread = QThread::currentThread() == qApp->thread();
        shown = dialog->LabelError->text();
        dontSend(dialog);
    });
    std::thread worker(
        [] { reportUnexpectedError(std::make_exception_ptr(std::runtime_error("Worker fault"))); });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 10000));
    EXPECT_TRUE(onInterfaceThread);
    EXPECT_EQ(shown, QStringLiteral("Worker fault."));
}

TEST_F(ErrorDialogTest, MessageShowsAsPlainText) {
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    test::answerNextDialog<TErrorDialog>([&](TErrorDialog* dialog) {
        shown = dialog->LabelError->text();
        format = dialog->LabelError->textFormat();
        dontSend(dialog);
    });
    reportUnexpectedError(
        std::make_exception_ptr(std::runtime_error("<b>Bad</b> value <i>x</i> & y")));
    EXPECT_EQ(shown, QStringLiteral("<b>Bad</b> value <i>x</i> & y."));
    EXPECT_EQ(format, Qt::PlainText);
}

TEST_F(ErrorDialogTest, SendingWithoutAWorkingMailProgramSaysWhereTheReportIs) {
    struct Case {
        const char* name;
        bool mailer;
    };
    for (const Case& c : {Case{"no mail program", false}, Case{"mail program fails", true}}) {
        SCOPED_TRACE(c.name);
        home.setEnv("PATH", (home.root() / (c.mailer ? "bin" : "empty")).string());
        fake->fakeShell().result = false;
        QString told;
        test::answerNextDialog<TErrorDialog>([&told](TErrorDialog* dialog) {
            test::answerNextDialog<QMessageBox>([&told](QMessageBox* box) {
                told = box->text();
                box->accept();
            });
            dialog->sendButton()->click();
        });
        reportUnexpectedError(std::make_exception_ptr(std::runtime_error("Fault")));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }, 10000));
        const auto reports = home.state() / "brenvik" / "reports";
        bool named = false;
        for (const auto& entry : std::filesystem::directory_iterator(reports))
            named = named || told.contains(QString::fromStdString(entry.path().string()));
        EXPECT_TRUE(named) << told.toStdString();
    }
}

TEST_F(ErrorDialogTest, AFaultThatRepeatsGetsOneDialogAtATime) {
    // Timer handlers that fail on every tick, as the event loop hands their faults on. (A timer
    // does not fire again while its own handler runs, but the others do.)
    QTimer failing, failingToo;
    int faults = 0;
    for (QTimer* timer : {&failing, &failingToo})
        QObject::connect(timer, &QTimer::timeout, [&faults] {
            ++faults;
            reportUnexpectedError(std::make_exception_ptr(std::runtime_error("Every tick")));
        });
    // Watches how many dialogs are open; any beyond the first is closed again so the test ends.
    int mostOpen = 0;
    TErrorDialog* first = nullptr;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        std::vector<TErrorDialog*> open;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<TErrorDialog*>(window); dialog && dialog->isVisible())
                open.push_back(dialog);
        mostOpen = std::max(mostOpen, static_cast<int>(open.size()));
        if (open.size() > 1)
            for (TErrorDialog* dialog : open)
                if (dialog != first)
                    dialog->reject();
    });
    watcher.start(2);
    test::answerNextDialog<TErrorDialog>([&](TErrorDialog* dialog) {
        first = dialog;
        EXPECT_TRUE(QTest::qWaitFor([&] { return faults >= 10; }, 10000));
        failing.stop();
        failingToo.stop();
        dontSend(dialog);
    });
    failing.start(5);
    failingToo.start(7);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !failing.isActive() && !ErrorDialog; }, 10000));
    watcher.stop();
    EXPECT_GE(faults, 10);
    EXPECT_EQ(mostOpen, 1);
    // The faults behind the open dialog were recorded, and none was sent.
    EXPECT_TRUE(fake->fakeShell().calls.empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(home.state() / "brenvik/reports"),
                            std::filesystem::directory_iterator()),
              std::min(faults, static_cast<int>(crash::MaxReportsKept)));
}

TEST_F(ErrorDialogTest, LayoutHasTheBandTextsAndButtons) {
    TErrorDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Brenvik - Error occurred"));
    EXPECT_EQ(dialog.size(), QSize(433, 258));
    EXPECT_EQ(dialog.LabelError->text(), QStringLiteral("Error"));
    EXPECT_EQ(dialog.LabelError->size(), QSize(417, 49));
    EXPECT_TRUE(dialog.LabelError->wordWrap());
    auto* symbol = dialog.findChild<QLabel*>(QStringLiteral("ErrorSymbol"));
    ASSERT_NE(symbol, nullptr);
    EXPECT_EQ(symbol->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(dialog.findChild<QWidget*>(QStringLiteral("Band"))->geometry(), QRect(0, 0, 433, 57));
    QStringList texts;
    for (const QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    for (const char* text :
         {"Brenvik has encountered a problem. We are sorry for the inconvenience.",
          "Please tell us about this problem.",
          "We have created an error report that you can send to us. We will treat this report as "
          "confidential and anonymous. "})
        EXPECT_TRUE(texts.contains(QString::fromUtf8(text))) << text;
    EXPECT_EQ(dialog.sendButton()->text(), QStringLiteral("Send Error Report"));
    EXPECT_TRUE(dialog.sendButton()->isDefault());
    EXPECT_EQ(dialog.dontSendButton()->text(), QStringLiteral("Don't Send"));
    EXPECT_LT(dialog.sendButton()->x(), dialog.dontSendButton()->x());
}

} // namespace
} // namespace brenvik
