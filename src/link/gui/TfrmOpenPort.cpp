#include "link/gui/TfrmOpenPort.h"

#include "data/gui/TListButtons.h"
#include "data/gui/dialogsupport.h"
#include "frame/gui/TFramingStore.h"
#include "link/gui/TfrmPortSetting.h"
#include "link/linklist.h"
#include "platform/appfolder.h"
#include "platform/errors.h"
#include "platform/gui/coretext.h"
#include "serial/portlist.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct ColumnSpec
{
    const char *Caption;
    int Width;
};

const ColumnSpec kColumns[9] = {{QT_TRANSLATE_NOOP("TfrmOpenPort", "LinkName"), 75},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "Port Name"), 80},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "Baud Rate"), 70},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "Byte Size"), 70},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "Parity"), 50},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "Stop Bits"), 50},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "Data Flow Control"), 100},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "InputBuf"), 50},
                                {QT_TRANSLATE_NOOP("TfrmOpenPort", "OutputBuf"), 50}};

const char *const kLinkFilter =
    QT_TRANSLATE_NOOP("TfrmOpenPort", "Port Setting(*.cps)|*.cps|Text File(*.txt)|*.txt|All Files(*)|*");

// Opened in the app folder every time, wherever the last visit ended.
QString AskLinkFile(QFileDialog *dialog)
{
    dialog->setDirectory(QString::fromStdString(AppFolder()));
    return RunFileDialog(dialog);
}

} // namespace

TfrmOpenPort::TfrmOpenPort(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmOpenPort");
    setWindowTitle(tr("Open Port"));

    QStringList captions;
    for (const ColumnSpec &c : kColumns)
        captions << tr(c.Caption);
    lstLinkList = MakeRowList(this, "lstLinkList", captions);
    for (int i = 0; i < 9; ++i)
        lstLinkList->setColumnWidth(i, kColumns[i].Width);
    lstLinkList->setItemsExpandable(false);
    lstLinkList->setUniformRowHeights(true);
    lstLinkList->setAllColumnsShowFocus(true);
    lstLinkList->setSelectionMode(QAbstractItemView::SingleSelection);
    lstLinkList->setMouseTracking(true);
    int width = 0;
    for (const ColumnSpec &c : kColumns)
        width += c.Width;
    lstLinkList->setMinimumSize(width + 24, 220);

    m_buttons = new TListButtons(this,
                                 {
                                     {&btnOK, tr("&Open"), "btnOK"},
                                     {&btnCancel, tr("&Cancel"), "btnCancel"},
                                     {&btnNew, tr("&New"), "btnNew"},
                                     {&btnEdit, tr("&Edit"), "btnEdit", EListRole::Edit},
                                     {&btnLoad, tr("&Load"), "btnLoad"},
                                     {&btnSaveAs, tr("&Save As"), "btnSaveAs"},
                                     {&btnDelete, tr("&Delete"), "btnDelete", EListRole::Delete},
                                     {&btnDeleteAll, tr("Delete &All"), "btnDeleteAll", EListRole::DeleteAll},
                                 },
                                 false);
    btnOK->setDefault(true);
    btnEdit->setEnabled(false);
    btnDelete->setEnabled(false);
    btnDeleteAll->setEnabled(false);

    dlgLoad = MakeFileDialog(this, "dlgLoad", false, tr(kLinkFilter), "cps");
    dlgSave = MakeFileDialog(this, "dlgSave", true, tr(kLinkFilter), "cps");

    QVBoxLayout *side =
        m_buttons->Column({btnNew, btnEdit, btnDelete, btnDeleteAll, btnLoad, btnSaveAs, nullptr});
    auto *body = new QHBoxLayout;
    body->addWidget(lstLinkList);
    body->addLayout(side);
    lblNoLink = new QLabel(this);
    lblNoLink->setObjectName(QStringLiteral("lblNoLink"));
    lblNoLink->setAccessibleName(tr("No link yet"));
    lblNoLink->setWordWrap(true);
    lblNoLink->setTextFormat(Qt::PlainText);
    lblNoLink->hide();
    auto *demoGroup = Named(new QGroupBox(tr("Demo devices"), this), "gbDemoDevices");
    lstDemoDevices = Named(new QListWidget(demoGroup), "lstDemoDevices");
    lstDemoDevices->setAccessibleName(tr("Demo devices"));
    lstDemoDevices->setSelectionMode(QAbstractItemView::SingleSelection);
    auto *demoLayout = new QVBoxLayout(demoGroup);
    demoLayout->addWidget(lstDemoDevices);
    QHBoxLayout *bottom = RightAlignedRow(btnOK, btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body);
    layout->addWidget(lblNoLink);
    layout->addWidget(demoGroup);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(lstLinkList, &QTreeWidget::itemSelectionChanged, this, &TfrmOpenPort::lstLinkListChange);
    connect(lstLinkList, &QTreeWidget::itemDoubleClicked, this, &TfrmOpenPort::lstLinkListDblClick);
    connect(lstDemoDevices, &QListWidget::itemSelectionChanged, this, [this] {
        // One choice at a time: a link or a demo device, which Enter then opens.
        const bool demo = !lstDemoDevices->selectedItems().isEmpty();
        if (demo) {
            lstLinkList->clearSelection();
            btnNew->setDefault(false);
            btnOK->setDefault(true);
        }
        btnOK->setEnabled(SelectedRow() >= 0 || demo);
    });
    connect(lstDemoDevices, &QListWidget::itemDoubleClicked, this, &TfrmOpenPort::ChooseDemoDevice);
    connect(btnOK, &QPushButton::clicked, this, &TfrmOpenPort::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnNew, &QPushButton::clicked, this, &TfrmOpenPort::btnNewClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmOpenPort::btnEditClick);
    TListButtons::ST_Rows rows;
    rows.Remove = [this](int row) {
        const std::string name = LinkList().At(row).LinkName;
        LinkList().Remove(row);
        delete lstLinkList->takeTopLevelItem(row);
        FollowFraming(name, std::nullopt);
    };
    rows.RemoveAll = [this] {
        std::vector<std::string> names;
        for (const COM_PORT_SETTING &link : LinkList().Links())
            names.push_back(link.LinkName);
        LinkList().Clear();
        lstLinkList->clear();
        for (const std::string &name : names)
            FollowFraming(name, std::nullopt);
    };
    rows.Changed = [this] { UpdateButtons(); };
    m_buttons->SetRows(lstLinkList, std::move(rows));
    connect(btnLoad, &QPushButton::clicked, this, &TfrmOpenPort::btnLoadClick);
    connect(btnSaveAs, &QPushButton::clicked, this, &TfrmOpenPort::btnSaveAsClick);

    FillDemoDevices();
    demoGroup->setVisible(lstDemoDevices->count() > 0);
    FormCreate();
}

