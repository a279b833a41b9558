#include "memory/UsageGraph.h"

#include "common/UnexpectedError.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace brenvik {

namespace {

constexpr int NoValue = -1;
constexpr int StepsPerGridLine = UsageGraph::GridSpacing / UsageGraph::StepPixels;

std::function<bool(const QImage&)>& clipboardWriter() {
    static std::function<bool(const QImage&)> writer;
    return writer;
}

// Puts the picture on the system clipboard as its only content; false when the clipboard did
// not take it (another client kept the selection, or there is no clipboard to own).
bool writeSystemClipboard(const QImage& image) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr)
        return false;
    auto* data = new QMimeData;
    data->setImageData(image);
    clipboard->setMimeData(data);
    // The clipboard answers with our own data only while we hold it.
    return clipboard->mimeData() == data;
}

} // namespace

UsageGraph::UsageGraph(QWidget* parent, int baseLinePercent)
    : QWidget(parent), baseLinePercent_(baseLinePercent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    clock_.setInterval(StepIntervalMs);
    connect(&clock_, &QTimer::timeout, this, &UsageGraph::step);
    menu_ = new QMenu(this);
    copyAction_ = menu_->addAction(QStringLiteral("&Copy to Clipboard"));
    connect(copyAction_, &QAction::triggered, this, &UsageGraph::copyClicked);
}

void UsageGraph::start() {
    if (!clock_.isActive())
        clock_.start();
}

int UsageGraph::rowFor(int percent, int height) {
    if (height <= 0)
        return 0;
    // Exact integer rounding of percent * height / 100, halves to the even neighbour.
    const long long scaled = static_cast<long long>(std::max(percent, 0)) * height;
    long long rounded = scaled / 100;
    const long long remainder = scaled % 100;
    if (remainder > 50 || (remainder == 50 && rounded % 2 != 0))
        ++rounded;
    // 0 % lies on the bottom edge, one row below the picture: draw it on the last row.
    return static_cast<int>(std::clamp<long long>(height - rounded, 0, height - 1));
}

int UsageGraph::baseLineRow() const {
    return rowFor(baseLinePercent_, canvas_.height());
}

void UsageGraph::resizeRing(int width) {
    std::vector<int> kept = history();
    const std::size_t size = static_cast<std::size_t>(std::max(width, 0));
    if (kept.size() > size)
        kept.erase(kept.begin(), kept.end() - static_cast<std::ptrdiff_t>(size));
    ring_.assign(size, NoValue);
    std::copy(kept.begin(), kept.end(), ring_.begin());
    filled_ = kept.size();
    head_ = size == 0 ? 0 : filled_ % size;
}

std::vector<int> UsageGraph::history() const {
    std::vector<int> values;
    values.reserve(filled_);
    const std::size_t size = ring_.size();
    for (std::size_t i = 0; i < filled_; ++i)
        values.push_back(ring_[(head_ + size - filled_ + i) % size]);
    return values;
}

// The newest value belongs to the rightmost column; columns left of the stored history are empty.
int UsageGraph::columnValue(int column) const {
    const std::size_t size = ring_.size();
    const std::size_t fromRight = static_cast<std::size_t>(canvas_.width() - 1 - column);
    if (column < 0 || fromRight >= filled_)
        return NoValue;
    return ring_[(head_ + size - 1 - fromRight) % size];
}

