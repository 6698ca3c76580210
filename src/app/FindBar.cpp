#include "app/FindBar.h"

#include "app/TrafficLog.h"
#include "data/gui/dialogsupport.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QToolButton>

namespace {

// Long enough to get through many lines per pass, short enough that a received block waits no
// longer than a screen refresh.
constexpr qint64 kSliceNs = 8'000'000;

QToolButton *AddButton(QWidget *bar, QHBoxLayout *row, const char *name, const QString &text,
                       const QString &tip)
{
    QToolButton *button = MakeToolButton(bar, name, text, tip);
    row->addWidget(button);
    return button;
}

} // namespace

TFindBar::TFindBar(QWidget *parent, TTrafficLog *log) : QWidget(parent), m_log(log)
{
    setObjectName(QStringLiteral("pnlFind"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    auto *label = new QLabel(QStringLiteral("&Find:"), this);
    label->setObjectName(QStringLiteral("lbFind"));
    row->addWidget(label);
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("edFind"));
    m_find->setAccessibleName(QStringLiteral("Find"));
    label->setBuddy(m_find);
    row->addWidget(m_find, 1);
    m_hex = new QCheckBox(QStringLiteral("He&x bytes"), this);
    m_hex->setObjectName(QStringLiteral("chkFindHex"));
    m_hex->setAccessibleName(QStringLiteral("Hex bytes"));
    row->addWidget(m_hex);
    m_matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("chkFindMatchCase"));
    m_matchCase->setAccessibleName(QStringLiteral("Match case"));
    row->addWidget(m_matchCase);
    QToolButton *previous = AddButton(this, row, "btnFindPrevious", QStringLiteral("Previous"),
                                      QStringLiteral("Find Previous (Shift+F3)"));
    QToolButton *next =
        AddButton(this, row, "btnFindNext", QStringLiteral("Next"), QStringLiteral("Find Next (F3)"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lbFindStatus"));
    m_status->setAccessibleName(QStringLiteral("Find result"));
    row->addWidget(m_status);
    QToolButton *close =
        AddButton(this, row, "btnFindClose", QStringLiteral("x"), QStringLiteral("Close Find Bar"));

    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, &TFindBar::RunSlice);
    connect(next, &QToolButton::clicked, this, &TFindBar::FindNext);
    connect(previous, &QToolButton::clicked, this, &TFindBar::FindPrevious);
    connect(close, &QToolButton::clicked, this, &TFindBar::Close);
    connect(m_find, &QLineEdit::returnPressed, this, &TFindBar::FindNext);
    const auto changed = [this] {
        m_line = m_column = -1;
        UpdatePattern();
    };
    connect(m_find, &QLineEdit::textChanged, this, changed);
    connect(m_hex, &QCheckBox::toggled, this, changed);
    connect(m_matchCase, &QCheckBox::toggled, this, changed);
    hide();
}

void TFindBar::Open()
{
    show();
    m_find->setFocus();
    m_find->selectAll();
    UpdatePattern();
}

void TFindBar::Close()
{
    m_slices.stop();
    hide();
    m_log->SetHighlighter({});
    m_log->setFocus();
}

QString TFindBar::Status() const
{
    return m_status->text();
}

bool TFindBar::UpdatePattern()
{
    const bool ok =
        m_pattern.Set(m_find->text().toLatin1().toStdString(), m_hex->isChecked(), m_matchCase->isChecked());
    if (!ok)
        m_pattern = CFindPattern();
    m_status->setText(!ok && !m_find->text().isEmpty() ? QStringLiteral("Not valid hex") : QString());
    if (m_pattern.IsEmpty() || m_pattern.IsHex() || isHidden()) {
        m_log->SetHighlighter({});
    } else {
        const CFindPattern pattern = m_pattern;
        m_log->SetHighlighter(
            [pattern](const std::string &line) { return pattern.FindAll(line.data(), line.size()); });
    }
    return ok;
}

int TFindBar::Units() const
{
    return m_pattern.IsHex() ? static_cast<int>(m_log->BlockCount()) : m_log->LineCount();
}

void TFindBar::Start(bool forward)
{
    if (isHidden())
        show();
    if (m_pattern.IsEmpty() && !UpdatePattern())
        return;
    const int units = Units();
    if (units == 0) {
        Done(false);
        return;
    }
    m_forward = forward;
    m_visited = 0;
    if (m_line >= units)
        m_line = m_column = -1;
    if (m_line < 0) {
        // Without a match yet, the search begins where the user looks.
        const int top = std::min(m_log->verticalScrollBar()->value(), m_log->LineCount() - 1);
        const int line = std::max(0, top);
        m_next = m_pattern.IsHex() ? static_cast<int>(m_log->BlockOfLine(line)) : line;
        if (!forward)
            m_next = units - 1;
        m_column = -1;
    } else {
        m_next = m_line;
    }
    m_status->setText(QStringLiteral("Searching..."));
    // The first slice runs at once; one that ends the search also stops the timer.
    m_slices.start();
    RunSlice();
}

bool TFindBar::SearchUnit(int unit, bool first)
{
    if (m_pattern.IsHex()) {
        // A block is one unit: the search moves on past the block of the current match.
        if (first && unit == m_line)
            return false;
        size_t length = 0;
        const uint8_t *bytes = m_log->BlockBytes(static_cast<size_t>(unit), length);
        if (length == 0 ||
            m_pattern.FindNext(reinterpret_cast<const char *>(bytes), length) == CFindPattern::npos)
            return false;
        const int firstLine = m_log->FirstLineOfBlock(static_cast<size_t>(unit));
        int lastLine = firstLine;
        while (lastLine + 1 < m_log->LineCount() &&
               static_cast<int>(m_log->BlockOfLine(lastLine + 1)) == unit)
            ++lastLine;
        m_line = unit;
        m_column = 0;
        m_log->SetSelection(firstLine, 0, lastLine, static_cast<int>(m_log->LineText(lastLine).size()));
        m_log->ShowLine(firstLine);
        return true;
    }
    const auto [text, size] = m_log->LineView(unit);
    size_t at = CFindPattern::npos;
    const bool current = first && unit == m_line;
    if (m_forward) {
        const size_t from = current ? static_cast<size_t>(m_column + 1) : 0;
        at = m_pattern.FindNext(text, size, from);
    } else {
        const size_t before = current ? static_cast<size_t>(m_column) : size + 1;
        at = m_pattern.FindPrevious(text, size, before);
    }
    if (at == CFindPattern::npos)
        return false;
    m_line = unit;
    m_column = static_cast<int>(at);
    m_log->SetSelection(unit, m_column, unit, m_column + static_cast<int>(m_pattern.Needle().size()));
    m_log->ShowLine(unit);
    return true;
}

void TFindBar::RunSlice()
{
    const int units = Units();
    if (units == 0) {
        Done(false);
        return;
    }
    QElapsedTimer clock;
    clock.start();
    // One unit more than a full round: the line of the current match is looked at again from its
    // start, so a single match in the log is found again after going round.
    while (m_visited <= units) {
        for (int i = 0; i < 512 && m_visited <= units; ++i) {
            if (m_next >= units)
                m_next = 0;
            if (m_next < 0)
                m_next = units - 1;
            const bool first = m_visited == 0;
            ++m_visited;
            if (SearchUnit(m_next, first)) {
                Done(true);
                return;
            }
            m_next += m_forward ? 1 : -1;
        }
        if (clock.nsecsElapsed() > kSliceNs)
            return; // the timer brings the next slice
    }
    Done(false);
}

void TFindBar::Done(bool found)
{
    m_slices.stop();
    m_status->setText(found ? QString() : QStringLiteral("Not found"));
    emit Finished(found);
}