void TfrmOpenPort::FillDemoDevices()
{
    for (const ST_PortInfo &port : DemoPortList()) {
        auto *item = new QListWidgetItem(CoreText(port.Description), lstDemoDevices);
        item->setData(Qt::UserRole, FromLatin1(port.Name));
        item->setData(Qt::UserRole + 1, FromLatin1(port.Description));
        item->setToolTip(FromLatin1(port.Name));
    }
    // As many rows as there are devices, so none hides behind a scroll bar.
    const int rows = std::max(1, lstDemoDevices->count());
    lstDemoDevices->setFixedHeight(lstDemoDevices->sizeHintForRow(0) * rows +
                                   2 * lstDemoDevices->frameWidth());
}

void TfrmOpenPort::SelectDemoDevice(const std::string &port)
{
    for (int i = 0; i < lstDemoDevices->count(); ++i) {
        QListWidgetItem *item = lstDemoDevices->item(i);
        if (item->data(Qt::UserRole).toString() != FromLatin1(port))
            continue;
        lstDemoDevices->setCurrentItem(item);
        item->setSelected(true);
        lstDemoDevices->setFocus();
        return;
    }
}

void TfrmOpenPort::ChooseDemoDevice()
{
    const QList<QListWidgetItem *> chosen = lstDemoDevices->selectedItems();
    if (chosen.isEmpty())
        return;
    COM_PORT_SETTING link = DefaultLinkSetting();
    // The English name: a link's name is stored and shown as 8-bit text.
    link.LinkName = ToLatin1(chosen.first()->data(Qt::UserRole + 1).toString());
    link.PortName = ToLatin1(chosen.first()->data(Qt::UserRole).toString());
    m_selected = link;
    m_hasSelected = true;
    accept();
}

void TfrmOpenPort::FormCreate()
{
    // A missing "Default.cps" leaves the list as this run last had it; the rows always show the
    // list itself, so they correspond either way.
    try {
        LoadLinkList(DefaultLinkFilePath());
    } catch (const EKestrumError &e) {
        RefillRows();
        ShowErrorBox(this, e);
        return;
    }
    RefillRows();
}

void TfrmOpenPort::done(int result)
{
    try {
        SaveLinkList(DefaultLinkFilePath());
    } catch (const EKestrumError &e) {
        ShowErrorBox(this, e); // still closes: staying open would only fail the same way again
    }
    QDialog::done(result);
}

void TfrmOpenPort::RefillRows()
{
    lstLinkList->clear();
    for (int i = 0; i < LinkList().Count(); ++i) {
        lstLinkList->addTopLevelItem(new QTreeWidgetItem);
        DrawRow(i);
    }
    UpdateButtons();
}

void TfrmOpenPort::DrawRow(int pos)
{
    QTreeWidgetItem *row = lstLinkList->topLevelItem(pos);
    const std::array<std::string, 9> texts = LinkToDisplay(LinkList().At(pos)).Columns();
    for (int c = 0; c < 9; ++c)
        row->setText(c, FromLatin1(texts[c]));
}

int TfrmOpenPort::SelectedRow() const
{
    return SingleSelectedRow(lstLinkList);
}

void TfrmOpenPort::SelectRow(int pos)
{
    QTreeWidgetItem *row = lstLinkList->topLevelItem(pos);
    if (row == nullptr)
        return;
    lstLinkList->setCurrentItem(row);
    row->setSelected(true);
    lstLinkList->scrollToItem(row);
}

