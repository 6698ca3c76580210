#pragma once
// Capture to file: every line that reaches the log, as shown, or the raw received bytes, appended
// to a file while traffic runs, with the capture's size in the status bar. A capture that fails
// stops at once and says so in one message box and one diagnostic-log line.
#include "platform/capturefile.h"

#include <QDialog>
#include <QObject>
#include <QTimer>
#include <functional>

class QLabel;
class QLineEdit;
class QRadioButton;
class TTrafficLog;

// Asks for the capture file and what goes into it. OK starts the capture through `start` (0 or
// the errno of opening the file); a file that cannot be created keeps the dialog open, so the
// user can correct the path.
class TfrmCapture : public QDialog
{
    Q_OBJECT
public:
    using Starter = std::function<int(const QString &path, bool raw)>;
    TfrmCapture(QWidget *parent, const QString &folder, Starter start);
    QString Path() const;
    bool Raw() const;
    void accept() override;

private:
    QLineEdit *m_path;
    QRadioButton *m_raw;
    Starter m_start;
};

class TLogCapture : public QObject
{
    Q_OBJECT
public:
    // The panel that shows the capture is made on `statusBar`; its owner places it (Label).
    TLogCapture(TTrafficLog *log, QWidget *statusBar);
    ~TLogCapture() override;

    // 0 or the errno of opening the file.
    int Start(const QString &path, bool raw);
    // Ends the capture with the file synced to the disk; a failure that ended it is reported.
    void Stop();
    bool IsRunning() const { return m_file.IsRunning(); }
    CCaptureFile &File() { return m_file; }
    QLabel *Label() const { return m_label; }

signals:
    void StateChanged();

private:
    void ShowSize();
    void Report(int error);

    TTrafficLog *m_log;
    QLabel *m_label;
    QTimer m_sizeTimer;
    CCaptureFile m_file;
    QString m_path;
    bool m_raw = false;
};
