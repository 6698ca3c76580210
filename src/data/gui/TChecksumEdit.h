#pragma once
// Choosing a checksum: the algorithm, the parameters of a custom CRC (shown only for it) and the
// order its bytes go on the line. The send side and the receive side use the same control and
// keep their choices in the settings the same way.
#include "data/checksum.h"

#include <QDialog>
#include <QString>
#include <QWidget>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSettings;

class TChecksumEdit : public QWidget
{
    Q_OBJECT
public:
    explicit TChecksumEdit(QWidget *parent = nullptr);

    // A custom parameter that does not read as hex is taken as 0; SpecValid says so.
    ST_ChecksumSpec Spec() const;
    void SetSpec(const ST_ChecksumSpec &spec);
    // False, with the reason in `why` when given, for custom parameters that make no CRC.
    bool SpecValid(QString *why) const;

signals:
    void changed();

private:
    void KindChosen();
    void UpdateShown();

    QComboBox *cboChecksumKind;
    QWidget *pnlCustomCrc;
    QComboBox *cboCrcWidth;
    QLineEdit *edCrcPoly;
    QLineEdit *edCrcInit;
    QLineEdit *edCrcXorOut;
    QCheckBox *chkCrcRefIn;
    QCheckBox *chkCrcRefOut;
    QComboBox *cboChecksumOrder;
};

// Asks for a checksum with OK and Cancel; OK is refused while the custom parameters are wrong.
class TfrmChecksumSetting : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmChecksumSetting(QWidget *owner);

    ST_ChecksumSpec Spec() const;
    void SetSpec(const ST_ChecksumSpec &spec);
    // Shows the dialog with `spec`; on OK, `spec` takes the choice and true is returned.
    static bool Ask(QWidget *owner, ST_ChecksumSpec &spec);
    // For Append Checksum: asks with the last choice of the run; nothing for Cancel or None.
    static std::optional<ST_ChecksumSpec> AskForAppend(QWidget *owner);

private:
    TChecksumEdit *edChecksum;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};

// One value per field under `prefix` (prefix + "Kind", "CrcWidth", "CrcPoly", "CrcInit",
// "CrcXorOut", "CrcRefIn", "CrcRefOut", "Order"). A missing or bad value reads as the default:
// no checksum, the standard order of the algorithm, the default custom parameters.
void SaveChecksumSpec(QSettings &settings, const QString &prefix, const ST_ChecksumSpec &spec);
ST_ChecksumSpec LoadChecksumSpec(const QSettings &settings, const QString &prefix);
