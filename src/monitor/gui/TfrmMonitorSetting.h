#pragma once
// Asks which two ports the monitor watches: port A is one of the links or a demo device, port B
// another of them or a virtual port made at a path the user names, and whether what arrives on one is passed
// on to the other; and which side is the master, whose frames are the requests answers are paired with. OK
// refuses the same port twice and a virtual port without a full path.
#include "link/linksetting.h"
#include "monitor/portmonitor.h"

#include <QDialog>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class TfrmMonitorSetting : public QDialog
{
    Q_OBJECT
public:
    // `links` fill both lists; `proposed` is chosen where its links are among them (by name).
    TfrmMonitorSetting(QWidget *owner, std::vector<COM_PORT_SETTING> links, const ST_MonitorSetup &proposed);

    // What the user chose; valid after OK.
    ST_MonitorSetup Setup() const;

    void accept() override;

private:
    // Why the choice cannot start, or the empty text.
    QString Refusal() const;
    void UpdateVirtualPath();

    std::vector<COM_PORT_SETTING> m_links;

    QComboBox *cboPortA;
    QComboBox *cboPortB;
    QCheckBox *chkBridge;
    QComboBox *cmbMonitorMaster;
    QLineEdit *edVirtualPath;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};

// Where a virtual port is proposed when the user named none before: in the user's runtime folder
// when the desktop has one, so no other user can put anything at that name first.
std::string DefaultVirtualPortPath();
