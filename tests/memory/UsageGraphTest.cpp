#include "memory/UsageGraph.h"

#include "app/MainUnit.h"
#include "common/UnexpectedError.h"
#include "support/Eventually.h"

#include <QAction>
#include <QGroupBox>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <stdexcept>

namespace brenvik {
namespace {

TEST(UsageGraph, RowOfAPercentage) {
    struct Case {
        int percent, height, row;
    };
    const Case cases[] = {
        {100, 129, 0}, {0, 129, 128}, // the bottom edge, drawn on the last row
        {50, 129, 65},                // 64.5 rounds to the even 64
        {75, 129, 32}, {88, 129, 15}, {75, 140, 35}, {50, 140, 70}, {1, 129, 128}, {99, 129, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UsageGraph::rowFor(c.percent, c.height), c.row)
            << c.percent << "% of " << c.height;
}

class GraphTest : public ::testing::Test {
protected:
    GraphTest() : graph(nullptr, 88) { graph.resize(252, 129); }
    QRgb pixel(int x, int y) { return graph.picture().pixel(x, y); }
    int traceRowAt(int x) {
        for (int y = 0; y < graph.height(); ++y)
            if (pixel(x, y) == UsageGraph::TraceColour)
                return y;
        return -1;
    }
    void steps(std::initializer_list<int> values) {
        for (int value : values) {
            graph.setValue(value);
            graph.step();
        }
    }
    UsageGraph graph;
};

TEST_F(GraphTest, NewestValueIsDrawnAtTheRightEdge) {
    struct Case {
        int percent, row;
    };
    for (const Case c : {Case{100, 0}, Case{0, 128}, Case{50, 65}}) {
        steps({c.percent});
        EXPECT_EQ(traceRowAt(251), c.row) << c.percent;
        // Both columns of the step hold the value.
        EXPECT_EQ(pixel(250, c.row), UsageGraph::TraceColour) << c.percent;
    }
}

TEST_F(GraphTest, BackgroundGridAndBaseLine) {
    const int base = UsageGraph::rowFor(88, 129); // 15; row 1 lies on no horizontal line
    int plain = -1, grid = -1;
    for (int x = 0; x < graph.width(); ++x)
        (pixel(x, 1) == UsageGraph::GridColour ? grid : plain) = x;
    ASSERT_GE(plain, 0);
    ASSERT_GE(grid, 0);
    for (int y = 0; y < 129; ++y) {
        if (y == base) {
            EXPECT_EQ(pixel(plain, y), UsageGraph::BaseLineColour);
            EXPECT_EQ(pixel(grid, y), UsageGraph::BaseLineColour);
        } else {
            const bool gridRow = (y - base) % 16 == 0;
            EXPECT_EQ(pixel(plain, y), gridRow ? UsageGraph::GridColour : UsageGraph::Background)
                << y;
            EXPECT_EQ(pixel(grid, y), UsageGraph::GridColour) << y;
        }
    }
}

TEST_F(GraphTest, VerticalGridLinesEvery16PixelsScrollTwoPerStep) {
    const auto gridColumns = [this] {
        // Row 1 lies on no horizontal line of this graph.
        std::vector<int> columns;
        for (int x = 0; x < graph.width(); ++x)
            if (pixel(x, 1) == UsageGraph::GridColour)
                columns.push_back(x);
        return columns;
    };
    const auto before = gridColumns();
    ASSERT_GE(before.size(), 15u);
    for (std::size_t i = 1; i < before.size(); ++i)
        EXPECT_EQ(before[i] - before[i - 1], 16);
    steps({10});
    const auto after = gridColumns();
    ASSERT_FALSE(after.empty());
    EXPECT_EQ((after.back() - before.back() + 16) % 16, 14) << "moved 2 pixels to the left";
}

TEST_F(GraphTest, RingKeepsEachValueTwiceUpToOnePerColumn) {
    steps({10, 20, 30});
    EXPECT_EQ(graph.history(), (std::vector<int>{10, 10, 20, 20, 30, 30}));
    for (int i = 0; i < 200; ++i) {
        graph.setValue(i % 101);
        graph.step();
    }
    const auto history = graph.history();
    ASSERT_EQ(history.size(), 252u);
    EXPECT_EQ(history.back(), 199 % 101);
    EXPECT_EQ(history.front(), (200 - 126) % 101);
}

TEST_F(GraphTest, ScrolledPictureEqualsTheWholeRedrawFromTheRing) {
    for (int i = 0; i < 300; ++i) {
        graph.setValue((i * 37) % 101);
        graph.step();
        if (i == 5 || i == 77 || i == 299) {
            ASSERT_EQ(graph.picture(), graph.redrawnPicture()) << "after step " << i;
        }
    }
}

TEST_F(GraphTest, ResizeRedrawsWholeAndKeepsTheNewestValues) {
    for (int value = 0; value < 100; ++value) {
        graph.setValue(value);
        graph.step();
    }
    graph.resize(60, 40);
    ASSERT_EQ(graph.picture().size(), QSize(60, 40));
    const auto history = graph.history();
    ASSERT_EQ(history.size(), 60u);
    EXPECT_EQ(history.back(), 99);
    EXPECT_EQ(history.front(), 70);
    EXPECT_EQ(graph.picture(), graph.redrawnPicture());
    EXPECT_EQ(traceRowAt(59), UsageGraph::rowFor(99, 40));
}

TEST_F(GraphTest, OwnClockStepsOnceASecondOnceStarted) {
    EXPECT_FALSE(graph.isActive());
    graph.setValue(42);
    graph.start();
    graph.start();
    EXPECT_TRUE(graph.isActive());
    ASSERT_EVENTUALLY_TRUE_WITHIN(graph.history().size() >= 2, 2500);
    EXPECT_EQ(graph.history().size() % 2, 0u) << "two columns per step";
    EXPECT_EQ(graph.history().front(), 42);
}

TEST_F(GraphTest, RightButtonOpensTheCopyMenu) {
    graph.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph));
    ASSERT_EQ(graph.contextMenu()->actions().size(), 1);
    EXPECT_EQ(graph.copyAction()->text(), QStringLiteral("&Copy to Clipboard"));
    QTest::mouseRelease(&graph, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(graph.contextMenu()->isVisible());
    QTest::mouseRelease(&graph, Qt::RightButton, {}, QPoint(10, 10));
    ASSERT_EVENTUALLY_TRUE(graph.contextMenu()->isVisible());
    // Where the click was: Wayland tells programs no cursor position of their own.
    EXPECT_EQ(graph.contextMenu()->pos(), graph.mapToGlobal(QPoint(10, 10)));
    graph.contextMenu()->close();
}

class CopyTest : public ::testing::Test {
protected:
    CopyTest() {
        window.resize(400, 300);
        auto* box = new QGroupBox(QStringLiteral("CPU Usage"), &window);
        box->setGeometry(30, 40, 300, 200);
        graph = new UsageGraph(box, 88);
        graph->setGeometry(5, 20, 252, 129);
        for (int i = 0; i < 40; ++i) {
            graph->setValue(i * 2);
            graph->step();
        }
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    ~CopyTest() override {
        UsageGraph::setClipboardWriter({});
        setUnexpectedErrorHandler({});
    }
    QWidget window;
    UsageGraph* graph = nullptr;
};

TEST_F(CopyTest, PutsExactlyTheGraphsRectangleOnTheClipboard) {
    QImage copied;
    UsageGraph::setClipboardWriter([&](const QImage& image) {
        copied = image;
        return true;
    });
    graph->copyAction()->trigger();
    ASSERT_EQ(copied.size(), QSize(252, 129));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              graph->picture().convertToFormat(QImage::Format_RGB32));
}

// The graph paints the picture itself, so a graph the user cannot see at the moment (its page or
// tab in the back, the window in the tray) copies just as well.
TEST_F(CopyTest, HiddenGraphCopiesItsOwnPicture) {
    QImage copied;
    UsageGraph::setClipboardWriter([&](const QImage& image) {
        copied = image;
        return true;
    });
    window.hide();
    graph->copyAction()->trigger();
    ASSERT_EQ(copied.size(), QSize(252, 129));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              graph->picture().convertToFormat(QImage::Format_RGB32));
}

// Neither an empty picture nor a clipboard that refuses is ever reported as a copy done.
TEST_F(CopyTest, FailuresAreTheUnexpectedErrorCannotOpenClipboard) {
    struct Case {
        const char* what;
        QSize graphSize;
        bool clipboardTakes;
        int offered; // pictures offered to the clipboard
    };
    const Case cases[] = {
        {"clipboard refuses", {252, 129}, false, 1},
        {"no picture to make", {0, 0}, true, 0},
    };
    for (const Case& c : cases) {
        graph->resize(c.graphSize);
        int written = 0;
        UsageGraph::setClipboardWriter([&](const QImage&) {
            ++written;
            return c.clipboardTakes;
        });
        std::string reported;
        setUnexpectedErrorHandler([&](std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                reported = e.what();
            }
        });
        graph->copyAction()->trigger();
        EXPECT_EQ(reported, "Cannot open clipboard") << c.what;
        EXPECT_EQ(written, c.offered) << c.what;
    }
}

} // namespace
} // namespace brenvik
