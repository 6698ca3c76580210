#include "data/gui/TfrmEditSymbol.h"

#include "data/gui/dialogsupport.h"
#include "platform/gui/fixedfont.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfrmEditSymbol::TfrmEditSymbol(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmEditSymbol");
    setWindowTitle(tr("Edit Symbol"));

    lbChar = Named(new QLabel(this), "lbChar");
    lbChar->setFont(FixedWidthFont());
    lbChar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    lbChar->setAlignment(Qt::AlignCenter);
    lbChar->setMinimumWidth(32);
    lbHexValue = Named(new QLabel(this), "lbHexValue");

    chkUseSymbol = Named(new QCheckBox(tr("Use Symbol"), this), "chkUseSymbol");

    pnlSymbol = Named(new QGroupBox(tr("Symbol"), this), "pnlSymbol");
    rdShowNothing = Named(new QRadioButton(tr("Show Nothing"), pnlSymbol), "rdShowNothing");
    rdShowAsString = Named(new QRadioButton(tr("Show As Symbol String"), pnlSymbol), "rdShowAsString");
    edString = Named(new QLineEdit(pnlSymbol), "edString");
    auto *symbolLayout = new QVBoxLayout(pnlSymbol);
    symbolLayout->addWidget(rdShowNothing);
    symbolLayout->addWidget(rdShowAsString);
    symbolLayout->addWidget(edString);

    QHBoxLayout *buttons = MakeOkCancelRow(this, btnOK, btnCancel);

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("ASCII Char:"), this), 0, 0);
    grid->addWidget(lbChar, 0, 1);
    grid->addWidget(new QLabel(tr("ASCII Code(Hex):"), this), 1, 0);
    grid->addWidget(lbHexValue, 1, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(chkUseSymbol);
    layout->addWidget(pnlSymbol);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(chkUseSymbol, &QCheckBox::clicked, this, &TfrmEditSymbol::UpdateEnabling);
    connect(rdShowNothing, &QRadioButton::clicked, this, &TfrmEditSymbol::UpdateEnabling);
    connect(rdShowAsString, &QRadioButton::clicked, this, &TfrmEditSymbol::UpdateEnabling);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    LoadEntry(ST_Symbol{});
}

void TfrmEditSymbol::SetByteValue(uint8_t value)
{
    lbChar->setText(ByteGlyph(value));
    lbHexValue->setText(QString::asprintf("%02X", value));
}

void TfrmEditSymbol::LoadEntry(const ST_Symbol &entry)
{
    chkUseSymbol->setChecked(entry.UseSymbol);
    rdShowNothing->setChecked(entry.ShowNothing);
    rdShowAsString->setChecked(!entry.ShowNothing);
    edString->setText(FromLatin1(entry.SymbolString));
    UpdateEnabling();
}

ST_Symbol TfrmEditSymbol::StoreEntry() const
{
    ST_Symbol entry;
    entry.UseSymbol = chkUseSymbol->isChecked();
    entry.ShowNothing = rdShowNothing->isChecked();
    entry.SymbolString = ToLatin1(edString->text());
    return entry;
}

void TfrmEditSymbol::UpdateEnabling()
{
    const bool use = chkUseSymbol->isChecked();
    rdShowNothing->setEnabled(use);
    rdShowAsString->setEnabled(use);
    edString->setEnabled(use && rdShowAsString->isChecked());
}
