#pragma once
// View > Frames: the table of frames, with what it needs around it. Above the table a hint line
// (framing is off; or the gap asked for is below what the adapter can show, with the command that
// lowers its latency timer, to copy, never run by us), a bar to filter by direction, verdict and
// text, to find, and to save as CSV; under it a note of the frames the memory limit let go.
// The table follows the stream unless the user scrolled away from its end, as the log does.
#include "frame/gui/TFramesModel.h"

#include <QTimer>
#include <QWidget>
#include <memory>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QToolButton;
struct ST_FramingInfo;

class TFramesView : public QWidget
{
    Q_OBJECT
public:
    explicit TFramesView(QWidget *parent = nullptr);
    ~TFramesView() override;

    TFramesModel &Model() { return *m_model; }
    QTableView &Table() { return *m_table; }

    // What the hint line says: `device` is the port's device ("/dev/ttyUSB0"), for the command.
    void ShowFraming(const ST_FramingInfo &info, const QString &device);
    // Why the profile's decoder could not be made ("" when it could), under the framing's words.
    void ShowDecoderError(const QString &error);

    // The selected rows as CSV lines, header first; or as the text of their cells, a tab between
    // columns.
    QString SelectedCsv() const;
    QString SelectedText() const;
    void CopySelected(bool csv);
    // Finds the next (or previous) frame holding the find field's text and selects it.
    bool FindNext(bool forward);
    // Saves the visible frames as CSV on a thread of its own: the store is copied (memory only,
    // quick) and the copy written; the result is told in the note line. A view that goes while
    // it saves waits for the file to be whole.
    void SaveCsv(const QString &path);

signals:
    void Saved(bool ok, const QString &message);

protected:
    void changeEvent(QEvent *event) override;

private:
    void ShowHint();
    void ApplyFilter();
    void AfterBatch();
    std::vector<int> SelectedRows() const;

    TFramesModel *m_model;
    QLabel *m_hint;
    QComboBox *m_direction;
    QComboBox *m_verdict;
    QLineEdit *m_filterText;
    QLineEdit *m_findText;
    QToolButton *m_findPrevious;
    QToolButton *m_findNext;
    QToolButton *m_save;
    QTableView *m_table;
    QLabel *m_note;
    QString m_saveNote;
    QString m_framingHint;
    QString m_decoderError;
    std::thread m_saver;
    QTimer m_filterPause;
    bool m_follow = true;
};
