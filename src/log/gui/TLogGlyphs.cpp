#include "log/gui/TLogGlyphs.h"

#include <QGlyphRun>
#include <QPainter>

#include <algorithm>
#include <cstring>

void TLogGlyphs::SetFont(const QFont &font)
{
    m_font = QRawFont::fromFont(font);
    m_glyphs.fill(0);
    if (!m_font.isValid())
        return;
    for (int c = 0; c < 256; ++c) {
        // Control characters have no glyph in most fixed fonts; a blank keeps the columns.
        const QChar shown = c < 0x20 || c == 0x7F ? QLatin1Char(' ') : QChar(c);
        const QVector<quint32> indexes = m_font.glyphIndexesForString(QString(shown));
        m_glyphs[static_cast<size_t>(c)] = indexes.size() == 1 ? indexes[0] : 0;
    }
}

bool TLogGlyphs::Draw(QPainter &painter, const QPointF &origin, const char *text, size_t length,
                      qreal cellWidth) const
{
    if (!m_font.isValid())
        return false;
    m_indexes.resize(static_cast<qsizetype>(length));
    m_positions.resize(static_cast<qsizetype>(length));
    for (size_t i = 0; i < length; ++i) {
        const quint32 glyph = m_glyphs[static_cast<uint8_t>(text[i])];
        if (glyph == 0)
            return false;
        m_indexes[static_cast<qsizetype>(i)] = glyph;
        m_positions[static_cast<qsizetype>(i)] = QPointF(static_cast<qreal>(i) * cellWidth, 0);
    }
    QGlyphRun run;
    run.setRawFont(m_font);
    run.setGlyphIndexes(m_indexes);
    run.setPositions(m_positions);
    painter.drawGlyphRun(origin, run);
    return true;
}

void TLogTiles::Reset(int cellWidth, int lineHeight, int ascent)
{
    m_cellWidth = cellWidth;
    m_lineHeight = lineHeight;
    m_ascent = ascent;
    m_colours.clear();
    m_withNeighbours.clear();
    m_pixels.clear();
}

void TLogTiles::SetPage(QRgb page)
{
    if (page == m_page)
        return;
    m_page = page;
    Reset(m_cellWidth, m_lineHeight, m_ascent);
}

bool TLogTiles::Suits(const QImage &page)
{
    return (page.format() == QImage::Format_RGB32 || page.format() == QImage::Format_ARGB32_Premultiplied) &&
           page.devicePixelRatio() == 1.0;
}

TLogTiles::Colour *TLogTiles::ColourOf(QImage::Format format, QRgb color)
{
    if (format != m_format) {
        Reset(m_cellWidth, m_lineHeight, m_ascent);
        m_format = format;
    }
    const auto found = m_colours.find(color);
    if (found != m_colours.end())
        return &found->second;
    if (m_colours.size() >= kMostColours || m_cellWidth <= 0 || m_lineHeight <= 0)
        return nullptr;
    Colour &added = m_colours[color];
    added.index = static_cast<uint16_t>(m_colours.size());
    return &added;
}

uint64_t TLogTiles::Key(Glyph glyph)
{
    if (glyph.c == kNone)
        return kNone;
    return (static_cast<uint64_t>(m_colours.at(glyph.color).index) << 9) | glyph.c;
}

int TLogTiles::Single(const TLogGlyphs &glyphs, QImage::Format format, Glyph glyph, uint8_t *spills)
{
    *spills = 0;
    Colour *colour = ColourOf(format, glyph.color);
    if (colour == nullptr)
        return kUnusable;
    Alone &single = colour->singles[glyph.c];
    if (single.cell == kUnknown)
        single.cell = Draw(glyphs, Glyph(), glyph, Glyph(), &single.spills);
    *spills = single.spills;
    return single.cell;
}

int TLogTiles::Cell(const TLogGlyphs &glyphs, Glyph prev, Glyph self, Glyph next)
{
    const uint64_t key = (Key(prev) << 32) | (Key(self) << 16) | Key(next);
    const auto found = m_withNeighbours.find(key);
    if (found != m_withNeighbours.end())
        return found->second;
    if (m_withNeighbours.size() >= kMostCells)
        return kUnusable;
    uint8_t spills = 0;
    const int cell = Draw(glyphs, prev, self, next, &spills);
    m_withNeighbours.emplace(key, cell);
    return cell;
}

