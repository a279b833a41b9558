// Copies of the three graphs read back from the clipboard by another program, on a real X server;
// run once more at a device pixel ratio of 2 (QT_SCALE_FACTOR=2), where the picture keeps the
// graph's own size.

#include "app/MainUnit.h"
#include "fakes/FakePlatform.h"
#include "memory/MemoryPage.h"
#include "memory/UsageGraph.h"
#include "sysinfo/SystemPage.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace brenvik {
namespace {

// What another program gets when it asks for the clipboard as PNG. The event loop keeps running
// meanwhile: the clipboard's owner is this process, which must answer the request.
QImage clipboardFromOutside() {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                 QStringLiteral("image/png"), QStringLiteral("-o")});
    QElapsedTimer waited;
    waited.start();
    while (xclip.state() != QProcess::NotRunning && waited.elapsed() < 10000)
        QTest::qWait(10);
    return QImage::fromData(xclip.readAllStandardOutput(), "PNG");
}

// Brings every tab that holds the widget to the front.
void bringForward(QWidget* widget) {
    for (QWidget* child = widget; child->parentWidget() != nullptr; child = child->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(child->parentWidget()->parentWidget()))
            tabs->setCurrentWidget(child);
}

class ClipboardX11 : public ::testing::Test {
protected:
    ClipboardX11() {
        form.FormCreate();
        form.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
    }
    ~ClipboardX11() override { form.FormCloseQuery(); }

    // Lets a few of the graph's own steps draw a trace first.
    static void runSteps(UsageGraph* graph, int count) {
        for (int i = 0; i < count; ++i) {
            graph->setValue((i * 13) % 101);
            graph->step();
        }
    }

    test::FakePlatformScope fake;
    TMainForm form;
};

TEST_F(ClipboardX11, EachGraphCopiesItsOwnSize) {
    struct Case {
        int page;
        UsageGraph* graph;
        QSize size;
    };
    const Case cases[] = {
        {TMainForm::MemoryPageIndex, form.memoryPage()->memoryHistoryGraph(), {275, 129}},
        {TMainForm::MemoryPageIndex, form.memoryPage()->cpuUsageGraph(), {252, 129}},
        {TMainForm::SystemPageIndex, form.systemPage()->cpuHistoryGraph(), {443, 140}},
    };
    for (const Case& c : cases) {
        form.ShowPage(c.page);
        bringForward(c.graph);
        runSteps(c.graph, 60);
        QTest::qWait(50);
        c.graph->copyAction()->trigger();
        const QImage copied = clipboardFromOutside();
        ASSERT_EQ(copied.size(), c.size);
        EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
                  c.graph->picture().convertToFormat(QImage::Format_RGB32))
            << "the graph's own rectangle, as shown";
    }
}

// The copy is the graph's own picture, not what the screen shows over it or beyond its edge.
TEST_F(ClipboardX11, CoveringWindowIsNotPartOfTheCopy) {
    UsageGraph* graph = form.memoryPage()->memoryHistoryGraph();
    runSteps(graph, 30);
    QWidget cover(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    cover.setAutoFillBackground(true);
    QPalette colours = cover.palette();
    colours.setColor(QPalette::Window, QColor(255, 0, 255));
    cover.setPalette(colours);
    const QPoint graphOnScreen = graph->mapToGlobal(QPoint(0, 0));
    cover.setGeometry(graphOnScreen.x() + 100, graphOnScreen.y() + 40, 50, 30);
    cover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cover));
    cover.raise();
    QTest::qWait(100);
    graph->copyAction()->trigger();
    const QImage copied = clipboardFromOutside();
    ASSERT_EQ(copied.size(), QSize(275, 129));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              graph->picture().convertToFormat(QImage::Format_RGB32));
}

TEST_F(ClipboardX11, GraphPartlyOffScreenCopiesWhole) {
    UsageGraph* graph = form.memoryPage()->memoryHistoryGraph();
    runSteps(graph, 60);
    const QRect screen = form.screen()->geometry();
    // Only the graph's first 100 columns stay on the screen.
    form.move(form.pos() + QPoint(screen.right() + 1 - 100 - graph->mapToGlobal(QPoint()).x(), 0));
    QTest::qWait(200);
    ASSERT_GT(graph->mapToGlobal(QPoint(graph->width(), 0)).x(), screen.right() + 1)
        << "the window was kept on the screen";
    graph->copyAction()->trigger();
    const QImage copied = clipboardFromOutside();
    ASSERT_EQ(copied.size(), QSize(275, 129));
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              graph->picture().convertToFormat(QImage::Format_RGB32));
}

} // namespace
} // namespace brenvik
