#include "autosend/gui/TfrmSingleRecord.h"

#include "autosend/gui/ruleeditsupport.h"
#include "data/gui/dialogsupport.h"
#include "platform/errors.h"
#include "senddata/gui/TfrmDataEdit.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QLineEdit *ReadOnlyField(QWidget *parent, const char *name)
{
    auto *edit = Named(new QLineEdit(parent), name);
    edit->setReadOnly(true);
    QPalette grey = edit->palette();
    grey.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    edit->setPalette(grey);
    return edit;
}

} // namespace

TfrmSingleRecord::TfrmSingleRecord(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmSingleRecord");
    setWindowTitle(tr("Single Data Rule"));

    edName = Named(new QLineEdit("Rule", this), "edName");
    auto *box = new QGroupBox(tr("Single Record"), this);
    edEvent = ReadOnlyField(box, "edEvent");
    edEvent->installEventFilter(this);
    btnEventEdit = Named(new QPushButton(tr("Edit"), box), "btnEventEdit");
    chkAlways = Named(new QCheckBox(tr("Always "), box), "chkAlways");
    chkDelay = Named(new QCheckBox(tr("Delay Before Send Data (ms)"), box), "chkDelay");
    edDelayTime = Named(new QLineEdit("0", box), "edDelayTime");
    edSendData = ReadOnlyField(box, "edSendData");
    edSendData->installEventFilter(this);
    btnDataEdit = Named(new QPushButton(tr("Edit"), box), "btnDataEdit");
    auto *grid = new QGridLayout(box);
    grid->addWidget(new QLabel(tr("Event"), box), 0, 0);
    grid->addWidget(edEvent, 0, 1);
    grid->addWidget(btnEventEdit, 0, 2);
    grid->addWidget(chkAlways, 1, 1);
    grid->addWidget(chkDelay, 2, 0, 1, 2);
    grid->addWidget(edDelayTime, 2, 2);
    grid->addWidget(new QLabel(tr("Send Data"), box), 3, 0);
    grid->addWidget(edSendData, 3, 1);
    grid->addWidget(btnDataEdit, 3, 2);
    edEvent->setMinimumWidth(320);

    QHBoxLayout *buttons = MakeOkCancelRow(this, btnOK, btnCancel);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(tr("Name"), this));
    nameRow->addWidget(edName);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(box);
    layout->addLayout(buttons);

    connect(chkDelay, &QCheckBox::toggled, edDelayTime, &QLineEdit::setEnabled);
    connect(btnEventEdit, &QPushButton::clicked, this, &TfrmSingleRecord::btnEventEditClick);
    connect(btnDataEdit, &QPushButton::clicked, this, &TfrmSingleRecord::btnDataEditClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmSingleRecord::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmSingleRecord::reject);
    ShowRule();
}

void TfrmSingleRecord::SetRule(const CSingleRule &rule)
{
    m_rule = rule;
    ShowRule();
}

void TfrmSingleRecord::ShowRule()
{
    edName->setText(FromLatin1(m_rule.Name));
    edEvent->setText(EventText(m_rule.Event));
    chkAlways->setChecked(m_rule.Always);
    ShowDelay(chkDelay, edDelayTime, m_rule.Delay);
    edSendData->setText(FromLatin1(m_rule.DataItem.Summary()));
}

void TfrmSingleRecord::accept()
{
    int32_t delay = 0;
    try {
        delay = DelayOf(chkDelay, edDelayTime);
    } catch (const EConvertError &error) {
        ShowErrorBox(this, error);
        return;
    }
    m_rule.Always = chkAlways->isChecked();
    m_rule.Name = ToLatin1(edName->text());
    m_rule.Delay = delay;
    QDialog::accept();
}

void TfrmSingleRecord::btnEventEditClick()
{
    EditEvent(this, m_rule.Event, edEvent);
}

void TfrmSingleRecord::btnDataEditClick()
{
    CCommData item = m_rule.DataItem;
    item.SetName("Send Data");
    if (!TfrmDataEdit::EditItem(this, item, true))
        return;
    m_rule.DataItem = item;
    edSendData->setText(FromLatin1(m_rule.DataItem.Summary()));
}

bool TfrmSingleRecord::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == edEvent) {
            btnEventEditClick();
            return true;
        }
        if (watched == edSendData) {
            btnDataEditClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
