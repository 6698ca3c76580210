#include "console/gui/TfrmConsoleSettings.h"

#include "data/gui/dialogsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kMaxScrollback = 1'000'000;
constexpr int kMaxPasteMs = 5'000;

int Value(const QSettings &settings, const char *name, int fallback, int low, int high)
{
    bool ok = false;
    const int value = settings.value(QLatin1String(name)).toString().trimmed().toInt(&ok);
    return ok ? std::clamp(value, low, high) : fallback;
}

QSpinBox *MakeSpin(QWidget *parent, const char *name, const QString &accessible, int high, int step,
                   const QString &suffix)
{
    auto *spin = Named(new QSpinBox(parent), name);
    spin->setRange(0, high);
    spin->setSingleStep(step);
    spin->setSuffix(suffix);
    spin->setAccessibleName(accessible);
    return spin;
}

QComboBox *MakeChoice(QWidget *parent, const char *name, const QString &accessible, const QStringList &items)
{
    auto *box = Named(new QComboBox(parent), name);
    box->addItems(items);
    box->setAccessibleName(accessible);
    return box;
}

} // namespace

void SaveConsoleSettings(QSettings &settings, const ST_ConsoleSettings &console)
{
    settings.setValue(QStringLiteral("ConsoleEnter"), static_cast<int>(console.Keys.Enter));
    settings.setValue(QStringLiteral("ConsoleBackspace"), console.Keys.BackspaceDel ? 0 : 1);
    settings.setValue(QStringLiteral("ConsoleScrollback"), static_cast<qulonglong>(console.ScrollbackLines));
    settings.setValue(QStringLiteral("ConsoleLocalEcho"), console.LocalEcho ? 1 : 0);
    settings.setValue(QStringLiteral("ConsolePasteCharMs"), console.PasteCharMs);
    settings.setValue(QStringLiteral("ConsolePasteLineMs"), console.PasteLineMs);
    settings.setValue(QStringLiteral("ConsoleLatin1"), console.Latin1 ? 1 : 0);
}

ST_ConsoleSettings LoadConsoleSettings(const QSettings &settings)
{
    ST_ConsoleSettings console;
    console.Keys.Enter = static_cast<EConsoleEnter>(
        Value(settings, "ConsoleEnter", 0, 0, static_cast<int>(EConsoleEnter::CrLf)));
    console.Keys.BackspaceDel = Value(settings, "ConsoleBackspace", 0, 0, 1) == 0;
    console.ScrollbackLines = static_cast<size_t>(
        Value(settings, "ConsoleScrollback", static_cast<int>(console.ScrollbackLines), 0, kMaxScrollback));
    console.LocalEcho = Value(settings, "ConsoleLocalEcho", 0, 0, 1) != 0;
    console.PasteCharMs = Value(settings, "ConsolePasteCharMs", 0, 0, kMaxPasteMs);
    console.PasteLineMs = Value(settings, "ConsolePasteLineMs", 0, 0, kMaxPasteMs);
    console.Latin1 = Value(settings, "ConsoleLatin1", 0, 0, 1) != 0;
    return console;
}

TfrmConsoleSettings::TfrmConsoleSettings(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmConsoleSettings"));
    setWindowTitle(tr("Console Settings"));
    cboConsoleEnter = MakeChoice(this, "cboConsoleEnter", tr("Enter sends"),
                                 {QStringLiteral("CR"), QStringLiteral("LF"), QStringLiteral("CR LF")});
    cboConsoleBackspace = MakeChoice(this, "cboConsoleBackspace", tr("Backspace sends"),
                                     {QStringLiteral("DEL (0x7F)"), QStringLiteral("BS (0x08)")});
    spnConsoleScrollback =
        MakeSpin(this, "spnConsoleScrollback", tr("Scrollback lines"), kMaxScrollback, 1000, tr(" lines"));
    chkConsoleLocalEcho = Named(new QCheckBox(tr("Echo t&yped keys locally"), this), "chkConsoleLocalEcho");
    chkConsoleLocalEcho->setAccessibleName(tr("Echo typed keys locally"));
    spnConsolePasteChar = MakeSpin(this, "spnConsolePasteChar", tr("Pause after each pasted character"),
                                   kMaxPasteMs, 1, tr(" ms"));
    spnConsolePasteLine =
        MakeSpin(this, "spnConsolePasteLine", tr("Pause after each pasted line"), kMaxPasteMs, 10, tr(" ms"));
    cboConsoleEncoding = MakeChoice(this, "cboConsoleEncoding", tr("Received text encoding"),
                                    {QStringLiteral("UTF-8"), QStringLiteral("Latin-1")});

    auto *form = new QFormLayout;
    form->addRow(tr("&Enter sends:"), cboConsoleEnter);
    form->addRow(tr("&Backspace sends:"), cboConsoleBackspace);
    form->addRow(tr("&Scrollback:"), spnConsoleScrollback);
    form->addRow(QString(), chkConsoleLocalEcho);
    form->addRow(tr("Paste: pause after each c&haracter:"), spnConsolePasteChar);
    form->addRow(tr("Paste: pause after each &line:"), spnConsolePasteLine);
    form->addRow(tr("Received te&xt:"), cboConsoleEncoding);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(MakeOkCancelRow(this, btnOK, btnCancel));
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    SetSettings(ST_ConsoleSettings{});
}

ST_ConsoleSettings TfrmConsoleSettings::Settings() const
{
    ST_ConsoleSettings console;
    console.Keys.Enter = static_cast<EConsoleEnter>(cboConsoleEnter->currentIndex());
    console.Keys.BackspaceDel = cboConsoleBackspace->currentIndex() == 0;
    console.ScrollbackLines = static_cast<size_t>(spnConsoleScrollback->value());
    console.LocalEcho = chkConsoleLocalEcho->isChecked();
    console.PasteCharMs = spnConsolePasteChar->value();
    console.PasteLineMs = spnConsolePasteLine->value();
    console.Latin1 = cboConsoleEncoding->currentIndex() == 1;
    return console;
}

void TfrmConsoleSettings::SetSettings(const ST_ConsoleSettings &console)
{
    cboConsoleEnter->setCurrentIndex(static_cast<int>(console.Keys.Enter));
    cboConsoleBackspace->setCurrentIndex(console.Keys.BackspaceDel ? 0 : 1);
    spnConsoleScrollback->setValue(
        static_cast<int>(std::min<size_t>(console.ScrollbackLines, kMaxScrollback)));
    chkConsoleLocalEcho->setChecked(console.LocalEcho);
    spnConsolePasteChar->setValue(console.PasteCharMs);
    spnConsolePasteLine->setValue(console.PasteLineMs);
    cboConsoleEncoding->setCurrentIndex(console.Latin1 ? 1 : 0);
}

bool TfrmConsoleSettings::Ask(QWidget *owner, ST_ConsoleSettings &console)
{
    TfrmConsoleSettings dialog(owner);
    dialog.SetSettings(console);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    console = dialog.Settings();
    return true;
}
