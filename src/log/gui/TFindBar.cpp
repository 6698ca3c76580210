#include "log/gui/TFindBar.h"

#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QToolButton>
#include <algorithm>
#include <tuple>

namespace {

// Long enough to get through many lines per pass, short enough that a received block waits well
// under a screen refresh.
constexpr qint64 kSliceNs = 5'000'000;
// Bytes looked at between readings of the clock, and the most one step looks at in a line: a
// single line can be megabytes long. A line's own cost beyond its bytes counts as kLineCost.
constexpr size_t kStepBytes = 64 * 1024;
constexpr size_t kLineCost = 256;

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
    // Its mnemonics stay off the main menus' letters (File, View, Edit, Operate, Help): the bar
    // stays open while the user goes on using the menus.
    auto *label = new QLabel(tr("F&ind:"), this);
    label->setObjectName(QStringLiteral("lbFind"));
    row->addWidget(label);
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("edFind"));
    m_find->setAccessibleName(tr("Find"));
    label->setBuddy(m_find);
    row->addWidget(m_find, 1);
    m_hex = new QCheckBox(tr("He&x bytes"), this);
    m_hex->setObjectName(QStringLiteral("chkFindHex"));
    m_hex->setAccessibleName(tr("Hex bytes"));
    row->addWidget(m_hex);
    m_matchCase = new QCheckBox(tr("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("chkFindMatchCase"));
    m_matchCase->setAccessibleName(tr("Match case"));
    row->addWidget(m_matchCase);
    QToolButton *previous =
        AddButton(this, row, "btnFindPrevious", tr("Previous"), tr("Find Previous (Shift+F3)"));
    QToolButton *next = AddButton(this, row, "btnFindNext", tr("Next"), tr("Find Next (F3)"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lbFindStatus"));
    m_status->setAccessibleName(tr("Find result"));
    row->addWidget(m_status);
    QToolButton *close = AddButton(this, row, "btnFindClose", QStringLiteral("x"), tr("Close Find Bar"));

    m_slices.setInterval(0);
    connect(&m_slices, &QTimer::timeout, this, &TFindBar::RunSlice);
    connect(next, &QToolButton::clicked, this, &TFindBar::FindNext);
    connect(previous, &QToolButton::clicked, this, &TFindBar::FindPrevious);
    connect(close, &QToolButton::clicked, this, &TFindBar::Close);
    connect(m_find, &QLineEdit::returnPressed, this, &TFindBar::FindNext);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, &TFindBar::Close);
    const auto changed = [this] {
        // A search under way was for the old pattern.
        m_slices.stop();
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
    if (m_otherView)
        m_otherView->setFocus();
    else
        m_log->setFocus();
}

void TFindBar::SearchOther(QWidget *view, FindIn find)
{
    m_slices.stop();
    m_line = m_column = -1;
    m_otherView = view;
    m_findOther = view ? std::move(find) : FindIn();
    m_hex->setEnabled(!view);
    m_status->clear();
}

QString TFindBar::Status() const
{
    return m_status->text();
}

bool TFindBar::UpdatePattern()
{
    // Text is looked for as the log shows it.
    const QString text = m_find->text();
    const QByteArray needle = m_log->Utf8() && !m_hex->isChecked() ? text.toUtf8() : text.toLatin1();
    const bool ok = m_pattern.Set(needle.toStdString(), m_hex->isChecked(), m_matchCase->isChecked());
    if (!ok)
        m_pattern = CFindPattern();
    m_status->setText(!ok && !m_find->text().isEmpty() ? tr("Not valid hex") : QString());
    if (m_pattern.IsEmpty() || m_pattern.IsHex() || isHidden()) {
        m_log->SetHighlighter({});
    } else {
        const CFindPattern pattern = m_pattern;
        m_log->SetHighlighter(
            [pattern](const std::string &line) { return pattern.FindAll(line.data(), line.size()); });
    }
    return ok;
}

int TFindBar::MatchLine() const
{
    return m_line < FirstKept() || m_line >= End() ? -1 : Displayed(m_line);
}

qint64 TFindBar::Base() const
{
    // Displayed lines count from the first kept line, after the marker line when any went.
    const auto dropped = static_cast<qint64>(m_log->DroppedLines());
    return dropped > 0 ? dropped - 1 : 0;
}

qint64 TFindBar::FirstKept() const
{
    return static_cast<qint64>(m_log->DroppedLines());
}

qint64 TFindBar::End() const
{
    return m_log->LineCount() + Base();
}

int TFindBar::UnitOf(qint64 line) const
{
    const int shown = Displayed(line);
    return m_pattern.IsHex() ? static_cast<int>(m_log->BlockOfLine(shown)) : shown;
}

qint64 TFindBar::LineOfUnit(int unit) const
{
    return (m_pattern.IsHex() ? m_log->FirstLineOfBlock(static_cast<size_t>(unit)) : unit) + Base();
}

int TFindBar::FirstUnit() const
{
    // In text, the marker line is no logged data.
    return m_pattern.IsHex() || m_log->DroppedLines() == 0 ? 0 : 1;
}

int TFindBar::UnitCount() const
{
    return m_pattern.IsHex() ? static_cast<int>(m_log->BlockCount()) : m_log->LineCount();
}

void TFindBar::Start(bool forward)
{
    if (isHidden())
        show();
    if (m_otherView) {
        if (!m_find->text().isEmpty())
            Done(m_findOther(m_find->text(), forward, m_matchCase->isChecked()));
        return;
    }
    if (m_pattern.IsEmpty() && !UpdatePattern())
        return;
    const qint64 first = FirstKept();
    if (first >= End()) {
        Done(false);
        return;
    }
    m_forward = forward;
    m_wrapped = false;
    m_from = kFresh;
    if (m_line >= End())
        m_line = m_column = -1; // the log was cleared
    if (m_line >= first) {
        // On from the current match: past it, or before it, in its line; hex moves on to the
        // next block.
        m_next = m_line;
        if (m_pattern.IsHex()) {
            m_log->BlockBytes(static_cast<size_t>(UnitOf(m_line)), m_from);
        } else {
            m_from = static_cast<size_t>(forward ? m_column + 1 : m_column);
        }
    } else if (m_line >= 0) {
        // The match's line went with the oldest lines.
        m_line = m_column = -1;
        m_next = first;
    } else if (forward) {
        // Without a match yet, the search begins where the user looks.
        const int top = std::min(m_log->verticalScrollBar()->value(), m_log->LineCount() - 1);
        m_next = std::max(first, top + Base());
    } else {
        m_next = End() - 1;
    }
    m_start = m_next;
    m_status->setText(tr("Searching..."));
    // The first slice runs at once; one that ends the search also stops the timer.
    m_slices.start();
    RunSlice();
}

TFindBar::Step TFindBar::SearchStep(int unit, size_t &work)
{
    const size_t n = m_pattern.Needle().size();
    const char *data = nullptr;
    size_t size = 0;
    const auto block = static_cast<size_t>(unit);
    if (m_pattern.IsHex()) {
        data = reinterpret_cast<const char *>(m_log->BlockBytes(block, size));
    } else {
        std::tie(data, size) = m_log->LineView(unit);
    }
    if (m_from == kFresh)
        work += kLineCost;
    size_t at = CFindPattern::npos;
    // A step looks at the matches starting in at most kStepBytes places; the bytes beyond them it
    // needs are at most the needle's length.
    if (m_forward || m_pattern.IsHex()) {
        const size_t from = m_from == kFresh ? 0 : m_from;
        const size_t limit = from >= size || size - from <= kStepBytes + n ? size : from + kStepBytes + n - 1;
        at = m_pattern.FindNext(data, limit, from);
        work += limit - std::min(from, limit);
        m_from = limit == size ? kFresh : from + kStepBytes;
    } else {
        const size_t before = m_from == kFresh ? size + 1 : m_from;
        const size_t low = before > kStepBytes ? before - kStepBytes : 0;
        at = m_pattern.FindPrevious(data + std::min(low, size), size - std::min(low, size), before - low);
        if (at != CFindPattern::npos)
            at += low;
        work += before - low;
        m_from = low == 0 ? kFresh : low;
    }
    if (at == CFindPattern::npos)
        return m_from == kFresh ? Step::UnitDone : Step::UnitGoesOn;
    if (m_pattern.IsHex()) {
        // The whole block is the match: its bytes need not be what its lines show.
        const int firstLine = m_log->FirstLineOfBlock(block);
        const int lastLine =
            (block + 1 < m_log->BlockCount() ? m_log->FirstLineOfBlock(block + 1) : m_log->LineCount()) - 1;
        m_line = LineOfUnit(unit);
        m_column = 0;
        m_log->SetSelection(firstLine, 0, lastLine, static_cast<int>(m_log->LineText(lastLine).size()));
        m_log->ShowLine(firstLine);
    } else {
        m_line = LineOfUnit(unit);
        m_column = static_cast<int>(at);
        m_log->SetSelection(unit, m_column, unit, m_column + static_cast<int>(n));
        m_log->ShowLine(unit);
    }
    return Step::Found;
}

bool TFindBar::Advance(int &unit, int startUnit)
{
    m_from = kFresh;
    unit += m_forward ? 1 : -1;
    if (unit < FirstUnit() || unit >= UnitCount()) {
        if (m_wrapped)
            return false;
        m_wrapped = true;
        unit = m_forward ? FirstUnit() : UnitCount() - 1;
    }
    // The round ends with the unit it began with, looked at again whole: a single match in the
    // log is found again after going round.
    return !m_wrapped || (m_forward ? unit <= startUnit : unit >= startUnit);
}

void TFindBar::RunSlice()
{
    const qint64 first = FirstKept();
    if (m_next < first) {
        // Lines went from the top since the last slice, the one looked at among them.
        m_next = first;
        m_from = kFresh;
    }
    if (m_next >= End()) { // cleared meanwhile
        Done(false);
        return;
    }
    int unit = UnitOf(m_next);
    // A start that went with the old lines lies before every unit.
    const int startUnit = m_start < first ? -1 : UnitOf(m_start);
    QElapsedTimer clock;
    clock.start();
    size_t work = 0;
    for (;;) {
        const Step step = SearchStep(unit, work);
        if (step == Step::Found) {
            Done(true);
            return;
        }
        if (step == Step::UnitDone && !Advance(unit, startUnit)) {
            Done(false);
            return;
        }
        if (work >= kStepBytes) {
            if (clock.nsecsElapsed() > kSliceNs)
                break;
            work = 0;
        }
    }
    // The timer brings the next slice.
    m_next = LineOfUnit(unit);
}

void TFindBar::Done(bool found)
{
    m_slices.stop();
    m_status->setText(found ? QString() : tr("Not found"));
    emit Finished(found);
}
