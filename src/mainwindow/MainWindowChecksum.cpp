// The checksum instant sends carry: its choice beside the line ending, kept between runs once
// made, and Append Checksum in the instant edit's context menu.
#include "data/gui/TChecksumEdit.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TfrmMain.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QSettings>
#include <QTextEdit>
#include <QVBoxLayout>
#include <stdexcept>

namespace {

QComboBox *MakeCombo(QWidget *parent, const char *name, const QString &accessible, const QString &tip)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setAccessibleName(accessible);
    combo->setToolTip(tip);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return combo;
}

} // namespace

// A second row under the send buttons, so the panel grows no wider.
void TfrmMain::AddChecksumControls()
{
    TfrmMainExtras &x = *m_extras;
    QWidget *tools = ui.cboFormat->parentWidget();
    QWidget *panel = tools->parentWidget();
    auto *sendRow = qobject_cast<QBoxLayout *>(panel->layout());
    auto *column = new QWidget(panel);
    column->setObjectName(QStringLiteral("pnlSendTools"));
    column->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    auto *columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->setSpacing(2);
    const int at = sendRow->indexOf(tools);
    sendRow->removeWidget(tools);
    tools->setParent(column);
    columnLayout->addWidget(tools);
    auto *checksumRow = new QHBoxLayout;
    columnLayout->addLayout(checksumRow);
    columnLayout->addStretch();
    sendRow->insertWidget(at, column, 0, Qt::AlignTop);

    x.cboChecksum = MakeCombo(column, "cboChecksum", QStringLiteral("Checksum"),
                              QStringLiteral("Checksum of the typed bytes added to instant sends"));
    for (int k = 0; k < kChecksumKindCount; ++k) {
        const auto kind = static_cast<EChecksumKind>(k);
        x.cboChecksum->addItem(kind == EChecksumKind::Custom ? QStringLiteral("Custom CRC...")
                                                             : QString::fromLatin1(ChecksumName(kind)));
    }
    x.cboChecksumPlace = MakeCombo(column, "cboChecksumPlace", QStringLiteral("Checksum place"),
                                   QStringLiteral("Where the checksum goes when a line ending is added"));
    x.cboChecksumPlace->addItems({QStringLiteral("After line ending"), QStringLiteral("Before line ending")});
    x.cboChecksumPlace->setEnabled(false);
    auto *label = new QLabel(QStringLiteral("Checksum:"), column);
    label->setBuddy(x.cboChecksum);
    checksumRow->addWidget(label);
    checksumRow->addWidget(x.cboChecksum);
    checksumRow->addWidget(x.cboChecksumPlace);
    checksumRow->addStretch();
    connect(x.cboChecksum, &QComboBox::activated, this, &TfrmMain::SendChecksumChosen);
    connect(x.cboChecksumPlace, &QComboBox::activated, this, [this] { m_extras->sendChecksumKept = true; });

    x.mnuAppendChecksum = new QAction(QStringLiteral("Append Checksum"), this);
    x.mnuAppendChecksum->setObjectName(QStringLiteral("mnuAppendChecksum"));
    connect(x.mnuAppendChecksum, &QAction::triggered, this, &TfrmMain::AppendChecksumToInstant);
    ui.edSendItem->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui.edSendItem, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu *menu = ui.edSendItem->createStandardContextMenu(pos);
        menu->setObjectName(QStringLiteral("popmnuSendItem"));
        menu->addSeparator();
        menu->addAction(m_extras->mnuAppendChecksum);
        menu->exec(ui.edSendItem->viewport()->mapToGlobal(pos));
        delete menu;
    });
}

// A preset goes on the line in its protocols' order; "Custom CRC..." asks, and a cancelled ask
// leaves the choice as it was.
void TfrmMain::SendChecksumChosen(int index)
{
    TfrmMainExtras &x = *m_extras;
    ST_ChecksumSpec spec = x.sendChecksumSpec;
    if (index == static_cast<int>(EChecksumKind::Custom)) {
        if (spec.Kind != EChecksumKind::Custom) {
            spec.Kind = EChecksumKind::Custom;
            spec.Order = DefaultByteOrder(spec.Kind);
        }
        if (!TfrmChecksumSetting::Ask(this, spec)) {
            x.cboChecksum->setCurrentIndex(static_cast<int>(x.sendChecksumSpec.Kind));
            return;
        }
    } else if (index >= 0 && index < kChecksumKindCount) {
        spec.Kind = static_cast<EChecksumKind>(index);
        spec.Order = DefaultByteOrder(spec.Kind);
    }
    x.sendChecksumKept = true;
    SetSendChecksum(spec);
}

void TfrmMain::SetSendChecksum(const ST_ChecksumSpec &spec)
{
    TfrmMainExtras &x = *m_extras;
    x.sendChecksum.reset();
    x.sendChecksumSpec = spec;
    try {
        if (spec.Kind != EChecksumKind::None)
            x.sendChecksum.emplace(spec);
    } catch (const std::invalid_argument &) {
        x.sendChecksumSpec.Kind = EChecksumKind::None;
    }
    const EChecksumKind kind = x.sendChecksumSpec.Kind;
    x.cboChecksum->setCurrentIndex(static_cast<int>(kind));
    x.cboChecksumPlace->setEnabled(kind != EChecksumKind::None);
    QString tip = QStringLiteral("Checksum of the typed bytes added to instant sends");
    if (x.sendChecksum && x.sendChecksum->Size() > 1)
        tip += x.sendChecksumSpec.Order == EByteOrder::LittleEndian ? QStringLiteral(", low byte first")
                                                                    : QStringLiteral(", high byte first");
    x.cboChecksum->setToolTip(tip);
}

// The checksum becomes part of the text, in the text's own format; it is not added again when
// the text is sent with a checksum chosen.
void TfrmMain::AppendChecksumToInstant()
{
    if (RefuseUnparsedInstantText())
        return;
    const std::optional<ST_ChecksumSpec> spec = TfrmChecksumSetting::AskForAppend(this);
    if (!spec)
        return;
    const CCommData item = GetInstantItem();
    CCommData appended(CChecksum(*spec).Append(item.Data()), item.GetFormat());
    appended.SetName(item.GetName());
    SetInstantItem(appended);
    ui.edSendItem->moveCursor(QTextCursor::End);
}

void TfrmMain::LoadSendChecksum(const QSettings &settings)
{
    TfrmMainExtras &x = *m_extras;
    x.sendChecksumKept = settings.contains(QStringLiteral("SendChecksumKind"));
    if (!x.sendChecksumKept)
        return;
    SetSendChecksum(LoadChecksumSpec(settings, QStringLiteral("SendChecksum")));
    const int place = settings.value(QStringLiteral("SendChecksumPlace")).toString().trimmed().toInt();
    x.cboChecksumPlace->setCurrentIndex(place == CHECKSUM_BEFORE_ENDING ? place : CHECKSUM_AFTER_ENDING);
}

// Nothing is written for a user who never chose a checksum.
void TfrmMain::SaveSendChecksum(QSettings &settings) const
{
    const TfrmMainExtras &x = *m_extras;
    if (!x.sendChecksumKept)
        return;
    SaveChecksumSpec(settings, QStringLiteral("SendChecksum"), x.sendChecksumSpec);
    settings.setValue(QStringLiteral("SendChecksumPlace"), x.cboChecksumPlace->currentIndex());
}
