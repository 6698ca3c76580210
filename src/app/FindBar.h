#pragma once
// The find bar over the traffic log: a text (or hex bytes, matched against the logged bytes),
// next and previous, every match in the visible lines highlighted. A search runs in slices of a
// few milliseconds between the window's other events, so data keep arriving during a long search.
#include "data/findpattern.h"

#include <QTimer>
#include <QWidget>

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
    // The match last found, as a line and column of the log (-1 when none).
    int MatchLine() const { return m_line; }
    int MatchColumn() const { return m_column; }
    QString Status() const;

signals:
    void Finished(bool found);

private:
    void Start(bool forward);
    void RunSlice();
    void Done(bool found);
    bool UpdatePattern();
    int Units() const;
    // Looks in one line (text) or one block (hex); on a match sets the position and selection.
    bool SearchUnit(int unit, bool first);

    TTrafficLog *m_log;
    QLineEdit *m_find;
    QCheckBox *m_hex;
    QCheckBox *m_matchCase;
    QLabel *m_status;
    CFindPattern m_pattern;
    QTimer m_slices;

    bool m_forward = true;
    int m_line = -1;   // current match (text: line; hex: block)
    int m_column = -1; // text only
    int m_next = 0;    // the unit the running search looks at next
    int m_visited = 0; // units looked at, to stop after one full round
};
