#pragma once
// File > Replay Capture...: which recording, where it plays (into the window as received data,
// or out of a pseudo-terminal for another program), how fast, and whether it answers requests.
// Stays open beside the window while the replay runs, for Step and Stop; its owner does the work
// and tells it how the replay goes.
#include "replay/replaydevice.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

struct ST_ReplayChoice
{
    enum class ETarget { Window, VirtualPort };
    QString File;
    ETarget Target = ETarget::Window;
    ST_ReplayOptions Options;
};

class TfrmReplay : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmReplay(QWidget *parent);
    ST_ReplayChoice Choice() const;
    // A replay runs (Start off, Stop on; Step on when it goes step by step).
    void SetRunning(bool running, bool stepping);
    void SetStatus(const QString &text);

signals:
    void StartAsked(const ST_ReplayChoice &choice);
    void StepAsked();
    void StopAsked();

private:
    QLineEdit *m_file;
    QComboBox *m_target;
    QComboBox *m_speed;
    QCheckBox *m_answer;
    QPushButton *m_start;
    QPushButton *m_step;
    QPushButton *m_stop;
    QLabel *m_status;
};