// Each column is drawn from its own value, the value of the column after it and the phase of the
// vertical grid alone, so that redrawing the last step's column and the new strip after a scroll
// gives the same picture as drawing everything again from the ring.
void UsageGraph::drawColumns(QImage& image, int firstColumn) const {
    const int width = image.width();
    const int height = image.height();
    const int base = baseLineRow();
    const int newestGridColumn =
        width - 1 - StepPixels * static_cast<int>(steps_ % StepsPerGridLine);
    for (int x = std::max(firstColumn, 0); x < width; ++x) {
        const bool gridColumn = newestGridColumn >= x && (newestGridColumn - x) % GridSpacing == 0;
        for (int y = 0; y < height; ++y) {
            QRgb colour = gridColumn ? GridColour : Background;
            if (y == base)
                colour = BaseLineColour;
            else if ((y - base) % GridSpacing == 0)
                colour = GridColour;
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
        }
        const int value = columnValue(x);
        if (value == NoValue)
            continue;
        const int row = rowFor(value, height);
        const int next = x + 1 < width ? columnValue(x + 1) : NoValue;
        int top = row, bottom = row;
        if (next != NoValue) {
            // Join the next column's point with a vertical run ending next to it.
            const int nextRow = rowFor(next, height);
            if (nextRow < row)
                top = nextRow + 1;
            else if (nextRow > row)
                bottom = nextRow - 1;
        }
        for (int y = top; y <= bottom; ++y)
            reinterpret_cast<QRgb*>(image.scanLine(y))[x] = TraceColour;
    }
}

void UsageGraph::drawWhole(QImage& image) const {
    drawColumns(image, 0);
}

QImage UsageGraph::redrawnPicture() const {
    QImage image(canvas_.size(), QImage::Format_RGB32);
    if (!image.isNull())
        drawWhole(image);
    return image;
}

void UsageGraph::step() {
    ensureCanvas();
    const int width = canvas_.width();
    if (width <= 0 || canvas_.height() <= 0)
        return;
    ++steps_;
    for (int i = 0; i < StepPixels; ++i) {
        ring_[head_] = value_;
        head_ = (head_ + 1) % ring_.size();
        filled_ = std::min(filled_ + 1, ring_.size());
    }
    const int shift = std::min(StepPixels, width);
    for (int y = 0; y < canvas_.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(canvas_.scanLine(y));
        std::memmove(line, line + shift, static_cast<std::size_t>(width - shift) * sizeof(QRgb));
    }
    // The previous step's last column now joins the new value.
    drawColumns(canvas_, width - shift - 1);
    update();
}

void UsageGraph::paintEvent(QPaintEvent*) {
    ensureCanvas();
    QPainter painter(this);
    painter.drawImage(0, 0, canvas_);
}

void UsageGraph::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ensureCanvas();
}

// A hidden graph gets its resize event only when first shown, but its clock runs from the start
// (also while the window lives in the tray), so the picture follows the size wherever it is used.
void UsageGraph::ensureCanvas() {
    if (canvas_.size() == size())
        return;
    resizeRing(width());
    canvas_ = QImage(size(), QImage::Format_RGB32);
    if (!canvas_.isNull())
        drawWhole(canvas_);
}

void UsageGraph::mouseReleaseEvent(QMouseEvent* event) {
    // The event's own position: on Wayland the cursor's screen position is not known to programs.
    if (event->button() == Qt::RightButton)
        menu_->popup(event->globalPosition().toPoint());
    QWidget::mouseReleaseEvent(event);
}

void UsageGraph::setClipboardWriter(std::function<bool(const QImage&)> writer) {
    clipboardWriter() = std::move(writer);
}

void UsageGraph::copyToClipboard() {
    // The graph paints its own picture rather than reading the screen: a Wayland compositor hands
    // no screen pixels to programs, and a graph partly off-screen or covered still copies whole.
    // One picture pixel per graph pixel, whatever the display's scale.
    QImage picture(size(), QImage::Format_RGB32);
    if (!picture.isNull())
        render(&picture);
    const auto& writer = clipboardWriter();
    if (picture.isNull() || !(writer ? writer(picture) : writeSystemClipboard(picture)))
        throw std::runtime_error("Cannot open clipboard");
}

void UsageGraph::copyClicked() {
    try {
        copyToClipboard();
    } catch (...) {
        reportUnexpectedError(std::current_exception());
    }
}

} // namespace brenvik
