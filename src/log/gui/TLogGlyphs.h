#pragma once
// Draws 8-bit log text cell by cell from glyphs looked up once per font. Laying text out through
// the text engine costs tens of microseconds a line; a fixed grid of cells needs none of it, and
// it keeps every column in place even where the font's advance is not a whole pixel.
#include <QImage>
#include <QRawFont>
#include <QVector>
#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

class QPainter;
class QPointF;

class TLogGlyphs
{
public:
    void SetFont(const QFont &font);

    // Draws `length` characters from `text` with the left edge of the first cell at `origin.x()`
    // and the baseline at `origin.y()`. False, nothing drawn, when the font lacks one of them.
    bool Draw(QPainter &painter, const QPointF &origin, const char *text, size_t length,
              qreal cellWidth) const;

private:
    QRawFont m_font;
    std::array<quint32, 256> m_glyphs{};
    mutable QVector<quint32> m_indexes;
    mutable QVector<QPointF> m_positions;
};

// The same cells on the log's page, drawn once by TLogGlyphs and then only copied: blending a glyph
// onto the page costs several times what copying its cell does, and a stream redraws thousands of
// cells a frame. Many glyphs put a faint edge into the cell beside them, where the neighbour's
// glyph is blended over it; such a cell is kept for each neighbour it has been seen with. A glyph
// whose ink reaches further, or above or below its row, is not kept, nor are more than a few
// dozen colours or a few thousand cells.
class TLogTiles
{
public:
    // A character in a colour; kNone: no glyph (a cell beside the text).
    static constexpr uint16_t kNone = 256;
    struct Glyph
    {
        uint16_t c = kNone;
        QRgb color = 0;
    };
    enum : uint8_t { kSpillsLeft = 1, kSpillsRight = 2 };

    // Forgets every cell; the next ones are drawn with cells of this size.
    void Reset(int cellWidth, int lineHeight, int ascent);
    // The page the cells are drawn on; a new one forgets every cell.
    void SetPage(QRgb page);
    // Pages whose pixels cells can be copied to.
    static bool Suits(const QImage &page);
    // The glyph's cell alone, and which neighbours' cells its ink reaches into; -1 when it cannot
    // be kept at all.
    int Single(const TLogGlyphs &glyphs, QImage::Format format, Glyph glyph, uint8_t *spills);
    // The cell of `self` as drawn after `prev` and before `next`, one of which is a glyph whose
    // ink reaches into it; every glyph given has had its Single. -1 when it cannot be kept.
    int Cell(const TLogGlyphs &glyphs, Glyph prev, Glyph self, Glyph next);
    // Copies a cell into `page` with its top left at `at`, keeping to `clip`.
    void Copy(QImage &page, QPoint at, int cell, const QRect &clip) const;
    // Copies `count` cells side by side from `at` on, the same as a Copy of each.
    void CopyRow(QImage &page, QPoint at, const int *cells, size_t count, const QRect &clip) const;

private:
    static constexpr int kUnknown = -2;
    static constexpr int kUnusable = -1;
    struct Alone
    {
        int cell = kUnknown;
        uint8_t spills = 0;
    };
    struct Colour
    {
        uint16_t index = 0;
        std::array<Alone, 256> singles;
    };
    static constexpr size_t kMostColours = 64;
    static constexpr size_t kMostCells = 8192;
    Colour *ColourOf(QImage::Format format, QRgb color);
    int Draw(const TLogGlyphs &glyphs, Glyph prev, Glyph self, Glyph next, uint8_t *spills);
    uint64_t Key(Glyph glyph);

    int m_cellWidth = 0;
    int m_lineHeight = 0;
    int m_ascent = 0;
    QRgb m_page = 0xFFFFFFFF;
    QImage::Format m_format = QImage::Format_Invalid;
    std::unordered_map<QRgb, Colour> m_colours;
    std::unordered_map<uint64_t, int> m_withNeighbours;
    std::vector<uint32_t> m_pixels; // the cells, each its rows one after the other
    QImage m_scratch;
};
