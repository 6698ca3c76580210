#pragma once
// Capture to file: every line that reaches the log, as shown, the raw received bytes, or every
// block both ways as a packet for the protocol analyser (pcapng), appended
// to a file while traffic runs, with the capture's size in the status bar. A capture that fails
// stops at once and says so in one message box and one diagnostic-log line.
//
// A capture may be kept with a link: it then starts whenever that link's port opens (after a
// reconnect, and at the next start of the program, which reads the choice back), and marks each
// start, loss and return of the port with a note line.
#include "log/capturefile.h"
#include "log/logrender.h"
#include "portbase/lineevent.h"

#include <QDialog>
#include <QObject>
#include <QTimer>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSettings;
class QSpinBox;
class TTrafficLog;

struct ST_CaptureChoice
{
    QString pattern; // a path whose file name may hold the fields of CCaptureNames
    bool raw = false;
    bool pcapng = false;       // over raw
    ST_CaptureOptions options; // its names are filled in when a file is started
    bool withLink = false;
};

// Asks for the capture file and what goes into it. OK starts the capture through `start` (0 or
// the errno of opening the file); a file that cannot be created keeps the dialog open, so the
// user can correct the path.
class TfrmCapture : public QDialog
{
    Q_OBJECT
public:
    using Starter = std::function<int(const ST_CaptureChoice &choice)>;
    // `last` fills the controls when it has a pattern; `link` names the link a capture can be
    // kept with (empty: there is none yet).
    TfrmCapture(QWidget *parent, const QString &folder, const ST_CaptureChoice &last, const QString &link,
                Starter start);
    ST_CaptureChoice Choice() const;
    void accept() override;

private:
    QLineEdit *m_path;
    QRadioButton *m_raw;
    QRadioButton *m_pcapng;
    QComboBox *m_newFile;
    QSpinBox *m_sizeMb;
    QCheckBox *m_compress;
    QCheckBox *m_keep;
    QSpinBox *m_keepCount;
    QComboBox *m_keepUnit;
    QCheckBox *m_withLink;
    Starter m_start;
};

class TLogCapture : public QObject
{
    Q_OBJECT
public:
    // The panel that shows the capture is made on `statusBar`; its owner places it (Label).
    TLogCapture(TTrafficLog *log, QWidget *statusBar);
    ~TLogCapture() override;

    // The values of {link}, {port} and {window} for the next file started.
    void SetNameSource(std::function<ST_CaptureNameValues()> source) { m_names = std::move(source); }
    // The port's name and line settings for a pcapng file's interface ("ttyUSB0 9600 8N1").
    void SetLinkDescription(std::function<std::pair<std::string, std::string>()> source)
    {
        m_describe = std::move(source);
    }

    // 0 or the errno of opening the file.
    int Start(const QString &path, bool raw);
    // A pcapng capture takes its packets from here, not from the log's lines (which a split or a
    // hold would cut and stamp otherwise): each block both ways as the traffic path runs it,
    // stamped when its first byte was read or its write began, and the line's events. The log
    // gives it only its notes. Nothing while no pcapng capture runs.
    void CapturePacket(LogDirection direction, const uint8_t *bytes, size_t length, int64_t wallMicros);
    void CaptureLineEvent(const ST_LineEvent &event, int64_t wallMicros);
    // A choice kept with `link` waits for that link's port unless `linkOpen`; 0 or the errno of
    // opening the first file.
    int Begin(const ST_CaptureChoice &choice, const QString &link, bool linkOpen);
    // The port of a link opened (again) or was lost.
    void LinkOpened(const QString &link);
    void LinkLost();
    // Ends the capture with the file synced to the disk; a failure that ended it is reported. A
    // capture kept with a link is let go.
    void Stop();
    bool IsRunning() const { return m_file.IsRunning(); }
    // A pcapng capture runs, which CapturePacket feeds.
    bool CapturesPackets() const { return m_pcapng && m_file.IsRunning(); }
    bool IsWaiting() const { return !m_link.isEmpty() && !m_file.IsRunning(); }
    const ST_CaptureChoice &LastChoice() const { return m_choice; }
    const QString &KeptWith() const { return m_link; }
    // After every value the window wrote before.
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;
    CCaptureFile &File() { return m_file; }
    QLabel *Label() const { return m_label; }

signals:
    void StateChanged();

private:
    int StartFile();
    void Note(const std::string &text);
    void ShowSize();
    void SizeMayChange();
    void ShowWaiting();
    void Report(int error);

    TTrafficLog *m_log;
    QLabel *m_label;
    QTimer m_sizeTimer;
    int64_t m_shownSize = -1;
    CCaptureFile m_file;
    uint64_t m_observer = 0;
    std::function<ST_CaptureNameValues()> m_names;
    std::function<std::pair<std::string, std::string>()> m_describe;
    ST_CaptureChoice m_choice;
    QString m_link; // the link the capture is kept with; empty: none
    QString m_path;
    std::string m_line;
    bool m_raw = false;
    bool m_pcapng = false;
};
