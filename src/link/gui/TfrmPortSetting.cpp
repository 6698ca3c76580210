#include "link/gui/TfrmPortSetting.h"

#include "platform/errors.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char *const kBaudRates[] = {"110",    "300",    "600",    "1200",   "2400",   "4800",
                                  "9600",   "14400",  "19200",  "28800",  "38400",  "56000",
                                  "57600",  "115200", "128000", "230400", "256000", "345600",
                                  "460800", "512000", "691200", "921600"};

TfrmPortSetting::PortSource &Source()
{
    static TfrmPortSetting::PortSource source;
    return source;
}

QString L1(const std::string &text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToL1(const QString &text)
{
    return text.toLatin1().toStdString();
}

QComboBox *MakeList(QWidget *parent, const char *name, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    box->setCurrentIndex(-1);
    return box;
}

QLineEdit *MakeEdit(QWidget *parent, const char *name, const char *text)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(name);
    return edit;
}

} // namespace

void TfrmPortSetting::SetPortSource(PortSource source)
{
    Source() = std::move(source);
}

TfrmPortSetting::TfrmPortSetting(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmPortSetting");
    setWindowTitle("Port Setting");

    QStringList baud, parity, stopBits, flow;
    for (const char *b : kBaudRates)
        baud << b;
    for (const ST_CodeLabel &item : kParityItems)
        parity << item.Label;
    for (const ST_CodeLabel &item : kStopBitsItems)
        stopBits << item.Label;
    for (const char *label : kFlowControlLabels)
        flow << label;

    edLinkName = MakeEdit(this, "edLinkName", "LinkSetting");
    cboPortName = MakeList(this, "cboPortName", {});
    // A port that is not listed (a pseudo-terminal, a device plugged in later) can be typed.
    cboPortName->setEditable(true);
    cboPortName->setInsertPolicy(QComboBox::NoInsert);
    cboBaudRate = MakeList(this, "cboBaudRate", baud);
    cboByteSize = MakeList(this, "cboByteSize", {"5", "6", "7", "8"});
    cboParity = MakeList(this, "cboParity", parity);
    cboStopBits = MakeList(this, "cboStopBits", stopBits);
    cboDataFlowControl = MakeList(this, "cboDataFlowControl", flow);
    edInputBufferLen = MakeEdit(this, "edInputBufferLen", "1024");
    edOutputBufferLen = MakeEdit(this, "edOutputBufferLen", "1024");

    auto *top = new QFormLayout;
    top->addRow("LinkName", edLinkName);
    top->addRow("Port Name", cboPortName);

    auto *group = new QGroupBox("Port Setting", this);
    group->setObjectName("gbPortSetting");
    auto *lines = new QFormLayout(group);
    lines->addRow("Baud Rate", cboBaudRate);
    lines->addRow("Byte Size", cboByteSize);
    lines->addRow("Parity", cboParity);
    lines->addRow("Stop Bits", cboStopBits);
    lines->addRow("Data Flow Control", cboDataFlowControl);

    auto *buffers = new QFormLayout;
    buffers->addRow("Input Buffer", edInputBufferLen);
    buffers->addRow("Output Buffer", edOutputBufferLen);

    btnOK = new QPushButton("&OK", this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);

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
    const std::vector<ST_PortInfo> ports = Source() ? Source()() : EnumerateSerialPorts();
    for (const ST_PortInfo &port : ports) {
        cboPortName->addItem(L1(port.Name), L1(port.Path));
        if (!port.Description.empty())
            cboPortName->setItemData(cboPortName->count() - 1, L1(port.Description), Qt::ToolTipRole);
    }
    cboPortName->setCurrentIndex(cboPortName->count() > 0 ? 0 : -1);
}

void TfrmPortSetting::FillFromLink(const COM_PORT_SETTING &link)
{
    edLinkName->setText(L1(link.LinkName));

    const int port = cboPortName->findText(L1(link.PortName), Qt::MatchFixedString);
    cboPortName->setCurrentIndex(port);
    if (port < 0)
        cboPortName->setEditText(L1(link.PortName)); // kept, so confirming does not lose it

    cboBaudRate->setCurrentIndex(cboBaudRate->findText(QString::number(link.Baud)));
    cboByteSize->setCurrentIndex(cboByteSize->findText(QString::number(link.DataBits)));
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
    if (cboPortName->count() > 0 && cboPortName->findText(L1(link.PortName), Qt::MatchFixedString) < 0)
        link.PortName = ToL1(cboPortName->itemText(0));
}

void TfrmPortSetting::ReadToLink(COM_PORT_SETTING &link) const
{
    COM_PORT_SETTING read = link;
    read.LinkName = ToL1(edLinkName->text());
    read.PortName = ToL1(cboPortName->currentText().trimmed());
    read.Baud = StrToInt(ToL1(cboBaudRate->currentText()));
    read.DataBits = static_cast<uint8_t>(StrToInt(ToL1(cboByteSize->currentText())));
    if (const int i = cboParity->currentIndex(); i >= 0)
        read.ParityCode = kParityItems[static_cast<size_t>(i)].Code;
    if (const int i = cboStopBits->currentIndex(); i >= 0)
        read.StopBitsCode = kStopBitsItems[static_cast<size_t>(i)].Code;
    if (const int i = cboDataFlowControl->currentIndex(); i >= 0)
        read.FlowControl = i;
    read.InputBufferLen = StrToInt(ToL1(edInputBufferLen->text()));
    read.OutputBufferLen = StrToInt(ToL1(edOutputBufferLen->text()));
    link = std::move(read);
}
