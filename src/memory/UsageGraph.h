#pragma once

// A scrolling usage graph: black scope with a green grid, a red base line and a bright green
// trace. Callers only set the current value; the graph samples it on its own one-second clock,
// moving 2 pixels per step and keeping one history value per pixel column in a ring. A right
// click offers "&Copy to Clipboard", which puts the graph's own picture on the clipboard.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace brenvik {

class UsageGraph : public QWidget {
    Q_OBJECT
public:
    static constexpr int StepPixels = 2;
    static constexpr int StepIntervalMs = 1000;
    static constexpr int GridSpacing = 16;

    // The base line is drawn at `baseLinePercent` of the height.
    UsageGraph(QWidget* parent, int baseLinePercent);

    // The whole percentage sampled at the next step (0 at the bottom edge, 100 at the top).
    void setValue(int percent) { value_ = percent; }
    int value() const { return value_; }
    // Starts the graph's own clock; starting a running graph changes nothing.
    void start();
    bool isActive() const { return clock_.isActive(); }

    // One step of the clock: scroll, continue grid and base line, continue the trace, store the
    // value twice. The clock calls it; tests may call it to advance without waiting.
    void step();

    // The stored history, oldest first; at most one value per pixel column.
    std::vector<int> history() const;
    // The picture as drawn so far, at the graph's current size (the widget paints exactly this).
    const QImage& picture() {
        ensureCanvas();
        return canvas_;
    }
    // The picture drawn whole from the ring, as after a resize.
    QImage redrawnPicture() const;

    // Row, counted from the top, at which a percentage is drawn in a graph `height` pixels high:
    // height - round(percent * height / 100), halves to even, kept inside the picture.
    static int rowFor(int percent, int height);

    // The right-click menu and its one item.
    QMenu* contextMenu() const { return menu_; }
    QAction* copyAction() const { return copyAction_; }
    // Puts the graph's own picture, exactly as wide and high as the graph, on the clipboard.
    // Throws std::runtime_error("Cannot open clipboard") when the picture cannot be made or the
    // clipboard does not take it.
    void copyToClipboard();
    // Replaces the system clipboard for tests (an empty function restores it); the writer answers
    // false when the clipboard cannot be opened.
    static void setClipboardWriter(std::function<bool(const QImage&)> writer);

    static constexpr QRgb Background = 0xff000000;
    static constexpr QRgb GridColour = 0xff008000;
    static constexpr QRgb BaseLineColour = 0xffff0000;
    static constexpr QRgb TraceColour = 0xff00ff00;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void ensureCanvas();
    void resizeRing(int width);
    void drawWhole(QImage& image) const;
    void drawColumns(QImage& image, int firstColumn) const;
    int baseLineRow() const;
    int columnValue(int column) const;
    void copyClicked();

    int baseLinePercent_;
    int value_ = 0;
    QTimer clock_;
    // Ring of history values, one per pixel column; head_ is where the next value goes.
    std::vector<int> ring_;
    std::size_t head_ = 0;
    std::size_t filled_ = 0;
    long long steps_ = 0; // steps taken, for the phase of the vertical grid
    QImage canvas_;
    QMenu* menu_ = nullptr;
    QAction* copyAction_ = nullptr;
};

} // namespace brenvik
