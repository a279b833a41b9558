#include "app/CrashReporter.h"
#include "app/ErrorUnit.h"
#include "app/MainUnit.h"
#include "dialogs/DialogAnswer.h"
#include "fakes/FakePlatform.h"
#include "support/TempHome.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>
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
        TMainForm::reportUnexpected(std::make_exception_ptr(std::runtime_error(message)));
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
    std::thread worker([] {
        TMainForm::reportUnexpected(std::make_exception_ptr(std::runtime_error("Worker fault")));
    });
    worker.join();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isEmpty(); }, 10000));
    EXPECT_TRUE(onInterfaceThread);
    EXPECT_EQ(shown, QStringLiteral("Worker fault."));
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
