#pragma once
// Asks for a file to send to the port and how: as it is (Raw, with a pause after each line if
// asked) or to a receiver that asks for it with XMODEM, XMODEM-1K, YMODEM or ZMODEM.
#include "transfer/filetransfer.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// What the dialog asked last, proposed again next time.
struct ST_SendFileChoice
{
    QString Path;
    ETransferProtocol Protocol = ETransferProtocol::Raw;
    int LineDelayMs = 0;
    bool EscapeAllControls = false; // ZMODEM
};

class TfrmSendFile : public QDialog
{
    Q_OBJECT
public:
    TfrmSendFile(QWidget *parent, const ST_SendFileChoice &proposed);
    ST_SendFileChoice Choice() const;
    ST_TransferOptions Options() const;
    // The file as found when Send was pressed.
    const ST_TransferFile &File() const { return m_file; }
    // A file that cannot be read keeps the dialog open with the reason.
    void accept() override;

private:
    QLineEdit *m_path;
    QComboBox *m_protocol;
    QSpinBox *m_lineDelay;
    QCheckBox *m_escapeControls;
    ST_TransferFile m_file;
};
