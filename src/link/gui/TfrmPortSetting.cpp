#include "link/gui/TfrmPortSetting.h"

#include "data/gui/dialogsupport.h"
#include "platform/errors.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/coretext.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>
#include <utility>

namespace {

const char *const kBaudRates[] = {"110",    "300",    "600",    "1200",   "2400",   "4800",
                                  "9600",   "14400",  "19200",  "28800",  "38400",  "56000",
                                  "57600",  "115200", "128000", "230400", "256000", "345600",
                                  "460800", "512000", "691200", "921600"};

// Kept beside the windows' values, not in one window's group: the links are shared by all.
const char kNetworkPorts[] = "NetworkPorts";
constexpr int kMostNetworkPorts = 10;

bool IsNetworkName(const QString &name)
{
    return name.startsWith(QLatin1String("rfc2217://"), Qt::CaseInsensitive) ||
           name.startsWith(QLatin1String("socket://"), Qt::CaseInsensitive);
}

TfrmPortSetting::PortSource &Source()
{
    static TfrmPortSetting::PortSource source;
    return source;
}

QComboBox *MakeList(QWidget *parent, const char *name, const QStringList &items)
{
    auto *box = Named(new QComboBox(parent), name);
    box->addItems(items);
    box->setCurrentIndex(-1);
    return box;
}

QComboBox *AllowTyping(QComboBox *box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    // No completion: typing "12800" or "ttyS1" must not turn into the listed "128000" or "ttyS10".
    box->setCompleter(nullptr);
    return box;
}

// The item that reads `text`, or the text itself in the edit field when no item does.
void ShowChoice(QComboBox *box, const QString &text, Qt::MatchFlags match = Qt::MatchExactly)
{
    const int at = box->findText(text, match);
    box->setCurrentIndex(at);
    if (at < 0)
        box->setEditText(text);
}

// A line carries 5 to 8 data bits. The link keeps the size in 8 bits, so a larger number would
// not be refused later but stored as another one (300 as 44).
int ByteSizeOf(const QComboBox *box)
{
    const std::string text = ToLatin1(box->currentText());
    const int bits = StrToInt(text);
    if (bits < 5 || bits > 8)
        throw EConvertError(text);
    return bits;
}

} // namespace

void TfrmPortSetting::SetPortSource(PortSource source)
{
    Source() = std::move(source);
}

std::vector<ST_PortInfo> TfrmPortSetting::FoundPorts()
{
    return Source() ? Source()() : EnumerateSerialPorts();
}

QStringList TfrmPortSetting::RememberedNetworkPorts()
{
    QStringList names = OpenAppSettings().value(QLatin1String(kNetworkPorts)).toStringList();
    names.removeIf([](const QString &name) { return !IsNetworkName(name); });
    return names.mid(0, kMostNetworkPorts);
}

void TfrmPortSetting::RememberNetworkPort(const std::string &portName)
{
    const QString name = FromLatin1(portName).trimmed();
    if (!IsNetworkName(name))
        return;
    QStringList names = RememberedNetworkPorts();
    // Host names and schemes ignore letter case: the spelling used last replaces an older one.
    names.removeIf([&name](const QString &old) { return old.compare(name, Qt::CaseInsensitive) == 0; });
    names.prepend(name);
    OpenAppSettings().setValue(QLatin1String(kNetworkPorts), names.mid(0, kMostNetworkPorts));
}

