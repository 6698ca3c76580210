#pragma once
// Edits one link. Always filled with FillFromLink before it is shown; after OK the link manager
// reads it back with ReadToLink. OK refuses a byte size that is not 5 to 8; any other number
// that is not an integer surfaces as EConvertError when it is read back.
#include "link/linksetting.h"
#include "serial/portlist.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

class TfrmPortSetting : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmPortSetting(QWidget *owner);

    void FillFromLink(const COM_PORT_SETTING &link);
    // For a new link: the port the machine's list ranks first (RankPorts), else "ttyS0".
    void ProposeListedPort(COM_PORT_SETTING &link) const;
    // Fills `link` from the controls, or throws EConvertError and leaves it unchanged (a byte
    // size outside 5 to 8 included). A parity, stop-bits or flow-control list with nothing
    // chosen keeps the value `link` already has.
    void ReadToLink(COM_PORT_SETTING &link) const;

    // Where the port list comes from; tests put in their own. An empty function restores the
    // ports present on the machine.
    using PortSource = std::function<std::vector<ST_PortInfo>()>;
    static void SetPortSource(PortSource source);
    // The ports the port list offers, from that source.
    static std::vector<ST_PortInfo> FoundPorts();

    // The network addresses ("rfc2217://HOST:PORT", "socket://HOST:PORT") of links confirmed
    // before, most recent first; the port list offers them after the ports of the machine, which
    // it never looks for on the network. Remembering a name that is not such an address does
    // nothing, so a user who never types one finds no new value in the settings.
    static QStringList RememberedNetworkPorts();
    static void RememberNetworkPort(const std::string &portName);

    void accept() override;

private:
    void FillPortList();

    QLineEdit *edLinkName;
    QComboBox *cboPortName;
    QComboBox *cboBaudRate;
    QComboBox *cboByteSize;
    QComboBox *cboParity;
    QComboBox *cboStopBits;
    QComboBox *cboDataFlowControl;
    QLineEdit *edInputBufferLen;
    QLineEdit *edOutputBufferLen;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    std::vector<std::string> m_foundPorts; // the machine's ports, ranked, without the network addresses
};