void TfrmOpenPort::UpdateButtons()
{
    if (SelectedRow() < 0 && lstLinkList->topLevelItemCount() > 0)
        SelectRow(0);
    m_buttons->UpdateStates();
    ShowWhatToDo();
}

void TfrmOpenPort::lstLinkListChange()
{
    if (SelectedRow() >= 0)
        lstDemoDevices->clearSelection();
    m_buttons->UpdateStates();
    btnOK->setEnabled(SelectedRow() >= 0 || !lstDemoDevices->selectedItems().isEmpty());
}

void TfrmOpenPort::ShowWhatToDo()
{
    const bool empty = lstLinkList->topLevelItemCount() == 0;
    // An empty list leaves Open nothing to do; the dialog says what would, and Enter makes a link.
    if (empty) {
        const std::vector<ST_PortInfo> found = TfrmPortSetting::FoundPorts();
        const bool none =
            std::none_of(found.begin(), found.end(), [](const ST_PortInfo &port) { return !port.Demo; });
        QString text = none ? tr("No serial port was found on this machine. Attach the device's "
                                 "adapter, or start kestrum-vport for a virtual port, then press "
                                 "New to make a link for it.")
                            : tr("There is no link yet. Press New to make one for a port of this "
                                 "machine.");
        if (lstDemoDevices->count() > 0)
            text +=
                QLatin1Char(' ') + tr("To try Kestrum without a device, open one of the demo devices below.");
        lblNoLink->setText(text);
    }
    lblNoLink->setVisible(empty);
    btnNew->setDefault(empty);
    btnOK->setDefault(!empty);
}

bool TfrmOpenPort::EditLink(COM_PORT_SETTING &link, bool isNew)
{
    TfrmPortSetting dialog(this);
    if (isNew)
        dialog.ProposeListedPort(link);
    dialog.FillFromLink(link);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    try {
        dialog.ReadToLink(link);
    } catch (const EConvertError &e) {
        ShowErrorBox(this, e);
        return false;
    }
    TfrmPortSetting::RememberNetworkPort(link.PortName);
    return true;
}

void TfrmOpenPort::btnNewClick()
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.LinkName = NewLinkName();
    if (EditLink(link, true)) {
        LinkList().Append(link);
        lstLinkList->addTopLevelItem(new QTreeWidgetItem);
        DrawRow(LinkList().Count() - 1);
        SelectRow(LinkList().Count() - 1);
    }
    UpdateButtons();
}

void TfrmOpenPort::btnEditClick()
{
    const int pos = SelectedRow();
    if (pos < 0)
        return;
    COM_PORT_SETTING link = LinkList().At(pos);
    const std::string before = link.LinkName;
    if (EditLink(link, false)) {
        LinkList().Replace(pos, link);
        DrawRow(pos);
        SelectRow(pos);
        if (link.LinkName != before)
            FollowFraming(before, link.LinkName);
    }
    UpdateButtons();
}

void TfrmOpenPort::FollowFraming(const std::string &from, const std::optional<std::string> &to)
{
    TFramingStore &store = TFramingStore::Instance();
    // A damaged profiles file is the user's to mend: the dialog that shows it says so.
    if (!store.Error().isEmpty())
        return;
    const std::vector<COM_PORT_SETTING> &links = LinkList().Links();
    const bool stillCalled = std::any_of(links.begin(), links.end(),
                                         [&](const COM_PORT_SETTING &l) { return l.LinkName == from; });
    ST_FramingChoices choices = store.Choices();
    const bool changed =
        to ? choices.RenameLink(from, *to, stillCalled) : !stillCalled && choices.ForgetLink(from);
    if (!changed)
        return;
    try {
        // A port open by the old name frames on as it does until it closes.
        store.Save(choices, false);
    } catch (const std::exception &e) {
        ShowErrorBox(this, e);
    }
}

void TfrmOpenPort::btnLoadClick()
{
    const QString path = AskLinkFile(dlgLoad);
    if (path.isEmpty())
        return;
    try {
        LoadLinkList(path.toLocal8Bit().toStdString());
    } catch (const EKestrumError &e) {
        RefillRows();
        ShowErrorBox(this, e);
        return;
    }
    RefillRows();
}

void TfrmOpenPort::btnSaveAsClick()
{
    const QString path = AskLinkFile(dlgSave);
    if (path.isEmpty())
        return;
    try {
        SaveLinkList(path.toLocal8Bit().toStdString());
    } catch (const EKestrumError &e) {
        ShowErrorBox(this, e);
    }
}

void TfrmOpenPort::ChooseSelected()
{
    const int pos = SelectedRow();
    if (pos < 0)
        return;
    m_selected = LinkList().At(pos);
    m_hasSelected = true;
    accept();
}

void TfrmOpenPort::btnOKClick()
{
    if (!lstDemoDevices->selectedItems().isEmpty())
        ChooseDemoDevice();
    else
        ChooseSelected();
}

void TfrmOpenPort::lstLinkListDblClick()
{
    ChooseSelected();
}
