#include "data/gui/TChecksumEdit.h"

#include "data/gui/dialogsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <stdexcept>

namespace {

const int kWidths[] = {8, 16, 32};

QLineEdit *MakeHexEdit(QWidget *parent, const char *name, const QString &accessible)
{
    auto *edit = Named(new QLineEdit(parent), name);
    edit->setAccessibleName(accessible);
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("(0[xX])?[0-9A-Fa-f]{0,8}")), edit));
    return edit;
}

bool ReadHex(const QString &text, uint32_t &value)
{
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const uint number = digits.toUInt(&ok, 16);
    if (ok)
        value = number;
    return ok && !digits.isEmpty();
}

QString HexText(uint32_t value, int width)
{
    return QStringLiteral("%1").arg(value, width / 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TChecksumEdit::TChecksumEdit(QWidget *parent) : QWidget(parent)
{
    cboChecksumKind = Named(new QComboBox(this), "cboChecksumKind");
    cboChecksumKind->setAccessibleName(tr("Checksum algorithm"));
    for (int k = 0; k < kChecksumKindCount; ++k) {
        const auto kind = static_cast<EChecksumKind>(k);
        // The algorithms' names are names in every language; "None" is a word.
        cboChecksumKind->addItem(kind == EChecksumKind::None ? tr("None")
                                                             : QString::fromLatin1(ChecksumName(kind)));
    }

    pnlCustomCrc = Named(new QWidget(this), "pnlCustomCrc");
    cboCrcWidth = Named(new QComboBox(pnlCustomCrc), "cboCrcWidth");
    cboCrcWidth->setAccessibleName(tr("CRC width"));
    for (int width : kWidths)
        cboCrcWidth->addItem(QString::number(width));
    edCrcPoly = MakeHexEdit(pnlCustomCrc, "edCrcPoly", tr("Polynomial"));
    edCrcInit = MakeHexEdit(pnlCustomCrc, "edCrcInit", tr("Initial value"));
    edCrcXorOut = MakeHexEdit(pnlCustomCrc, "edCrcXorOut", tr("Final XOR"));
    chkCrcRefIn = Named(new QCheckBox(tr("Reflect &input"), pnlCustomCrc), "chkCrcRefIn");
    chkCrcRefIn->setAccessibleName(tr("Reflect input"));
    chkCrcRefOut = Named(new QCheckBox(tr("Reflect o&utput"), pnlCustomCrc), "chkCrcRefOut");
    chkCrcRefOut->setAccessibleName(tr("Reflect output"));
    auto *custom = new QFormLayout(pnlCustomCrc);
    custom->setContentsMargins(0, 0, 0, 0);
    custom->addRow(tr("&Width (bits):"), cboCrcWidth);
    custom->addRow(tr("&Polynomial (hex):"), edCrcPoly);
    custom->addRow(tr("I&nitial value (hex):"), edCrcInit);
    custom->addRow(tr("&Final XOR (hex):"), edCrcXorOut);
    custom->addRow(chkCrcRefIn);
    custom->addRow(chkCrcRefOut);

    cboChecksumOrder = Named(new QComboBox(this), "cboChecksumOrder");
    cboChecksumOrder->setAccessibleName(tr("Byte order"));
    cboChecksumOrder->addItems({tr("High byte first"), tr("Low byte first")});

    auto *form = new QFormLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(tr("&Algorithm:"), cboChecksumKind);
    form->addRow(pnlCustomCrc);
    form->addRow(tr("&Byte order:"), cboChecksumOrder);

    connect(cboChecksumKind, &QComboBox::currentIndexChanged, this, &TChecksumEdit::KindChosen);
    connect(cboCrcWidth, &QComboBox::currentIndexChanged, this, [this] {
        UpdateShown();
        emit changed();
    });
    for (QLineEdit *edit : {edCrcPoly, edCrcInit, edCrcXorOut})
        connect(edit, &QLineEdit::textChanged, this, &TChecksumEdit::changed);
    for (QCheckBox *box : {chkCrcRefIn, chkCrcRefOut})
        connect(box, &QCheckBox::toggled, this, &TChecksumEdit::changed);
    connect(cboChecksumOrder, &QComboBox::currentIndexChanged, this, &TChecksumEdit::changed);

    SetSpec(ST_ChecksumSpec{});
}

ST_ChecksumSpec TChecksumEdit::Spec() const
{
    ST_ChecksumSpec spec;
    spec.Kind = static_cast<EChecksumKind>(std::max(0, cboChecksumKind->currentIndex()));
    spec.Custom.Width = static_cast<uint8_t>(kWidths[std::max(0, cboCrcWidth->currentIndex())]);
    uint32_t value = 0;
    spec.Custom.Poly = ReadHex(edCrcPoly->text(), value) ? value : 0;
    spec.Custom.Init = ReadHex(edCrcInit->text(), value) ? value : 0;
    spec.Custom.XorOut = ReadHex(edCrcXorOut->text(), value) ? value : 0;
    spec.Custom.RefIn = chkCrcRefIn->isChecked();
    spec.Custom.RefOut = chkCrcRefOut->isChecked();
    spec.Order = cboChecksumOrder->currentIndex() == 1 ? EByteOrder::LittleEndian : EByteOrder::BigEndian;
    return spec;
}

void TChecksumEdit::SetSpec(const ST_ChecksumSpec &spec)
{
    {
        const QSignalBlocker quiet1(cboChecksumKind), quiet2(cboCrcWidth), quiet3(edCrcPoly),
            quiet4(edCrcInit), quiet5(edCrcXorOut), quiet6(chkCrcRefIn), quiet7(chkCrcRefOut),
            quiet8(cboChecksumOrder);
        const int kind = static_cast<int>(spec.Kind);
        cboChecksumKind->setCurrentIndex(kind < kChecksumKindCount ? kind : 0);
        const int width = spec.Custom.Width == 8 ? 0 : spec.Custom.Width == 32 ? 2 : 1;
        cboCrcWidth->setCurrentIndex(width);
        edCrcPoly->setText(HexText(spec.Custom.Poly, kWidths[width]));
        edCrcInit->setText(HexText(spec.Custom.Init, kWidths[width]));
        edCrcXorOut->setText(HexText(spec.Custom.XorOut, kWidths[width]));
        chkCrcRefIn->setChecked(spec.Custom.RefIn);
        chkCrcRefOut->setChecked(spec.Custom.RefOut);
        cboChecksumOrder->setCurrentIndex(spec.Order == EByteOrder::LittleEndian ? 1 : 0);
    }
    UpdateShown();
    emit changed();
}

bool TChecksumEdit::SpecValid(QString *why) const
{
    if (cboChecksumKind->currentIndex() != static_cast<int>(EChecksumKind::Custom))
        return true;
    const std::pair<QLineEdit *, QString> fields[] = {
        {edCrcPoly, tr("The polynomial is not a hex number.")},
        {edCrcInit, tr("The initial value is not a hex number.")},
        {edCrcXorOut, tr("The final XOR is not a hex number.")}};
    uint32_t value = 0;
    for (const auto &[edit, fault] : fields) {
        if (!ReadHex(edit->text(), value)) {
            if (why)
                *why = fault;
            return false;
        }
    }
    try {
        CChecksum check(Spec());
    } catch (const std::invalid_argument &) {
        if (why)
            *why = tr("A value is wider than the CRC.");
        return false;
    }
    return true;
}

// A new algorithm goes on the line in the order its protocols use.
void TChecksumEdit::KindChosen()
{
    const auto kind = static_cast<EChecksumKind>(std::max(0, cboChecksumKind->currentIndex()));
    {
        const QSignalBlocker quiet(cboChecksumOrder);
        cboChecksumOrder->setCurrentIndex(DefaultByteOrder(kind) == EByteOrder::LittleEndian ? 1 : 0);
    }
    UpdateShown();
    emit changed();
}

// The order means something only for a checksum wider than a byte.
void TChecksumEdit::UpdateShown()
{
    const auto kind = static_cast<EChecksumKind>(std::max(0, cboChecksumKind->currentIndex()));
    const bool custom = kind == EChecksumKind::Custom;
    pnlCustomCrc->setVisible(custom);
    const bool wide = custom ? cboCrcWidth->currentIndex() > 0 : kind >= EChecksumKind::Crc16Modbus;
    cboChecksumOrder->setEnabled(wide);
}

TfrmChecksumSetting::TfrmChecksumSetting(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmChecksumSetting"));
    setWindowTitle(tr("Checksum"));
    edChecksum = Named(new TChecksumEdit(this), "edChecksum");
    edChecksum->setAccessibleName(tr("Checksum"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(edChecksum);
    layout->addLayout(MakeOkCancelRow(this, btnOK, btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        QString why;
        if (edChecksum->SpecValid(&why))
            accept();
        else
            ShowMessage(this, why);
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

ST_ChecksumSpec TfrmChecksumSetting::Spec() const
{
    return edChecksum->Spec();
}

void TfrmChecksumSetting::SetSpec(const ST_ChecksumSpec &spec)
{
    edChecksum->SetSpec(spec);
}

bool TfrmChecksumSetting::Ask(QWidget *owner, ST_ChecksumSpec &spec)
{
    TfrmChecksumSetting dialog(owner);
    dialog.SetSpec(spec);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    spec = dialog.Spec();
    return true;
}

std::optional<ST_ChecksumSpec> TfrmChecksumSetting::AskForAppend(QWidget *owner)
{
    static ST_ChecksumSpec last;
    ST_ChecksumSpec spec = last;
    if (!Ask(owner, spec))
        return std::nullopt;
    last = spec;
    if (spec.Kind == EChecksumKind::None)
        return std::nullopt;
    return spec;
}

void SaveChecksumSpec(QSettings &settings, const QString &prefix, const ST_ChecksumSpec &spec)
{
    const int width = spec.Custom.Width;
    settings.setValue(prefix + QStringLiteral("Kind"), static_cast<int>(spec.Kind));
    settings.setValue(prefix + QStringLiteral("CrcWidth"), width);
    settings.setValue(prefix + QStringLiteral("CrcPoly"), HexText(spec.Custom.Poly, width));
    settings.setValue(prefix + QStringLiteral("CrcInit"), HexText(spec.Custom.Init, width));
    settings.setValue(prefix + QStringLiteral("CrcXorOut"), HexText(spec.Custom.XorOut, width));
    settings.setValue(prefix + QStringLiteral("CrcRefIn"), spec.Custom.RefIn ? 1 : 0);
    settings.setValue(prefix + QStringLiteral("CrcRefOut"), spec.Custom.RefOut ? 1 : 0);
    settings.setValue(prefix + QStringLiteral("Order"), static_cast<int>(spec.Order));
}

ST_ChecksumSpec LoadChecksumSpec(const QSettings &settings, const QString &prefix)
{
    auto number = [&](const char *name, int fallback) {
        bool ok = false;
        const int value = settings.value(prefix + QLatin1String(name)).toString().trimmed().toInt(&ok);
        return ok ? value : fallback;
    };
    auto hex = [&](const char *name, uint32_t fallback) {
        uint32_t value = fallback;
        return ReadHex(settings.value(prefix + QLatin1String(name)).toString(), value) ? value : fallback;
    };
    ST_ChecksumSpec spec;
    const int kind = number("Kind", 0);
    if (kind > 0 && kind < kChecksumKindCount)
        spec.Kind = static_cast<EChecksumKind>(kind);
    const ST_CrcParams defaults;
    const int width = number("CrcWidth", defaults.Width);
    spec.Custom.Width =
        static_cast<uint8_t>(width == 8 || width == 16 || width == 32 ? width : defaults.Width);
    spec.Custom.Poly = hex("CrcPoly", defaults.Poly);
    spec.Custom.Init = hex("CrcInit", defaults.Init);
    spec.Custom.XorOut = hex("CrcXorOut", defaults.XorOut);
    spec.Custom.RefIn = number("CrcRefIn", defaults.RefIn) != 0;
    spec.Custom.RefOut = number("CrcRefOut", defaults.RefOut) != 0;
    const int order = number("Order", static_cast<int>(DefaultByteOrder(spec.Kind)));
    spec.Order = order == 1 ? EByteOrder::LittleEndian : EByteOrder::BigEndian;
    // Parameters that make no CRC are dropped together: a width alone cannot be trusted.
    ST_ChecksumSpec check = spec;
    check.Kind = EChecksumKind::Custom;
    try {
        CChecksum probe(check);
    } catch (const std::invalid_argument &) {
        spec.Custom = defaults;
    }
    return spec;
}
