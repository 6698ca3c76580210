#include "console/gui/TConsoleAccessible.h"

#include "console/gui/TConsoleView.h"

#include <QAccessibleEvent>

#include <algorithm>

namespace {

QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TConsoleView") && object && object->isWidgetType())
        return new TConsoleAccessible(static_cast<TConsoleView *>(object));
    return nullptr;
}

} // namespace

TConsoleAccessible::TConsoleAccessible(TConsoleView *view) : QAccessibleWidget(view, QAccessible::Terminal) {}

void TConsoleAccessible::Install()
{
    static const bool installed = [] {
        QAccessible::installFactory(&Factory);
        return true;
    }();
    (void)installed;
}

void TConsoleAccessible::Changed(TConsoleView *view)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(view);
    if (!iface || !iface->textInterface())
        return;
    QAccessibleTextUpdateEvent update(
        view, 0, QString(), iface->textInterface()->text(0, iface->textInterface()->characterCount()));
    QAccessible::updateAccessibility(&update);
    QAccessibleTextCursorEvent cursor(view, iface->textInterface()->cursorPosition());
    QAccessible::updateAccessibility(&cursor);
}

TConsoleView *TConsoleAccessible::View() const
{
    return static_cast<TConsoleView *>(widget());
}

void *TConsoleAccessible::interface_cast(QAccessible::InterfaceType t)
{
    if (t == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface *>(this);
    return QAccessibleWidget::interface_cast(t);
}

QAccessible::Role TConsoleAccessible::role() const
{
    return QAccessible::Terminal;
}

QString TConsoleAccessible::ScreenText(std::vector<int> *rowStarts) const
{
    const CConsoleScreen &screen = View()->Screen();
    QString text;
    for (int row = 0; row < screen.Rows(); ++row) {
        if (row > 0)
            text += QLatin1Char('\n');
        if (rowStarts)
            rowStarts->push_back(static_cast<int>(text.size()));
        text += QString::fromStdString(screen.RowText(row));
    }
    return text;
}

// The console's own selection is in its scrollback's terms; assistive tools see none.
void TConsoleAccessible::selection(int, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = 0;
}

int TConsoleAccessible::selectionCount() const
{
    return 0;
}

void TConsoleAccessible::addSelection(int, int) {}

void TConsoleAccessible::removeSelection(int) {}

void TConsoleAccessible::setSelection(int, int, int) {}

int TConsoleAccessible::cursorPosition() const
{
    std::vector<int> starts;
    const QString text = ScreenText(&starts);
    const CConsoleScreen &screen = View()->Screen();
    const ST_ConsolePos cursor = screen.Cursor();
    const size_t row = static_cast<size_t>(cursor.Row);
    const int lineEnd = row + 1 < starts.size() ? starts[row + 1] - 1 : static_cast<int>(text.size());
    // Columns are cells: a wide character takes two, a character outside the BMP two UTF-16 units.
    std::vector<ST_ConsoleCell> cells;
    screen.RowCells(cursor.Row, cells);
    int offset = starts[row];
    for (int col = 0; col < cursor.Col && col < static_cast<int>(cells.size()); ++col) {
        const ST_ConsoleCell &c = cells[static_cast<size_t>(col)];
        if (c.Width == 0)
            continue;
        offset += 1;
        for (size_t k = 0; k < ST_ConsoleCell::kMaxChars && c.Chars[k]; ++k)
            offset += (k > 0 ? 1 : 0) + (c.Chars[k] > 0xFFFF ? 1 : 0);
    }
    return std::min(offset, lineEnd);
}

void TConsoleAccessible::setCursorPosition(int) {}

QString TConsoleAccessible::text(int startOffset, int endOffset) const
{
    const QString all = ScreenText();
    startOffset = std::clamp(startOffset, 0, static_cast<int>(all.size()));
    endOffset = endOffset < 0 ? static_cast<int>(all.size())
                              : std::clamp(endOffset, startOffset, static_cast<int>(all.size()));
    return all.mid(startOffset, endOffset - startOffset);
}

QString TConsoleAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                         int *startOffset, int *endOffset) const
{
    std::vector<int> starts;
    const QString all = ScreenText(&starts);
    offset = std::clamp(offset, 0, static_cast<int>(all.size()));
    switch (boundaryType) {
    case QAccessible::CharBoundary:
        *startOffset = offset;
        *endOffset = std::min(offset + 1, static_cast<int>(all.size()));
        break;
    case QAccessible::LineBoundary:
    case QAccessible::ParagraphBoundary: {
        const auto it = std::upper_bound(starts.begin(), starts.end(), offset);
        *startOffset = *(it - 1);
        *endOffset = it == starts.end() ? static_cast<int>(all.size()) : *it - 1;
        break;
    }
    case QAccessible::WordBoundary:
    case QAccessible::SentenceBoundary: {
        int a = offset, b = offset;
        while (a > 0 && !all[a - 1].isSpace())
            --a;
        while (b < all.size() && !all[b].isSpace())
            ++b;
        *startOffset = a;
        *endOffset = b;
        break;
    }
    case QAccessible::NoBoundary:
        *startOffset = 0;
        *endOffset = static_cast<int>(all.size());
        break;
    }
    return all.mid(*startOffset, *endOffset - *startOffset);
}

int TConsoleAccessible::characterCount() const
{
    return static_cast<int>(ScreenText().size());
}

QRect TConsoleAccessible::characterRect(int offset) const
{
    std::vector<int> starts;
    ScreenText(&starts);
    const auto it = std::upper_bound(starts.begin(), starts.end(), offset);
    const int row = static_cast<int>(it - starts.begin()) - 1;
    const int col = offset - starts[static_cast<size_t>(std::max(row, 0))];
    const TConsoleView *view = View();
    const QWidget *port = view->viewport();
    const int w = port->width() / std::max(1, view->Cols()), h = port->height() / std::max(1, view->Rows());
    return QRect(port->mapToGlobal(QPoint(col * w, std::max(row, 0) * h)), QSize(w, h));
}

int TConsoleAccessible::offsetAtPoint(const QPoint &point) const
{
    const TConsoleView *view = View();
    const QWidget *port = view->viewport();
    const QPoint local = port->mapFromGlobal(point);
    if (!port->rect().contains(local))
        return -1;
    const int w = port->width() / std::max(1, view->Cols()), h = port->height() / std::max(1, view->Rows());
    std::vector<int> starts;
    const QString all = ScreenText(&starts);
    const int row = std::clamp(local.y() / std::max(1, h), 0, static_cast<int>(starts.size()) - 1);
    const int end = static_cast<size_t>(row) + 1 < starts.size() ? starts[static_cast<size_t>(row) + 1] - 1
                                                                 : static_cast<int>(all.size());
    return std::min(starts[static_cast<size_t>(row)] + local.x() / std::max(1, w), end);
}

void TConsoleAccessible::scrollToSubstring(int, int) {}

QString TConsoleAccessible::attributes(int offset, int *startOffset, int *endOffset) const
{
    *startOffset = *endOffset = offset;
    return QString();
}
