#pragma once
// Draws 8-bit log text cell by cell from glyphs looked up once per font. Laying text out through
// the text engine costs tens of microseconds a line; a fixed grid of cells needs none of it, and
// it keeps every column in place even where the font's advance is not a whole pixel.
#include <QRawFont>
#include <QVector>
#include <array>
#include <cstddef>

class QPainter;
class QPointF;

class LogGlyphs
{
public:
    void SetFont(const QFont &font);

    // Draws `length` characters from `text` with the left edge of the first cell at `origin.x()`
    // and the baseline at `origin.y()`. False, nothing drawn, when the font lacks one of them.
    bool Draw(QPainter &painter, const QPointF &origin, const char *text, size_t length, int cellWidth);

private:
    QRawFont m_font;
    std::array<quint32, 256> m_glyphs{};
    QVector<quint32> m_indexes;
    QVector<QPointF> m_positions;
};
