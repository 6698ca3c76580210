#include "monitor/gui/TfrmMonitorSetting.h"

#include "data/gui/dialogsupport.h"
#include "platform/gui/coretext.h"
#include "serial/portlist.h"
#include "serial/serial.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kVirtual = -1;

QString LinkText(const COM_PORT_SETTING &link)
{
    return FromLatin1(link.LinkName + " (" + link.PortName + ")");
}

int IndexOfLink(const QComboBox *box, const std::vector<COM_PORT_SETTING> &links, const std::string &name)
{
    for (int i = 0; i < box->count(); ++i) {
        const int at = box->itemData(i).toInt();
        if (at != kVirtual && links[static_cast<size_t>(at)].LinkName == name)
            return i;
    }
    return -1;
}

} // namespace

std::string DefaultVirtualPortPath()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder =
        runtime && *runtime && QDir(QString::fromLocal8Bit(runtime)).exists() ? runtime : "/tmp";
    // Not "kestrum-vport": that is the folder of the virtual devices the port list shows.
    return folder + "/kestrum-monitor";
}

TfrmMonitorSetting::TfrmMonitorSetting(QWidget *owner, std::vector<COM_PORT_SETTING> links,
                                       const ST_MonitorSetup &proposed)
    : QDialog(owner), m_links(std::move(links))
{
    setObjectName("frmMonitorSetting");
    setWindowTitle(tr("Monitor Two Ports"));

    cboPortA = Named(new QComboBox(this), "cboPortA");
    cboPortB = Named(new QComboBox(this), "cboPortB");
    // The demo devices after the links, each as a link of its own with the default settings.
    std::vector<QString> texts;
    for (const COM_PORT_SETTING &link : m_links)
        texts.push_back(LinkText(link));
    for (const ST_PortInfo &port : DemoPortList()) {
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.LinkName = port.Description;
        link.PortName = port.Name;
        m_links.push_back(link);
        texts.push_back(CoreText(port.Description) + QStringLiteral(" (") + FromLatin1(port.Name) + ')');
    }
    for (size_t i = 0; i < m_links.size(); ++i) {
        cboPortA->addItem(texts[i], static_cast<int>(i));
        cboPortB->addItem(texts[i], static_cast<int>(i));
    }
    cboPortB->addItem(tr("Virtual port"), kVirtual);
    chkBridge = Named(new QCheckBox(tr("Bridge"), this), "chkBridge");
    chkBridge->setToolTip(tr("Pass what arrives on each port on to the other"));
    cmbMonitorMaster = Named(new QComboBox(this), "cmbMonitorMaster");
    cmbMonitorMaster->addItem(tr("A"));
    cmbMonitorMaster->addItem(tr("B"));
    cmbMonitorMaster->setAccessibleName(tr("Master side"));
    cmbMonitorMaster->setToolTip(
        tr("The side whose frames are requests, paired with the other side's answers"));
    edVirtualPath = Named(new QLineEdit(this), "edVirtualPath");
    edVirtualPath->setMinimumWidth(260);
    cboPortA->setAccessibleName(tr("Port A"));
    cboPortB->setAccessibleName(tr("Port B"));
    chkBridge->setAccessibleName(tr("Bridge"));
    edVirtualPath->setAccessibleName(tr("Virtual port path"));

    auto *form = new QFormLayout;
    form->addRow(tr("Port A"), cboPortA);
    form->addRow(tr("Port B"), cboPortB);
    form->addRow(QString(), chkBridge);
    form->addRow(tr("Virtual port path"), edVirtualPath);
    form->addRow(tr("Master side"), cmbMonitorMaster);
    QHBoxLayout *buttons = MakeOkCancelRow(this, btnOK, btnCancel);
    btnOK->setAccessibleName(tr("OK"));
    btnCancel->setAccessibleName(tr("Cancel"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    cboPortA->setCurrentIndex(std::max(0, IndexOfLink(cboPortA, m_links, proposed.PortA.LinkName)));
    const int b = proposed.VirtualB ? -1 : IndexOfLink(cboPortB, m_links, proposed.PortB.LinkName);
    cboPortB->setCurrentIndex(b >= 0 ? b : cboPortB->count() - 1);
    chkBridge->setChecked(proposed.Bridge);
    cmbMonitorMaster->setCurrentIndex(proposed.MasterB ? 1 : 0);
    edVirtualPath->setText(QString::fromLocal8Bit(proposed.VirtualPath.empty() ? DefaultVirtualPortPath()
                                                                               : proposed.VirtualPath));
    UpdateVirtualPath();

    connect(cboPortB, &QComboBox::currentIndexChanged, this, &TfrmMonitorSetting::UpdateVirtualPath);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmMonitorSetting::UpdateVirtualPath()
{
    edVirtualPath->setEnabled(cboPortB->currentData().toInt() == kVirtual);
}

ST_MonitorSetup TfrmMonitorSetting::Setup() const
{
    ST_MonitorSetup setup;
    const int a = cboPortA->currentIndex() >= 0 ? cboPortA->currentData().toInt() : kVirtual;
    if (a != kVirtual)
        setup.PortA = m_links[static_cast<size_t>(a)];
    const int b = cboPortB->currentData().toInt();
    setup.VirtualB = b == kVirtual;
    if (setup.VirtualB)
        setup.VirtualPath = edVirtualPath->text().trimmed().toLocal8Bit().toStdString();
    else
        setup.PortB = m_links[static_cast<size_t>(b)];
    setup.Bridge = chkBridge->isChecked();
    setup.MasterB = cmbMonitorMaster->currentIndex() == 1;
    return setup;
}

QString TfrmMonitorSetting::Refusal() const
{
    if (cboPortA->currentIndex() < 0)
        return tr("There is no link for Port A: make one with Open Port first");
    const ST_MonitorSetup setup = Setup();
    if (setup.VirtualB) {
        const std::string &path = setup.VirtualPath;
        if (path.empty() || (path.front() != '/' && path.rfind("~/", 0) != 0))
            return tr("Enter the full path of the virtual port, such as ") +
                   QString::fromLocal8Bit(DefaultVirtualPortPath());
        return QString();
    }
    // Two links may name one device in different ways ("ttyUSB0", "/dev/ttyUSB0").
    if (CSerial::DevicePath(setup.PortA.PortName) == CSerial::DevicePath(setup.PortB.PortName))
        return tr("Port A and Port B are the same port");
    return QString();
}

void TfrmMonitorSetting::accept()
{
    const QString refusal = Refusal();
    if (!refusal.isEmpty()) {
        ShowMessage(this, refusal);
        return;
    }
    QDialog::accept();
}
