#include "replay/gui/TfrmReplay.h"

#include "data/gui/dialogsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

template <typename T> T *Named(T *widget, const char *name, const QString &accessible)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

// The speeds in the order the list shows them; a step is its own way of going.
struct ST_Speed
{
    double Speed;
    bool Step;
};
const ST_Speed kSpeeds[] = {{1, false}, {2, false}, {10, false}, {0, false}, {1, true}};

} // namespace

TfrmReplay::TfrmReplay(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReplay"));
    setWindowTitle(tr("Replay Capture"));
    setAccessibleName(windowTitle());
    auto *column = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    auto *fileRow = new QHBoxLayout;
    m_file = Named(new QLineEdit(this), "edReplayFile", tr("Recording to replay"));
    m_file->setMinimumWidth(320);
    m_file->setToolTip(tr("A pcapng file this program wrote, or a text or raw capture"));
    auto *browse = Named(new QPushButton(tr("&Browse..."), this), "btnReplayBrowse", tr("Browse"));
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(browse);
    auto *fileLabel = new QLabel(tr("&File:"), this);
    fileLabel->setBuddy(m_file);
    form->addRow(fileLabel, fileRow);
    m_target = Named(new QComboBox(this), "cbReplayTarget", tr("Where the recording plays"));
    m_target->addItems(
        {tr("Into this window, as received data"), tr("Out of a virtual port, for another program")});
    form->addRow(tr("&Play:"), m_target);
    m_speed = Named(new QComboBox(this), "cbReplaySpeed", tr("Replay speed"));
    m_speed->addItems({tr("At the recorded pace"), tr("2 times as fast"), tr("10 times as fast"),
                       tr("As fast as possible"), tr("Frame by frame")});
    form->addRow(tr("&Speed:"), m_speed);
    column->addLayout(form);
    m_answer = Named(new QCheckBox(tr("&Answer requests with the recorded answers"), this), "chkReplayAnswer",
                     tr("Answer requests with the recorded answers"));
    m_answer->setToolTip(tr("The recording plays a device: each request of the program under test gets "
                            "the answer recorded for it"));
    column->addWidget(m_answer);
    m_status = Named(new QLabel(this), "lblReplayStatus", tr("Replay status"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_status);

    auto *buttons = new QDialogButtonBox(this);
    m_start = Named(buttons->addButton(tr("S&tart"), QDialogButtonBox::ActionRole), "btnReplayStart",
                    tr("Start the replay"));
    m_step = Named(buttons->addButton(tr("St&ep"), QDialogButtonBox::ActionRole), "btnReplayStep",
                   tr("Play the next frame"));
    m_stop = Named(buttons->addButton(tr("St&op"), QDialogButtonBox::ActionRole), "btnReplayStop",
                   tr("Stop the replay"));
    auto *close = Named(buttons->addButton(QDialogButtonBox::Close), "btnReplayClose", tr("Close"));
    column->addWidget(buttons);
    SetRunning(false, false);

    connect(browse, &QPushButton::clicked, this, [this] {
        QFileDialog dialog(this);
        dialog.setObjectName(QStringLiteral("dlgReplayFile"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(
            {tr("Captures(*.pcapng *.pcapng.gz *.log *.txt *.bin *.raw *.gz)"), tr("All files(*)")});
        dialog.setDirectory(m_file->text().isEmpty() ? UserFilesFolder()
                                                     : QFileInfo(m_file->text()).absolutePath());
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            m_file->setText(dialog.selectedFiles().first());
    });
    connect(m_speed, &QComboBox::currentIndexChanged, this, [this] {
        // A device that answers goes at the pace of the requests, never step by step.
        m_answer->setEnabled(!kSpeeds[m_speed->currentIndex()].Step);
    });
    connect(m_start, &QPushButton::clicked, this, [this] {
        if (!m_file->text().trimmed().isEmpty())
            emit StartAsked(Choice());
    });
    connect(m_step, &QPushButton::clicked, this, &TfrmReplay::StepAsked);
    connect(m_stop, &QPushButton::clicked, this, &TfrmReplay::StopAsked);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
}

ST_ReplayChoice TfrmReplay::Choice() const
{
    ST_ReplayChoice choice;
    choice.File = m_file->text().trimmed();
    choice.Target = m_target->currentIndex() == 1 ? ST_ReplayChoice::ETarget::VirtualPort
                                                  : ST_ReplayChoice::ETarget::Window;
    const ST_Speed &speed = kSpeeds[std::max(0, m_speed->currentIndex())];
    choice.Options.Speed = speed.Speed;
    choice.Options.Step = speed.Step;
    choice.Options.Answer = m_answer->isEnabled() && m_answer->isChecked();
    return choice;
}

void TfrmReplay::SetRunning(bool running, bool stepping)
{
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
    m_step->setEnabled(running && stepping);
}

void TfrmReplay::SetStatus(const QString &text)
{
    m_status->setText(text);
}
