#include "app/TrayLoadIcon.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <string>

namespace brenvik {

namespace {

// Digits on a 3 x 5 grid, one row per entry, the top bit the left column.
constexpr std::array<std::array<unsigned char, 5>, 10> Glyphs{{
    {7, 5, 5, 5, 7}, // 0
    {2, 6, 2, 2, 7}, // 1
    {7, 1, 7, 4, 7}, // 2
    {7, 1, 7, 1, 7}, // 3
    {5, 5, 7, 1, 1}, // 4
    {7, 4, 7, 1, 7}, // 5
    {7, 4, 7, 5, 7}, // 6
    {7, 1, 1, 1, 1}, // 7
    {7, 5, 7, 5, 7}, // 8
    {7, 5, 7, 1, 7}, // 9
}};
constexpr int GlyphWidth = 3;
constexpr int GlyphHeight = 5;

// "100" only fits a 16-pixel icon with a one-column "1": the leading one of 100 is drawn as a bar.
bool narrowOne(const std::string& digits) {
    return digits.size() == 3;
}

int columnsOf(const std::string& digits) {
    const int gaps = static_cast<int>(digits.size()) - 1;
    const int glyphs = static_cast<int>(digits.size()) * GlyphWidth;
    return glyphs + gaps - (narrowOne(digits) ? GlyphWidth - 1 : 0);
}

} // namespace

QColor loadLevelColour(LoadLevel level) {
    switch (level) {
    case LoadLevel::Critical:
        return {204, 0, 0};
    case LoadLevel::High:
        return {230, 126, 0};
    case LoadLevel::Normal:
        break;
    }
    // The dark green of the program's own buttons.
    return {51, 102, 0};
}

QPixmap drawMemoryLoad(const MemoryLoad& load, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(loadLevelColour(load.level));
    const std::string digits = std::to_string(std::clamp(load.percent, 0, 100));
    const int columns = columnsOf(digits);
    // Whole-pixel scales keep every stroke crisp; rows may be up to twice as tall as columns are
    // wide, so "100" still gets tall digits at 16 pixels.
    const int tallest = std::max(1, (size - 2) / GlyphHeight);
    const int xScale = std::max(1, std::min(size / columns, tallest));
    const int yScale =
        std::min(tallest, std::clamp(size * 7 / 10 / GlyphHeight, xScale, 2 * xScale));
    const int left = (size - columns * xScale) / 2;
    const int top = (size - GlyphHeight * yScale) / 2;
    QPainter painter(&pixmap);
    int column = 0;
    for (std::size_t index = 0; index < digits.size(); ++index) {
        if (index == 0 && narrowOne(digits)) {
            painter.fillRect(left, top, xScale, GlyphHeight * yScale, Qt::white);
            column += 2;
            continue;
        }
        const auto& glyph = Glyphs[static_cast<std::size_t>(digits[index] - '0')];
        for (int row = 0; row < GlyphHeight; ++row)
            for (int bit = 0; bit < GlyphWidth; ++bit)
                if ((glyph[static_cast<std::size_t>(row)] >> (GlyphWidth - 1 - bit)) & 1)
                    painter.fillRect(left + (column + bit) * xScale, top + row * yScale, xScale,
                                     yScale, Qt::white);
        column += GlyphWidth + 1;
    }
    return pixmap;
}

QIcon memoryLoadIcon(const MemoryLoad& load) {
    QIcon icon;
    for (const int size : TrayIconSizes)
        icon.addPixmap(drawMemoryLoad(load, size));
    return icon;
}

} // namespace brenvik
