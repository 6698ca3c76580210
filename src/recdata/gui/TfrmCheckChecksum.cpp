#include "recdata/gui/TfrmCheckChecksum.h"

#include "data/gui/TChecksumEdit.h"
#include "data/gui/dialogsupport.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

bool SameSpec(const ST_ChecksumSpec &a, const ST_ChecksumSpec &b)
{
    const ST_CrcParams &x = a.Custom;
    const ST_CrcParams &y = b.Custom;
    return a.Kind == b.Kind && a.Order == b.Order && x.Width == y.Width && x.Poly == y.Poly &&
           x.Init == y.Init && x.RefIn == y.RefIn && x.RefOut == y.RefOut && x.XorOut == y.XorOut;
}

QRadioButton *MakeRadio(QWidget *parent, const char *name, const QString &caption)
{
    auto *radio = Named(new QRadioButton(caption, parent), name);
    radio->setAccessibleName(QString(caption).remove(QLatin1Char('&')));
    return radio;
}

} // namespace

bool ST_RecvChecksumChoice::operator==(const ST_RecvChecksumChoice &o) const
{
    return On == o.On && Cover == o.Cover && SameSpec(Spec, o.Spec);
}

void SaveRecvChecksumChoice(QSettings &settings, const ST_RecvChecksumChoice &choice)
{
    settings.setValue(QStringLiteral("RecvChecksumOn"), choice.On ? 1 : 0);
    settings.setValue(QStringLiteral("RecvChecksumLines"), choice.Cover == ECheckCover::Lines ? 1 : 0);
    SaveChecksumSpec(settings, QStringLiteral("RecvChecksum"), choice.Spec);
}

ST_RecvChecksumChoice LoadRecvChecksumChoice(const QSettings &settings, const QString &prefix)
{
    ST_RecvChecksumChoice choice;
    if (!settings.contains(prefix + QStringLiteral("RecvChecksumOn")))
        return choice;
    const auto flag = [&](const char *name) {
        return settings.value(prefix + QLatin1String(name)).toString().trimmed().toInt() != 0;
    };
    const ST_ChecksumSpec spec = LoadChecksumSpec(settings, prefix + QStringLiteral("RecvChecksum"));
    if (spec.Kind != EChecksumKind::None)
        choice.Spec = spec;
    choice.On = flag("RecvChecksumOn") && spec.Kind != EChecksumKind::None;
    choice.Cover = flag("RecvChecksumLines") ? ECheckCover::Lines : ECheckCover::Blocks;
    return choice;
}

TfrmCheckChecksum::TfrmCheckChecksum(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmCheckChecksum"));
    setWindowTitle(tr("Check Checksum"));
    chkCheckChecksum = Named(new QCheckBox(tr("Check &received checksums"), this), "chkCheckChecksum");
    chkCheckChecksum->setAccessibleName(tr("Check received checksums"));
    edCheckChecksum = Named(new TChecksumEdit(this), "edCheckChecksum");
    edCheckChecksum->setAccessibleName(tr("Checksum"));
    auto *covers = Named(new QGroupBox(tr("The checksum ends"), this), "grpCheckCovers");
    covers->setAccessibleName(tr("The checksum ends"));
    rdCheckBlocks = MakeRadio(covers, "rdCheckBlocks", tr("&Each received block"));
    rdCheckLines = MakeRadio(covers, "rdCheckLines", tr("Each &line"));
    auto *coverColumn = new QVBoxLayout(covers);
    coverColumn->addWidget(rdCheckBlocks);
    coverColumn->addWidget(rdCheckLines);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(chkCheckChecksum);
    layout->addWidget(edCheckChecksum);
    layout->addWidget(covers);
    layout->addLayout(MakeOkCancelRow(this, btnOK, btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, &TfrmCheckChecksum::Confirm);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    SetChoice(ST_RecvChecksumChoice{});
}

void TfrmCheckChecksum::Confirm()
{
    QString why;
    if (chkCheckChecksum->isChecked() && edCheckChecksum->Spec().Kind == EChecksumKind::None)
        why = tr("Choose the checksum the received frames carry.");
    if (why.isEmpty() && edCheckChecksum->SpecValid(&why)) {
        accept();
        return;
    }
    ShowMessage(this, why);
}

ST_RecvChecksumChoice TfrmCheckChecksum::Choice() const
{
    ST_RecvChecksumChoice choice;
    choice.On = chkCheckChecksum->isChecked();
    choice.Spec = edCheckChecksum->Spec();
    choice.Cover = rdCheckLines->isChecked() ? ECheckCover::Lines : ECheckCover::Blocks;
    return choice;
}

void TfrmCheckChecksum::SetChoice(const ST_RecvChecksumChoice &choice)
{
    chkCheckChecksum->setChecked(choice.On);
    edCheckChecksum->SetSpec(choice.Spec);
    (choice.Cover == ECheckCover::Lines ? rdCheckLines : rdCheckBlocks)->setChecked(true);
}

bool TfrmCheckChecksum::Ask(QWidget *owner, ST_RecvChecksumChoice &choice)
{
    TfrmCheckChecksum dialog(owner);
    dialog.SetChoice(choice);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    choice = dialog.Choice();
    return true;
}
