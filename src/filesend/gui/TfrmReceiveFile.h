#pragma once
// Asks where files from the device go and by which protocol they come: XMODEM and XMODEM-1K carry
// no name, so the file's name is asked too; YMODEM and ZMODEM name their files themselves.
#include "filesend/filetransfer.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;

// What the dialog asked last, proposed again next time.
struct ST_ReceiveFileChoice
{
    QString Folder; // empty: the documents folder, else home
    ETransferProtocol Protocol = ETransferProtocol::Ymodem;
    QString FileName; // XMODEM's
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
};
