#include "transfer/gui/TfrmReceiveFile.h"
#include "transfer/gui/transferbuttons.h"

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
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

// The list's order.
constexpr ETransferProtocol kProtocols[] = {ETransferProtocol::Xmodem, ETransferProtocol::Xmodem1K,
                                            ETransferProtocol::Ymodem, ETransferProtocol::Zmodem};

} // namespace

TfrmReceiveFile::TfrmReceiveFile(QWidget *parent, const ST_ReceiveFileChoice &proposed) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReceiveFile"));
    setWindowTitle(tr("Receive File"));
    auto *column = new QVBoxLayout(this);
    auto *form = new QFormLayout;
    column->addLayout(form);

    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("cboProtocol"));
    m_protocol->setAccessibleName(tr("Protocol"));
    for (const ETransferProtocol protocol : kProtocols) {
        m_protocol->addItem(QString::fromLatin1(TransferProtocolName(protocol)), static_cast<int>(protocol));
        if (protocol == proposed.Protocol)
            m_protocol->setCurrentIndex(m_protocol->count() - 1);
    }
    form->addRow(tr("&Protocol:"), m_protocol);

    auto *row = new QHBoxLayout;
    m_folder = new QLineEdit(proposed.Folder.isEmpty() ? UserFilesFolder() : proposed.Folder, this);
    m_folder->setObjectName(QStringLiteral("edFolder"));
    m_folder->setAccessibleName(tr("Folder"));
    m_folder->setMinimumWidth(320);
    auto *browse = new QPushButton(tr("&Browse..."), this);
    browse->setObjectName(QStringLiteral("btnBrowse"));
    browse->setAccessibleName(tr("Browse"));
    browse->setAutoDefault(false);
    row->addWidget(m_folder, 1);
    row->addWidget(browse);
    auto *folderLabel = new QLabel(tr("F&older:"), this);
    folderLabel->setBuddy(m_folder);
    form->addRow(folderLabel, row);

    m_fileName = new QLineEdit(proposed.FileName, this);
    m_fileName->setObjectName(QStringLiteral("edFileName"));
    m_fileName->setAccessibleName(tr("File"));
    form->addRow(tr("&File:"), m_fileName);
    m_sizeMax = new QSpinBox(this);
    m_sizeMax->setObjectName(QStringLiteral("spnUnknownSizeMax"));
    m_sizeMax->setAccessibleName(tr("Largest file of unknown size"));
    m_sizeMax->setRange(1, 1024 * 1024);
    m_sizeMax->setSuffix(tr(" MiB"));
    m_sizeMax->setValue(proposed.UnknownSizeMaxMiB);
    form->addRow(tr("File of unknown size &at most:"), m_sizeMax);
    m_keepParts = new QCheckBox(tr("&Keep what a broken receive got, for a sender that resumes"), this);
    m_keepParts->setObjectName(QStringLiteral("chkKeepParts"));
    m_keepParts->setAccessibleName(tr("Keep broken receives for resuming"));
    m_keepParts->setChecked(proposed.KeepParts);
    form->addRow(m_keepParts);
    auto *partsNote = new QLabel(tr("Kept parts are hidden files in the folder, named .<file>.part."), this);
    partsNote->setObjectName(QStringLiteral("lblKeepPartsNote"));
    partsNote->setAccessibleName(tr("Where kept parts are"));
    partsNote->setTextFormat(Qt::PlainText);
    form->addRow(partsNote);
    const auto protocolChanged = [this] { m_fileName->setEnabled(NamesNoFile(Choice().Protocol)); };
    connect(m_protocol, &QComboBox::currentIndexChanged, this, protocolChanged);
    protocolChanged();

    column->addWidget(TransferButtons(this, tr("&Receive"), QStringLiteral("btnReceive"), tr("Receive")));
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(this, tr("Receive File"), m_folder->text());
        if (!chosen.isEmpty())
            m_folder->setText(chosen);
    });
}

bool TfrmReceiveFile::NamesNoFile(ETransferProtocol protocol)
{
    return protocol == ETransferProtocol::Xmodem || protocol == ETransferProtocol::Xmodem1K;
}

ST_ReceiveFileChoice TfrmReceiveFile::Choice() const
{
    ST_ReceiveFileChoice choice;
    choice.Folder = m_folder->text().trimmed();
    choice.Protocol = static_cast<ETransferProtocol>(m_protocol->currentData().toInt());
    choice.FileName = m_fileName->text().trimmed();
    choice.KeepParts = m_keepParts->isChecked();
    choice.UnknownSizeMaxMiB = m_sizeMax->value();
    return choice;
}

void TfrmReceiveFile::accept()
{
    const ST_ReceiveFileChoice choice = Choice();
    QLineEdit *wrong = nullptr;
    QString text;
    if (!QFileInfo(choice.Folder).isDir()) {
        wrong = m_folder;
        text = tr("The folder %1 does not exist.").arg(choice.Folder);
    } else if (NamesNoFile(choice.Protocol) && choice.FileName.isEmpty()) {
        wrong = m_fileName;
        text = tr("%1 sends no file name: name the file.")
                   .arg(QString::fromLatin1(TransferProtocolName(choice.Protocol)));
    }
    if (wrong != nullptr) {
        ShowMessage(this, text);
        wrong->setFocus();
        return;
    }
    QDialog::accept();
}
