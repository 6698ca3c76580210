#include "mainwindow/features/TSendChecksum.h"
#include "data/gui/TChecksumEdit.h"
#include "platform/gui/settingvalue.h"

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

// The index in the place list: before or after the line ending.
const TSettingValue<int> kPlace("SendChecksumPlace", 0);

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
TSendChecksum::TSendChecksum(QWidget *window, QTextEdit *edit, QComboBox *format, ST_Instant instant)
    : QObject(window), m_window(window), m_edit(edit), m_instant(std::move(instant))
{
    QWidget *tools = format->parentWidget();
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

    m_kind = MakeCombo(column, "cboChecksum", tr("Checksum"),
                       tr("Checksum of the typed bytes added to instant sends"));
    for (int k = 0; k < kChecksumKindCount; ++k) {
        const auto kind = static_cast<EChecksumKind>(k);
        // The algorithms' names are names in every language; "None" is a word.
        m_kind->addItem(kind == EChecksumKind::Custom ? tr("Custom CRC...")
                        : kind == EChecksumKind::None ? tr("None")
                                                      : QString::fromLatin1(ChecksumName(kind)));
    }
    m_place = MakeCombo(column, "cboChecksumPlace", tr("Checksum place"),
                        tr("Where the checksum goes when a line ending is added"));
    m_place->addItems({tr("After line ending"), tr("Before line ending")});
    m_place->setEnabled(false);
    auto *label = new QLabel(tr("Checksum:"), column);
    label->setBuddy(m_kind);
    checksumRow->addWidget(label);
    checksumRow->addWidget(m_kind);
    checksumRow->addWidget(m_place);
    checksumRow->addStretch();
    connect(m_kind, &QComboBox::activated, this, &TSendChecksum::Chosen);
    connect(m_place, &QComboBox::activated, this, [this] { m_kept = true; });

    m_append = new QAction(tr("Append Checksum"), this);
    m_append->setObjectName(QStringLiteral("mnuAppendChecksum"));
    connect(m_append, &QAction::triggered, this, &TSendChecksum::AppendToInstant);
    m_edit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_edit, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu *menu = m_edit->createStandardContextMenu(pos);
        menu->setObjectName(QStringLiteral("popmnuSendItem"));
        menu->addSeparator();
        menu->addAction(m_append);
        menu->exec(m_edit->viewport()->mapToGlobal(pos));
        delete menu;
    });
}

// A preset goes on the line in its protocols' order; "Custom CRC..." asks, and a cancelled ask
// leaves the choice as it was.
void TSendChecksum::Chosen(int index)
{
    ST_ChecksumSpec spec = m_spec;
    if (index == static_cast<int>(EChecksumKind::Custom)) {
        if (spec.Kind != EChecksumKind::Custom) {
            spec.Kind = EChecksumKind::Custom;
            spec.Order = DefaultByteOrder(spec.Kind);
        }
        if (!TfrmChecksumSetting::Ask(m_window, spec)) {
            m_kind->setCurrentIndex(static_cast<int>(m_spec.Kind));
            return;
        }
    } else if (index >= 0 && index < kChecksumKindCount) {
        spec.Kind = static_cast<EChecksumKind>(index);
        spec.Order = DefaultByteOrder(spec.Kind);
    }
    m_kept = true;
    Set(spec);
}

void TSendChecksum::Set(const ST_ChecksumSpec &spec)
{
    m_checksum.reset();
    m_spec = spec;
    try {
        if (spec.Kind != EChecksumKind::None)
            m_checksum.emplace(spec);
    } catch (const std::invalid_argument &) {
        m_spec.Kind = EChecksumKind::None;
    }
    const EChecksumKind kind = m_spec.Kind;
    m_kind->setCurrentIndex(static_cast<int>(kind));
    m_place->setEnabled(kind != EChecksumKind::None);
    QString tip = tr("Checksum of the typed bytes added to instant sends");
    if (m_checksum && m_checksum->Size() > 1)
        tip += m_spec.Order == EByteOrder::LittleEndian ? tr(", low byte first") : tr(", high byte first");
    m_kind->setToolTip(tip);
}

// The checksum becomes part of the text, in the text's own format; it is not added again when
// the text is sent with a checksum chosen.
void TSendChecksum::AppendToInstant()
{
    if (m_instant.RefuseUnparsed())
        return;
    const std::optional<ST_ChecksumSpec> spec = TfrmChecksumSetting::AskForAppend(m_window);
    if (!spec)
        return;
    const CCommData item = m_instant.Get();
    CCommData appended(CChecksum(*spec).Append(item.Data()), item.GetFormat());
    appended.SetName(item.GetName());
    m_instant.Set(appended);
    m_edit->moveCursor(QTextCursor::End);
}

void TSendChecksum::Load(const QSettings &settings)
{
    m_kept = settings.contains(QStringLiteral("SendChecksumKind"));
    if (!m_kept)
        return;
    Set(LoadChecksumSpec(settings, QStringLiteral("SendChecksum")));
    const int place = kPlace.Read(settings);
    m_place->setCurrentIndex(place == kBeforeEnding ? place : kAfterEnding);
}

// Nothing is written for a user who never chose a checksum.
void TSendChecksum::Save(QSettings &settings) const
{
    if (!m_kept)
        return;
    SaveChecksumSpec(settings, QStringLiteral("SendChecksum"), m_spec);
    kPlace.Write(settings, m_place->currentIndex());
}

Bytes TSendChecksum::Finish(const Bytes &typed, const Bytes &ending) const
{
    Bytes bytes = typed;
    // Nothing typed has nothing to check: an empty send stays what it was.
    const Bytes sum = m_checksum && !bytes.empty() ? m_checksum->Encode(m_checksum->Compute(bytes)) : Bytes();
    const bool sumFirst = m_place->currentIndex() == kBeforeEnding;
    for (const Bytes *tail : {sumFirst ? &sum : &ending, sumFirst ? &ending : &sum})
        bytes.insert(bytes.end(), tail->begin(), tail->end());
    return bytes;
}