TfrmPortSetting::TfrmPortSetting(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmPortSetting");
    setWindowTitle(tr("Port Setting"));

    QStringList baud, parity, stopBits, flow;
    for (const char *b : kBaudRates)
        baud << b;
    for (const ST_CodeLabel &item : kParityItems)
        parity << item.Label;
    for (const ST_CodeLabel &item : kStopBitsItems)
        stopBits << item.Label;
    for (const char *label : kFlowControlLabels)
        flow << label;

    edLinkName = Named(new QLineEdit("LinkSetting", this), "edLinkName");
    cboPortName = MakeList(this, "cboPortName", {});
    // Deliberately open to typing, unlike a plain pick list: Linux does not list every device
    // (a pseudo-terminal, an adapter the scan does not know), and a link whose port is not listed
    // must keep its name rather than lose it to an empty choice.
    AllowTyping(cboPortName);
    // Rates and sizes beyond the items can be typed; the line takes any rate the driver accepts.
    cboBaudRate = AllowTyping(MakeList(this, "cboBaudRate", baud));
    cboByteSize = AllowTyping(MakeList(this, "cboByteSize", {"5", "6", "7", "8"}));
    cboParity = MakeList(this, "cboParity", parity);
    cboStopBits = MakeList(this, "cboStopBits", stopBits);
    cboDataFlowControl = MakeList(this, "cboDataFlowControl", flow);
    edInputBufferLen = Named(new QLineEdit("1024", this), "edInputBufferLen");
    edOutputBufferLen = Named(new QLineEdit("1024", this), "edOutputBufferLen");

    auto *top = new QFormLayout;
    top->addRow(tr("LinkName"), edLinkName);
    top->addRow(tr("Port Name"), cboPortName);

    auto *group = Named(new QGroupBox(tr("Port Setting"), this), "gbPortSetting");
    auto *lines = new QFormLayout(group);
    lines->addRow(tr("Baud Rate"), cboBaudRate);
    lines->addRow(tr("Byte Size"), cboByteSize);
    lines->addRow(tr("Parity"), cboParity);
    lines->addRow(tr("Stop Bits"), cboStopBits);
    lines->addRow(tr("Data Flow Control"), cboDataFlowControl);

    auto *buffers = new QFormLayout;
    buffers->addRow(tr("Input Buffer"), edInputBufferLen);
    buffers->addRow(tr("Output Buffer"), edOutputBufferLen);

    QHBoxLayout *buttons = MakeOkCancelRow(this, btnOK, btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(group);
    layout->addLayout(buffers);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    FillPortList();
}

void TfrmPortSetting::FillPortList()
{
    std::vector<ST_PortInfo> ports = FoundPorts();
    RankPorts(ports);
    for (const ST_PortInfo &port : ports) {
        if (port.Demo)
            continue;
        m_foundPorts.push_back(port.Name);
        cboPortName->addItem(FromLatin1(port.Name), FromLatin1(port.Path));
        if (!port.Description.empty())
            cboPortName->setItemData(cboPortName->count() - 1, FromLatin1(port.Description), Qt::ToolTipRole);
    }
    for (const QString &address : RememberedNetworkPorts())
        if (cboPortName->findText(address, Qt::MatchFixedString) < 0)
            cboPortName->addItem(address, address);
    const int onMachine = cboPortName->count();
    // Last and set apart: they are always there, and are no device of the machine.
    bool first = true;
    for (const ST_PortInfo &port : ports) {
        if (!port.Demo)
            continue;
        if (std::exchange(first, false) && onMachine > 0)
            cboPortName->insertSeparator(cboPortName->count());
        cboPortName->addItem(FromLatin1(port.Name), FromLatin1(port.Path));
        const QString description = CoreText(port.Description);
        cboPortName->setItemData(cboPortName->count() - 1, description, Qt::ToolTipRole);
        cboPortName->setItemData(cboPortName->count() - 1, description, Qt::AccessibleDescriptionRole);
    }
    cboPortName->setCurrentIndex(onMachine > 0 ? 0 : -1);
}

void TfrmPortSetting::FillFromLink(const COM_PORT_SETTING &link)
{
    edLinkName->setText(FromLatin1(link.LinkName));

    // A local name matches a listed one in any letter case; a network address only as it is
    // written, so the link keeps its own spelling.
    const QString port = FromLatin1(link.PortName);
    ShowChoice(cboPortName, port,
               IsNetworkName(port) ? Qt::MatchFixedString | Qt::MatchCaseSensitive : Qt::MatchFixedString);
    ShowChoice(cboBaudRate, QString::number(link.Baud));
    ShowChoice(cboByteSize, QString::number(link.DataBits));
    cboParity->setCurrentIndex(ParityIndex(link.ParityCode));
    const int stop = StopBitsIndex(link.StopBitsCode);
    if (stop >= 0)
        cboStopBits->setCurrentIndex(stop);
    const bool flowListed =
        link.FlowControl >= 0 && link.FlowControl < static_cast<int>(kFlowControlLabels.size());
    cboDataFlowControl->setCurrentIndex(flowListed ? link.FlowControl : -1);

    edInputBufferLen->setText(QString::number(link.InputBufferLen));
    edOutputBufferLen->setText(QString::number(link.OutputBufferLen));
}

void TfrmPortSetting::ProposeListedPort(COM_PORT_SETTING &link) const
{
    link.PortName = ProposedPortName(m_foundPorts);
}

void TfrmPortSetting::ReadToLink(COM_PORT_SETTING &link) const
{
    COM_PORT_SETTING read = link;
    read.LinkName = ToLatin1(edLinkName->text());
    read.PortName = ToLatin1(cboPortName->currentText().trimmed());
    read.Baud = StrToInt(ToLatin1(cboBaudRate->currentText()));
    read.DataBits = static_cast<uint8_t>(ByteSizeOf(cboByteSize));
    if (const int i = cboParity->currentIndex(); i >= 0)
        read.ParityCode = kParityItems[static_cast<size_t>(i)].Code;
    if (const int i = cboStopBits->currentIndex(); i >= 0)
        read.StopBitsCode = kStopBitsItems[static_cast<size_t>(i)].Code;
    if (const int i = cboDataFlowControl->currentIndex(); i >= 0)
        read.FlowControl = i;
    read.InputBufferLen = StrToInt(ToLatin1(edInputBufferLen->text()));
    read.OutputBufferLen = StrToInt(ToLatin1(edOutputBufferLen->text()));
    link = std::move(read);
}

// A byte size that is not 5 to 8 keeps the dialog open, with the text there to be put right.
void TfrmPortSetting::accept()
{
    try {
        ByteSizeOf(cboByteSize);
    } catch (const EConvertError &error) {
        ShowErrorBox(this, error);
        cboByteSize->setFocus();
        return;
    }
    QDialog::accept();
}
