#include "transfer/gui/TfrmSendFile.h"
#include "transfer/gui/transferbuttons.h"

#include "data/gui/dialogsupport.h"
#include "platform/errors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TfrmSendFile::TfrmSendFile(QWidget *parent, const ST_SendFileChoice &proposed) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSendFile"));
    setWindowTitle(tr("Send File"));
    auto *column = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    column->addLayout(form);

    auto *row = new QHBoxLayout;
    m_path = new QLineEdit(proposed.Path, this);
    m_path->setObjectName(QStringLiteral("edFile"));
    m_path->setAccessibleName(tr("File"));
    m_path->setMinimumWidth(320);
    auto *browse = new QPushButton(tr("&Browse..."), this);
    browse->setObjectName(QStringLiteral("btnBrowse"));
    browse->setAccessibleName(tr("Browse"));
    browse->setAutoDefault(false);
    row->addWidget(m_path, 1);
    row->addWidget(browse);
    auto *fileLabel = new QLabel(tr("&File:"), this);
    fileLabel->setBuddy(m_path);
    form->addRow(fileLabel, row);

    // In the order of ETransferProtocol.
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("cboProtocol"));
    m_protocol->setAccessibleName(tr("Protocol"));
    for (const ETransferProtocol protocol :
         {ETransferProtocol::Raw, ETransferProtocol::Xmodem, ETransferProtocol::Xmodem1K,
          ETransferProtocol::Ymodem, ETransferProtocol::Zmodem})
        m_protocol->addItem(QString::fromLatin1(TransferProtocolName(protocol)));
    m_protocol->setCurrentIndex(static_cast<int>(proposed.Protocol));
    form->addRow(tr("&Protocol:"), m_protocol);

    m_lineDelay = new QSpinBox(this);
    m_lineDelay->setObjectName(QStringLiteral("edLineDelay"));
    m_lineDelay->setAccessibleName(tr("Line delay (ms)"));
    m_lineDelay->setRange(0, 10000);
    m_lineDelay->setValue(proposed.LineDelayMs);
    form->addRow(tr("&Line delay (ms):"), m_lineDelay);
    // For lines that eat XON/XOFF or other control characters on the way.
    m_escapeControls = new QCheckBox(tr("&Escape every control character"), this);
    m_escapeControls->setObjectName(QStringLiteral("chkEscapeControls"));
    m_escapeControls->setAccessibleName(tr("Escape every control character"));
    m_escapeControls->setChecked(proposed.EscapeAllControls);
    form->addRow(QString(), m_escapeControls);
    const auto protocolChanged = [this] {
        const int protocol = m_protocol->currentIndex();
        m_lineDelay->setEnabled(protocol == static_cast<int>(ETransferProtocol::Raw));
        m_escapeControls->setEnabled(protocol == static_cast<int>(ETransferProtocol::Zmodem));
    };
    connect(m_protocol, &QComboBox::currentIndexChanged, this, protocolChanged);
    protocolChanged();

    column->addWidget(TransferButtons(this, tr("&Send"), QStringLiteral("btnSend"), tr("Send")));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(this, tr("Send File"), m_path->text());
        if (!chosen.isEmpty())
            m_path->setText(chosen);
    });
}

ST_SendFileChoice TfrmSendFile::Choice() const
{
    ST_SendFileChoice choice;
    choice.Path = m_path->text().trimmed();
    choice.Protocol = static_cast<ETransferProtocol>(m_protocol->currentIndex());
    choice.LineDelayMs = m_lineDelay->value();
    choice.EscapeAllControls = m_escapeControls->isChecked();
    return choice;
}

ST_TransferOptions TfrmSendFile::Options() const
{
    ST_TransferOptions options;
    options.Protocol = Choice().Protocol;
    if (options.Protocol == ETransferProtocol::Raw)
        options.LineDelayMs = static_cast<uint32_t>(m_lineDelay->value());
    options.EscapeAllControls =
        options.Protocol == ETransferProtocol::Zmodem && m_escapeControls->isChecked();
    return options;
}

void TfrmSendFile::accept()
{
    try {
        m_file = TransferFileAt(Choice().Path.toLocal8Bit().toStdString());
    } catch (const EFOpenError &error) {
        ShowErrorBox(this, error);
        m_path->setFocus();
        return;
    }
    QDialog::accept();
}
