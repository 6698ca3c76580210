#include "app/LogGlyphs.h"

#include <QGlyphRun>
#include <QPainter>

void LogGlyphs::SetFont(const QFont &font)
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

bool LogGlyphs::Draw(QPainter &painter, const QPointF &origin, const char *text, size_t length, int cellWidth)
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