int TLogTiles::Draw(const TLogGlyphs &glyphs, Glyph prev, Glyph self, Glyph next, uint8_t *spills)
{
    // Drawn on the page's own format, with room around the cell and its neighbours in place, in
    // the order the row draws them: what is kept is exactly what drawing them on the page gives.
    if (m_scratch.format() != m_format || m_scratch.width() != 3 * m_cellWidth ||
        m_scratch.height() != 3 * m_lineHeight)
        m_scratch = QImage(3 * m_cellWidth, 3 * m_lineHeight, m_format);
    m_scratch.fill(QColor::fromRgba(m_page));
    {
        QPainter painter(&m_scratch);
        int x = 0;
        for (const Glyph &glyph : {prev, self, next}) {
            if (glyph.c != kNone) {
                painter.setPen(QColor::fromRgba(glyph.color));
                const char one = static_cast<char>(glyph.c);
                if (!glyphs.Draw(painter, QPointF(x, m_lineHeight + m_ascent), &one, 1, m_cellWidth))
                    return kUnusable;
            }
            x += m_cellWidth;
        }
    }
    const auto page = static_cast<uint32_t>(m_page);
    *spills = 0;
    // A glyph alone tells where its ink goes; beside its neighbours, that is known already.
    const bool alone = prev.c == kNone && next.c == kNone;
    for (int y = 0; y < m_scratch.height() && alone; ++y) {
        const auto *line = reinterpret_cast<const uint32_t *>(m_scratch.constScanLine(y));
        for (int x = 0; x < m_scratch.width(); ++x) {
            if (line[x] == page ||
                (x >= m_cellWidth && x < 2 * m_cellWidth && y >= m_lineHeight && y < 2 * m_lineHeight))
                continue;
            // Ink at the scratch's edge may go on beyond it.
            if (y < m_lineHeight || y >= 2 * m_lineHeight || x == 0 || x == m_scratch.width() - 1)
                return kUnusable;
            *spills |= x < m_cellWidth ? kSpillsLeft : kSpillsRight;
        }
    }
    const size_t cellPixels = static_cast<size_t>(m_cellWidth * m_lineHeight);
    const int cell = static_cast<int>(m_pixels.size() / cellPixels);
    m_pixels.resize(m_pixels.size() + cellPixels);
    uint32_t *tile = m_pixels.data() + static_cast<size_t>(cell) * cellPixels;
    for (int y = 0; y < m_lineHeight; ++y)
        std::memcpy(tile + static_cast<size_t>(y * m_cellWidth),
                    m_scratch.constScanLine(m_lineHeight + y) + m_cellWidth * sizeof(uint32_t),
                    static_cast<size_t>(m_cellWidth) * sizeof(uint32_t));
    return cell;
}

void TLogTiles::Copy(QImage &page, QPoint at, int cell, const QRect &clip) const
{
    const QRect area = clip & page.rect() & QRect(at, QSize(m_cellWidth, m_lineHeight));
    if (area.isEmpty())
        return;
    const auto stride = static_cast<size_t>(page.bytesPerLine()) / sizeof(uint32_t);
    // Written where the painter on the page writes: asking for writable bits could make a copy of
    // a page shared meanwhile, which the painter would not draw on.
    auto *bits = reinterpret_cast<uint32_t *>(const_cast<uchar *>(page.constBits()));
    const uint32_t *tile =
        m_pixels.data() + static_cast<size_t>(cell) * static_cast<size_t>(m_cellWidth * m_lineHeight);
    const auto width = static_cast<size_t>(area.width()) * sizeof(uint32_t);
    for (int y = area.top(); y <= area.bottom(); ++y)
        std::memcpy(bits + static_cast<size_t>(y) * stride + area.left(),
                    tile + static_cast<size_t>((y - at.y()) * m_cellWidth + (area.left() - at.x())), width);
}

void TLogTiles::CopyRow(QImage &page, QPoint at, const int *cells, size_t count, const QRect &clip) const
{
    const QRect whole(at, QSize(m_cellWidth * static_cast<int>(count), m_lineHeight));
    if (count == 0 || !(clip & page.rect()).contains(whole)) {
        for (size_t i = 0; i < count; ++i)
            Copy(page, at + QPoint(m_cellWidth * static_cast<int>(i), 0), cells[i], clip);
        return;
    }
    // A page line at a time: the row's pixels are written in the order they lie in memory, where
    // a cell at a time wrote a few pixels to each of many lines, then the next cell to the same.
    const auto stride = static_cast<size_t>(page.bytesPerLine()) / sizeof(uint32_t);
    auto *bits = reinterpret_cast<uint32_t *>(const_cast<uchar *>(page.constBits()));
    const auto width = static_cast<size_t>(m_cellWidth);
    const size_t cellPixels = width * static_cast<size_t>(m_lineHeight);
    for (int y = 0; y < m_lineHeight; ++y) {
        uint32_t *line = bits + static_cast<size_t>(at.y() + y) * stride + at.x();
        const size_t from = static_cast<size_t>(y) * width;
        for (size_t i = 0; i < count; ++i, line += width)
            std::memcpy(line, m_pixels.data() + static_cast<size_t>(cells[i]) * cellPixels + from,
                        width * sizeof(uint32_t));
    }
}
