#pragma once

// Waiting in widget tests: the event loop runs until a condition holds, and the GoogleTest test
// fails (and returns) when it does not within the time. Qt's own QTRY_ macros report to QTest's
// logger, which a GoogleTest run never reads, so a timeout there would pass silently.

#include <QTest>
#include <gtest/gtest.h>

#define ASSERT_EVENTUALLY_TRUE_WITHIN(condition, milliseconds)                                     \
    ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(condition); }, milliseconds))       \
        << "still false after " << (milliseconds) << " ms: " #condition

#define ASSERT_EVENTUALLY_TRUE(condition) ASSERT_EVENTUALLY_TRUE_WITHIN(condition, 5000)

#define ASSERT_EVENTUALLY_EQ(actual, expected)                                                     \
    do {                                                                                           \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); }, 5000);                       \
        ASSERT_EQ(actual, expected);                                                               \
    } while (false)
