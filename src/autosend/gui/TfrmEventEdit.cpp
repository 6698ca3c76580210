#include "autosend/gui/TfrmEventEdit.h"

#include "data/gui/dialogsupport.h"
#include "platform/errors.h"
#include "senddata/gui/TfrmDataEdit.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// First hour digit optional, every other digit required.
const char kTimeMask[] = "09:99:99.999;_";
constexpr int kTimeTypes = 6;
constexpr int kUnlistedAction = 3;

} // namespace

TfrmEventEdit::TfrmEventEdit(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmEventEdit");
    setWindowTitle(tr("Event Edit"));

    rdReceive = Named(new QRadioButton(tr("On &Receive"), this), "rdReceive");
    pnlReceive = Named(new QGroupBox(this), "pnlReceive");
    rdAnything = Named(new QRadioButton(tr("A&nything"), pnlReceive), "rdAnything");
    rdFixLength = Named(new QRadioButton(tr("&Fix Length"), pnlReceive), "rdFixLength");
    edLength = Named(new QLineEdit("1", pnlReceive), "edLength");
    rdSpecData = Named(new QRadioButton(tr("&Spec Data"), pnlReceive), "rdSpecData");
    edData = Named(new QLineEdit(pnlReceive), "edData");
    edData->setReadOnly(true);
    edData->installEventFilter(this);
    btnEdit = Named(new QPushButton(tr("Edit"), pnlReceive), "btnEdit");
    auto *receiveLayout = new QGridLayout(pnlReceive);
    receiveLayout->addWidget(rdAnything, 0, 0);
    receiveLayout->addWidget(rdFixLength, 1, 0);
    receiveLayout->addWidget(edLength, 1, 1);
    receiveLayout->addWidget(rdSpecData, 2, 0);
    receiveLayout->addWidget(edData, 2, 1);
    receiveLayout->addWidget(btnEdit, 2, 2);
    rdAnything->setChecked(true);

    rdTime = Named(new QRadioButton(tr("On &Time (hh:mm:ss.sss)"), this), "rdTime");
    pnlTime = Named(new QGroupBox(this), "pnlTime");
    cboTimeEventType = Named(new QComboBox(pnlTime), "cboTimeEventType");
    const char *types[kTimeTypes] = {QT_TR_NOOP("AbsoluteTime"),
                                     QT_TR_NOOP("From Start"),
                                     QT_TR_NOOP("From Last Send Begin"),
                                     QT_TR_NOOP("From Last Send End"),
                                     QT_TR_NOOP("From Last Receive Begin"),
                                     QT_TR_NOOP("From Last Receive End")};
    for (int i = 0; i < kTimeTypes; ++i)
        cboTimeEventType->addItem(tr(types[i]), i);
    cboTimeEventType->setCurrentIndex(5);
    edTime = Named(new QLineEdit(pnlTime), "edTime");
    ShowTimeText("00:00:01.000");
    edTime->setAccessibleName(tr("Time"));
    auto *timeLayout = new QHBoxLayout(pnlTime);
    timeLayout->addWidget(new QLabel(tr("Type"), pnlTime));
    timeLayout->addWidget(cboTimeEventType);
    timeLayout->addWidget(edTime);

    rdAction = Named(new QRadioButton(tr("On &Action"), this), "rdAction");
    rdgAction = Named(new QGroupBox(this), "rdgAction");
    m_actions = new QButtonGroup(this);
    auto *actionLayout = new QHBoxLayout(rdgAction);
    const char *actions[] = {QT_TR_NOOP("Begin"), QT_TR_NOOP("Pause"), QT_TR_NOOP("Resume")};
    for (int i = 0; i < 3; ++i) {
        auto *button = new QRadioButton(tr(actions[i]), rdgAction);
        m_actions->addButton(button, i);
        actionLayout->addWidget(button);
    }
    m_actions->button(0)->setChecked(true);
    // Only a hand-edited file gives an action the three choices do not offer (Stop, or a value
    // without a name); it gets a choice of its own so that it is shown and kept as it is.
    rdActionUnlisted = Named(new QRadioButton(rdgAction), "rdActionUnlisted");
    m_actions->addButton(rdActionUnlisted, kUnlistedAction);
    actionLayout->addWidget(rdActionUnlisted);
    rdActionUnlisted->hide();
    // Explicit groups: the receive sub-choices sit inside the box of one top-level choice and
    // must not take part in the top-level exclusivity.
    auto *choices = new QButtonGroup(this);
    for (QRadioButton *choice : {rdReceive, rdTime, rdAction})
        choices->addButton(choice);
    auto *receiveChoices = new QButtonGroup(this);
    for (QRadioButton *choice : {rdAnything, rdFixLength, rdSpecData})
        receiveChoices->addButton(choice);
    rdReceive->setChecked(true);

    QHBoxLayout *buttons = MakeOkCancelRow(this, btnOK, btnCancel);

    auto *layout = new QVBoxLayout(this);
    for (QWidget *w :
         std::initializer_list<QWidget *>{rdReceive, pnlReceive, rdTime, pnlTime, rdAction, rdgAction})
        layout->addWidget(w);
    layout->addLayout(buttons);

    for (QRadioButton *choice : {rdReceive, rdTime, rdAction, rdAnything, rdFixLength, rdSpecData})
        connect(choice, &QRadioButton::clicked, this, &TfrmEventEdit::UpdateStates);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmEventEdit::btnEditClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmEventEdit::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmEventEdit::reject);
    UpdateStates();
}

