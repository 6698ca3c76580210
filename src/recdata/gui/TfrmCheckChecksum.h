#pragma once
// Whether the log checks the checksum that received frames carry, which checksum, and whether a
// frame is each received block or each line.
#include "data/checksum.h"
#include "recdata/checksumcheck.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QPushButton;
class QRadioButton;
class QSettings;
class TChecksumEdit;

struct ST_RecvChecksumChoice
{
    bool On = false;
    // The checksum of the most common binary protocol on serial lines, ready when turned on.
    ST_ChecksumSpec Spec{EChecksumKind::Crc16Modbus, {}, EByteOrder::LittleEndian};
    ECheckCover Cover = ECheckCover::Blocks;

    bool operator==(const ST_RecvChecksumChoice &o) const;
    bool operator!=(const ST_RecvChecksumChoice &o) const { return !(*this == o); }
};

// Values "RecvChecksumOn", "RecvChecksumLines" and the spec under "RecvChecksum".
void SaveRecvChecksumChoice(QSettings &settings, const ST_RecvChecksumChoice &choice);
// A store without the values reads as the default (off). `prefix` goes before each name.
ST_RecvChecksumChoice LoadRecvChecksumChoice(const QSettings &settings, const QString &prefix = QString());

class TfrmCheckChecksum : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmCheckChecksum(QWidget *owner);

    ST_RecvChecksumChoice Choice() const;
    void SetChoice(const ST_RecvChecksumChoice &choice);
    // Shows the dialog with `choice`; on OK, `choice` takes the new one and true is returned.
    static bool Ask(QWidget *owner, ST_RecvChecksumChoice &choice);

private:
    void Confirm();

    QCheckBox *chkCheckChecksum;
    TChecksumEdit *edCheckChecksum;
    QRadioButton *rdCheckBlocks;
    QRadioButton *rdCheckLines;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
