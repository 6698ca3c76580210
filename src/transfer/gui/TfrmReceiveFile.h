#pragma once
// Asks where files from the device go and by which protocol they come: XMODEM and XMODEM-1K carry
// no name, so the file's name is asked too; YMODEM and ZMODEM name their files themselves.
#include "transfer/filetransfer.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QPushButton;

// What the dialog asked last, proposed again next time.
struct ST_ReceiveFileChoice
{
    QString Folder; // empty: the documents folder, else home
    ETransferProtocol Protocol = ETransferProtocol::Ymodem;
    QString FileName; // XMODEM's
    // What a cancelled or failed receive leaves: its part, for a sender that resumes, or nothing.
    bool KeepParts = false;
    // The most a file of unknown size may take.
    int UnknownSizeMaxMiB = 1024;
};

class TfrmReceiveFile : public QDialog
{
    Q_OBJECT
public:
    TfrmReceiveFile(QWidget *parent, const ST_ReceiveFileChoice &proposed);
    ST_ReceiveFileChoice Choice() const;
    // Whether `protocol` leaves the file's name to the receiver.
    static bool NamesNoFile(ETransferProtocol protocol);
    // A folder that is not there, or a nameless protocol without a name, keeps the dialog open.
    void accept() override;

private:
    QComboBox *m_protocol;
    QLineEdit *m_folder;
    QLineEdit *m_fileName;
    QCheckBox *m_keepParts;
    QSpinBox *m_sizeMax;
};
