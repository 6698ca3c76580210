#pragma once
// The find bar over the traffic log: a text (or hex bytes, matched against the logged bytes),
// next and previous, every match in the visible lines highlighted. A search runs in slices of a
// few milliseconds between the window's other events, so data keep arriving during a long search.
//
// Positions are kept as line numbers counted from the first line logged since the log was last
// cleared, which the dropping of old lines leaves unchanged: a search goes on at the same text
// however many lines went meanwhile, and from the first kept line when its own line went.
#include "data/findpattern.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class TTrafficLog;

class TFindBar : public QWidget
{
    Q_OBJECT
public:
    TFindBar(QWidget *parent, TTrafficLog *log);

    void Open(); // shows the bar and puts the focus in its field
    void Close();
    void FindNext() { Start(true); }
    void FindPrevious() { Start(false); }
    bool Busy() const { return m_slices.isActive(); }
    // The match last found, as a displayed line (hex: the first line of its block) and column of
    // the log; -1 when none, or when its line was dropped.
    int MatchLine() const;
    int MatchColumn() const { return MatchLine() < 0 ? -1 : m_column; }
    QString Status() const;

    // Another view in the log's place (the console) is searched instead of the log while this is
    // set: `find` looks from that view's selection on and says whether it found the text. Its
    // text is no logged bytes, so Hex is off meanwhile. Unset (null view), the log again.
    using FindIn = std::function<bool(const QString &text, bool forward, bool matchCase)>;
    void SearchOther(QWidget *view, FindIn find);

signals:
    void Finished(bool found);

private:
    enum class Step { Found, UnitDone, UnitGoesOn };

    void Start(bool forward);
    void RunSlice();
    void Done(bool found);
    bool UpdatePattern();
    // Looks on in the unit from m_from, through a bounded number of bytes (adding them to
    // `work`); on a match sets the position and selection.
    Step SearchStep(int unit, size_t &work);
    // Moves to the next unit in the search's direction; false once the round is complete.
    bool Advance(int &unit, int startUnit);

    // Between slices positions are absolute lines, counted from the first line logged since the
    // log was last cleared; within a slice, where nothing is logged or dropped, units as the log
    // counts them: displayed lines in text, blocks in hex.
    qint64 Base() const;
    qint64 FirstKept() const;
    qint64 End() const;
    int Displayed(qint64 line) const { return static_cast<int>(line - Base()); }
    int UnitOf(qint64 line) const;
    qint64 LineOfUnit(int unit) const;
    int FirstUnit() const;
    int UnitCount() const;

    TTrafficLog *m_log;
    QLineEdit *m_find;
    QCheckBox *m_hex;
    QCheckBox *m_matchCase;
    QLabel *m_status;
    CFindPattern m_pattern;
    QTimer m_slices;
    QWidget *m_otherView = nullptr;
    FindIn m_findOther;

    static constexpr size_t kFresh = static_cast<size_t>(-1);

    bool m_forward = true;
    qint64 m_line = -1; // current match (hex: its block's first line)
    int m_column = -1;  // text only
    qint64 m_next = 0;  // a line of the unit the running search looks at next
    // Where the search in that unit goes on: forwards the first place a match may start,
    // backwards the place matches start before; kFresh for the whole unit.
    size_t m_from = kFresh;
    qint64 m_start = 0; // a line of the unit the round began with; it ends there, looked at whole
    bool m_wrapped = false;
};
