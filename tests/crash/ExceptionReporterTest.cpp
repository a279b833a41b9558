#include "crash/ExceptionReporter.h"

#include "crash/ThrowTrace.h"
#include "fakes/FakePlatform.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

namespace brenvik::crash {
namespace {

[[gnu::noinline]] void failInTheWorker() {
    throw std::runtime_error("Worker failed");
}

class ExceptionReporterTest : public ::testing::Test {
protected:
    test::TempHome home;
    test::FakePlatformScope fake;
    ExceptionReporter reporter;

    ExceptionReporterTest() { enableThrowTraces(true); }
    ~ExceptionReporterTest() override { enableThrowTraces(false); }

    // A folder on PATH holding a stand-in for xdg-email (the fake shell never runs it).
    void provideMailer() {
        const auto folder = home.root() / "bin";
        test::writeFile(folder / "xdg-email", "#!/bin/sh\n");
        chmod((folder / "xdg-email").c_str(), 0755);
        home.setEnv("PATH", folder.string());
    }
    // Present: the stand-in above; absent: for this case alone, a PATH that finds none.
    void mailerOnPath(bool present, test::TempHome& caseHome) {
        if (present)
            provideMailer();
        else
            caseHome.setEnv("PATH", (caseHome.root() / "empty").string());
    }
    static std::exception_ptr caught(void (*fault)()) {
        try {
            fault();
        } catch (...) {
            return std::current_exception();
        }
        return {};
    }
};

TEST_F(ExceptionReporterTest, NotificationGetsTheFaultAndTheOptionsInForce) {
    std::vector<std::pair<std::string, std::string>> seen;
    reporter.setNotification([&](ExceptionRecord& record, bool& handled) {
        seen.emplace_back(record.typeName, record.message);
        ASSERT_NE(record.options, nullptr);
        EXPECT_EQ(record.options->emailSendMode, 1);
        EXPECT_EQ(record.options->webSendMode, 1);
        EXPECT_FALSE(handled);
    });
    reporter.handle(std::make_exception_ptr(std::invalid_argument("Bad value")));
    reporter.handle(std::make_exception_ptr(42));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0],
              std::make_pair(std::string("std::invalid_argument"), std::string("Bad value")));
    EXPECT_EQ(seen[1], std::make_pair(std::string("int"), std::string("Exception of type int")));
}

TEST_F(ExceptionReporterTest, ReportOfAWorkerFaultHoldsTheWorkersThrowSite) {
    std::exception_ptr fault;
    std::thread worker([&] { fault = caught(failInTheWorker); });
    worker.join();
    const auto report = reporter.handle(fault);
    ASSERT_FALSE(report.empty());
    const std::string text = test::readFile(report);
    EXPECT_NE(text.find("Message: Worker failed\n"), std::string::npos);
    EXPECT_NE(text.find("Stack trace (where it was thrown):"), std::string::npos);
    EXPECT_NE(text.find("failInTheWorker"), std::string::npos) << text;
}

TEST_F(ExceptionReporterTest, SendsOnlyWhileAModeIsOnAndAMailerIsInstalled) {
    struct Case {
        const char* name;
        int email;
        int web;
        bool mailer;
        bool sent;
    };
    for (const Case& c :
         {Case{"both on", 1, 1, true, true}, Case{"web only", 0, 1, true, true},
          Case{"e-mail only", 1, 0, true, true}, Case{"both off", 0, 0, true, false},
          Case{"no mail program", 1, 1, false, false}}) {
        SCOPED_TRACE(c.name);
        test::TempHome caseHome;
        mailerOnPath(c.mailer, caseHome);
        fake->fakeShell().calls.clear();
        reporter.setNotification([&](ExceptionRecord& record, bool&) {
            record.options->emailSendMode = c.email;
            record.options->webSendMode = c.web;
        });
        const auto report = reporter.handle(std::make_exception_ptr(std::runtime_error("x")));
        ASSERT_FALSE(report.empty());
        ASSERT_EQ(fake->fakeShell().calls.size(), c.sent ? 1u : 0u);
        if (c.sent) {
            const auto& call = fake->fakeShell().calls[0];
            EXPECT_EQ(call.verb, "Open");
            EXPECT_EQ(std::filesystem::path(call.file).filename(), "xdg-email");
            EXPECT_EQ(call.parameters.rfind("mailto:reports@brenvik.example.org?subject=", 0), 0u);
            EXPECT_NE(call.parameters.find("&attach=" + report.string()), std::string::npos);
        }
    }
}

TEST_F(ExceptionReporterTest, AReportNoMailProgramTookIsPointedOutToTheUser) {
    struct Case {
        const char* name;
        bool mailer;
        bool mailerStarts;
        int modes;
        bool pointedOut;
    };
    for (const Case& c : {Case{"no mail program", false, false, 1, true},
                          Case{"mail program fails", true, false, 1, true},
                          Case{"mail program takes it", true, true, 1, false},
                          Case{"sending declined", false, false, 0, false}}) {
        SCOPED_TRACE(c.name);
        test::TempHome caseHome;
        mailerOnPath(c.mailer, caseHome);
        fake->fakeShell().result = c.mailerStarts;
        reporter.setNotification([&](ExceptionRecord& record, bool&) {
            record.options->emailSendMode = c.modes;
            record.options->webSendMode = c.modes;
        });
        std::vector<std::filesystem::path> pointedOut;
        reporter.setUnsentNotice(
            [&](const std::filesystem::path& report) { pointedOut.push_back(report); });
        const auto report = reporter.handle(std::make_exception_ptr(std::runtime_error("x")));
        ASSERT_FALSE(report.empty());
        EXPECT_EQ(pointedOut, c.pointedOut ? std::vector<std::filesystem::path>{report}
                                           : std::vector<std::filesystem::path>{});
    }
}

TEST_F(ExceptionReporterTest, DecliningOneFaultDoesNotDeclineTheNext) {
    provideMailer();
    int faults = 0;
    reporter.setNotification([&](ExceptionRecord& record, bool&) {
        if (++faults == 1)
            record.options->emailSendMode = record.options->webSendMode = 0;
    });
    reporter.handle(std::make_exception_ptr(std::runtime_error("first")));
    reporter.handle(std::make_exception_ptr(std::runtime_error("second")));
    EXPECT_EQ(fake->fakeShell().calls.size(), 1u);
    EXPECT_EQ(reporter.sendOptions().emailSendMode, 1);
}

TEST_F(ExceptionReporterTest, AFailingNotificationStillLeavesTheReport) {
    reporter.setNotification([](ExceptionRecord&, bool&) { throw std::logic_error("dialog"); });
    const auto report = reporter.handle(std::make_exception_ptr(std::runtime_error("kept")));
    ASSERT_FALSE(report.empty());
    EXPECT_NE(test::readFile(report).find("Message: kept"), std::string::npos);
}

} // namespace
} // namespace brenvik::crash