void TfrmEventEdit::ShowTimeText(const std::string &text)
{
    const QString shown = FromLatin1(text);
    edTime->setMaxLength(12);
    edTime->setInputMask(kTimeMask);
    edTime->setText(shown);
    if (edTime->displayText() != shown) {
        // The mask would change it: shown raw, so that confirming keeps it.
        edTime->setInputMask(QString());
        edTime->setMaxLength(32767);
        edTime->setText(shown);
    }
    m_givenTime = text;
}

void TfrmEventEdit::ForgetUnlisted()
{
    if (rdActionUnlisted->isChecked())
        m_actions->button(0)->setChecked(true);
    rdActionUnlisted->hide();
    while (cboTimeEventType->count() > kTimeTypes)
        cboTimeEventType->removeItem(kTimeTypes);
    if (cboTimeEventType->currentIndex() < 0)
        cboTimeEventType->setCurrentIndex(kTimeTypes - 1);
}

void TfrmEventEdit::SetEvent(const CEvent *event)
{
    ForgetUnlisted();
    if (auto *action = dynamic_cast<const CActionEvent *>(event)) {
        rdAction->setChecked(true);
        if (action->ActionType < kUnlistedAction) {
            m_actions->button(action->ActionType)->setChecked(true);
        } else {
            m_unlistedAction = action->ActionType;
            rdActionUnlisted->setText(
                action->ActionType == ACTION_STOP ? tr("Stop") : QString::number(action->ActionType));
            rdActionUnlisted->show();
            rdActionUnlisted->setChecked(true);
        }
    } else if (auto *time = dynamic_cast<const CTimeEvent *>(event)) {
        rdTime->setChecked(true);
        ShowTimeText(time->TimeText);
        if (time->TimeType >= kTimeTypes)
            cboTimeEventType->addItem(tr("Type %1").arg(time->TimeType), time->TimeType);
        cboTimeEventType->setCurrentIndex(cboTimeEventType->findData(static_cast<int>(time->TimeType)));
    } else if (dynamic_cast<const CReceiveAnythingEvent *>(event)) {
        rdReceive->setChecked(true);
        rdAnything->setChecked(true);
    } else if (auto *fix = dynamic_cast<const CReceiveFixLengthEvent *>(event)) {
        rdReceive->setChecked(true);
        rdFixLength->setChecked(true);
        edLength->setText(QString::number(fix->FixLength));
    } else if (auto *prefixEvent = dynamic_cast<const CReceiveSpecDataEvent *>(event)) {
        rdReceive->setChecked(true);
        rdSpecData->setChecked(true);
        m_specData = prefixEvent->SpecData;
        edData->setText(FromLatin1(m_specData.Summary()));
    }
    UpdateStates();
}

std::unique_ptr<CEvent> TfrmEventEdit::Event() const
{
    if (rdTime->isChecked())
        return std::make_unique<CTimeEvent>(
            ToLatin1(edTime->text()), static_cast<TIME_EVENT_TYPE>(cboTimeEventType->currentData().toInt()));
    if (rdAction->isChecked()) {
        const int id = m_actions->checkedId();
        return std::make_unique<CActionEvent>(id == kUnlistedAction ? m_unlistedAction
                                                                    : static_cast<uint8_t>(std::max(0, id)));
    }
    if (rdFixLength->isChecked())
        return std::make_unique<CReceiveFixLengthEvent>(StrToInt(ToLatin1(edLength->text())));
    if (rdSpecData->isChecked())
        return std::make_unique<CReceiveSpecDataEvent>(m_specData);
    return std::make_unique<CReceiveAnythingEvent>();
}

void TfrmEventEdit::accept()
{
    // The mask admits "25:61:99.000"; such a time would never be reached. A time the event came
    // with is let through untouched: the editor does not rewrite what it did not change.
    int64_t ms = 0;
    const std::string time = ToLatin1(edTime->text());
    if (rdTime->isChecked() && time != m_givenTime &&
        (!edTime->hasAcceptableInput() || !ParseTimeText(time, ms))) {
        ShowMessage(this, tr("'%1' is not a valid time of day (hh:mm:ss.sss)").arg(edTime->displayText()));
        edTime->setFocus();
        return;
    }
    try {
        Event();
    } catch (const EConvertError &error) {
        ShowErrorBox(this, error);
        return;
    }
    QDialog::accept();
}

void TfrmEventEdit::UpdateStates()
{
    const bool receive = rdReceive->isChecked();
    for (QWidget *w : std::initializer_list<QWidget *>{rdAnything, rdFixLength, rdSpecData})
        w->setEnabled(receive);
    edLength->setEnabled(receive && rdFixLength->isChecked());
    edData->setEnabled(receive && rdSpecData->isChecked());
    btnEdit->setEnabled(receive && rdSpecData->isChecked());
    rdgAction->setEnabled(rdAction->isChecked());
    edTime->setEnabled(rdTime->isChecked());
    cboTimeEventType->setEnabled(rdTime->isChecked());
}

void TfrmEventEdit::btnEditClick()
{
    m_specData.SetName("Spec Data");
    CCommData item = m_specData;
    if (!TfrmDataEdit::EditItem(this, item, true))
        return;
    m_specData = item;
    edData->setText(FromLatin1(m_specData.Summary()));
}

bool TfrmEventEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == edData && event->type() == QEvent::MouseButtonPress && edData->isEnabled()) {
        btnEditClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
