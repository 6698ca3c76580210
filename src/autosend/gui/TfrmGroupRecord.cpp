#include "autosend/gui/TfrmGroupRecord.h"

#include "autosend/gui/ruleeditsupport.h"
#include "data/gui/dialogsupport.h"
#include "data/gui/TListButtons.h"
#include "platform/errors.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"
#include "senddata/senddatalist.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// The event field with its Edit button, and the delay choice below them.
void PlaceEventRows(QGridLayout *grid, int row, QLineEdit *event, QPushButton *edit, QCheckBox *delay,
                    QLineEdit *delayTime)
{
    grid->addWidget(event, row, 0, 1, 2);
    grid->addWidget(edit, row, 2);
    grid->addWidget(delay, row + 1, 0);
    grid->addWidget(delayTime, row + 1, 1);
}

} // namespace

TfrmGroupRecord::TfrmGroupRecord(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmGroupRecord");
    setWindowTitle(tr("Group Data Rule"));
    edName = Named(new QLineEdit("Rule", this), "edName");

    auto *startBox = new QGroupBox(tr("Start Event"), this);
    edStartEvent = Named(new QLineEdit(startBox), "edStartEvent");
    btnStartEventEdit = Named(new QPushButton(tr("Edit"), startBox), "btnStartEventEdit");
    chkStartDelay = Named(new QCheckBox(tr("Delay(ms)"), startBox), "chkStartDelay");
    edStartDelayTime = Named(new QLineEdit("0", startBox), "edStartDelayTime");
    auto *startGrid = new QGridLayout(startBox);
    PlaceEventRows(startGrid, 0, edStartEvent, btnStartEventEdit, chkStartDelay, edStartDelayTime);

    auto *stopBox = new QGroupBox(tr("Stop Event"), this);
    chkStopValid = Named(new QCheckBox(tr("Set Stop Event"), stopBox), "chkStopValid");
    edStopEvent = Named(new QLineEdit(stopBox), "edStopEvent");
    btnEndEvent = Named(new QPushButton(tr("Edit"), stopBox), "btnEndEvent");
    chkStopDelay = Named(new QCheckBox(tr("Delay(ms)"), stopBox), "chkStopDelay");
    edStopDelayTime = Named(new QLineEdit("0", stopBox), "edStopDelayTime");
    auto *stopGrid = new QGridLayout(stopBox);
    stopGrid->addWidget(chkStopValid, 0, 0);
    PlaceEventRows(stopGrid, 1, edStopEvent, btnEndEvent, chkStopDelay, edStopDelayTime);

    auto *stepBox = new QGroupBox(tr("Step Event"), this);
    edStepEvent = Named(new QLineEdit(stepBox), "edStepEvent");
    btnStepEvent = Named(new QPushButton(tr("Edit"), stepBox), "btnStepEvent");
    chkStepDelay = Named(new QCheckBox(tr("Delay(ms)"), stepBox), "chkStepDelay");
    edStepDelayTime = Named(new QLineEdit("0", stepBox), "edStepDelayTime");
    chkLoop = Named(new QCheckBox(tr("Loop"), stepBox), "chkLoop");
    auto *stepGrid = new QGridLayout(stepBox);
    PlaceEventRows(stepGrid, 0, edStepEvent, btnStepEvent, chkStepDelay, edStepDelayTime);
    stepGrid->addWidget(chkLoop, 1, 2);

    for (QLineEdit *field : {edStartEvent, edStopEvent, edStepEvent}) {
        field->setReadOnly(true);
        field->installEventFilter(this);
        field->setMinimumWidth(300);
    }

    lsvSendData = MakeRowList(this, "lsvSendData", {tr("Name"), tr("Type"), tr("Content")});
    m_buttons = new TListButtons(this,
                                 {
                                     {&btnNew, tr("&New"), "btnNew"},
                                     {&btnEdit, tr("&Edit"), "btnEdit", EListRole::Edit},
                                     {&btnDelete, tr("&Delete"), "btnDelete", EListRole::Delete},
                                     {&btnDeleteAll, tr("Delete &All"), "btnDeleteAll", EListRole::DeleteAll},
                                     {&btnUp, tr("&Up"), "btnUp", EListRole::Up},
                                     {&btnDown, tr("Do&wn"), "btnDown", EListRole::Down},
                                     {&btnLoad, tr("&Load"), "btnLoad"},
                                     {&btnSave, tr("&Save"), "btnSave"},
                                 },
                                 true);
    QVBoxLayout *itemButtons = m_buttons->Column(
        {btnNew, btnEdit, btnDelete, btnDeleteAll, btnUp, btnDown, btnLoad, btnSave, nullptr});

    QHBoxLayout *okRow = MakeOkCancelRow(this, btnOK, btnCancel);
    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(tr("Name"), this));
    nameRow->addWidget(edName);
    auto *itemsRow = new QHBoxLayout;
    itemsRow->addWidget(lsvSendData, 1);
    itemsRow->addLayout(itemButtons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(startBox);
    layout->addWidget(stopBox);
    layout->addWidget(stepBox);
    layout->addLayout(itemsRow);
    layout->addLayout(okRow);

    connect(chkStartDelay, &QCheckBox::toggled, this, &TfrmGroupRecord::UpdateStates);
    connect(chkStopValid, &QCheckBox::toggled, this, &TfrmGroupRecord::UpdateStates);
    connect(chkStopDelay, &QCheckBox::toggled, this, &TfrmGroupRecord::UpdateStates);
    connect(chkStepDelay, &QCheckBox::toggled, this, &TfrmGroupRecord::UpdateStates);
    connect(lsvSendData, &QTreeWidget::itemSelectionChanged, this, &TfrmGroupRecord::UpdateStates);
    connect(lsvSendData, &QTreeWidget::itemDoubleClicked, this, &TfrmGroupRecord::btnEditClick);
    connect(btnStartEventEdit, &QPushButton::clicked, this,
            [this] { EditEvent(this, m_rule.StartEvent, edStartEvent); });
    connect(btnEndEvent, &QPushButton::clicked, this,
            [this] { EditEvent(this, m_rule.StopEvent, edStopEvent); });
    connect(btnStepEvent, &QPushButton::clicked, this,
            [this] { EditEvent(this, m_rule.StepEvent, edStepEvent); });
    connect(btnNew, &QPushButton::clicked, this, &TfrmGroupRecord::btnNewClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmGroupRecord::btnEditClick);
    TListButtons::ST_Rows rows;
    rows.Swap = [this](int row, int other) {
        std::swap(m_rule.Items[static_cast<size_t>(row)], m_rule.Items[static_cast<size_t>(other)]);
        ShowItems(other);
    };
    rows.Remove = [this](int row) {
        m_rule.Items.erase(m_rule.Items.begin() + row);
        ShowItems(-1);
    };
    rows.RemoveAll = [this] {
        m_rule.Items.clear();
        ShowItems(-1);
    };
    rows.Changed = [this] { UpdateStates(); };
    m_buttons->SetRows(lsvSendData, std::move(rows));
    connect(btnLoad, &QPushButton::clicked, this, &TfrmGroupRecord::btnLoadClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmGroupRecord::btnSaveClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmGroupRecord::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmGroupRecord::reject);
    ShowRule();
}

void TfrmGroupRecord::SetRule(const CGroupRule &rule)
{
    m_rule = rule;
    ShowRule();
}

void TfrmGroupRecord::ShowRule()
{
    edName->setText(FromLatin1(m_rule.Name));
    ShowDelay(chkStartDelay, edStartDelayTime, m_rule.StartDelay);
    ShowDelay(chkStopDelay, edStopDelayTime, m_rule.StopDelay);
    ShowDelay(chkStepDelay, edStepDelayTime, m_rule.StepDelay);
    edStartEvent->setText(EventText(m_rule.StartEvent));
    edStopEvent->setText(EventText(m_rule.StopEvent));
    edStepEvent->setText(EventText(m_rule.StepEvent));
    chkStopValid->setChecked(m_rule.StopEvent != nullptr);
    chkLoop->setChecked(m_rule.Loop);
    ShowItems(-1);
}

void TfrmGroupRecord::ShowItems(int select)
{
    lsvSendData->clear();
    for (const CCommData &item : m_rule.Items) {
        SetItemRow(new QTreeWidgetItem(lsvSendData), item);
    }
    if (select >= 0 && select < lsvSendData->topLevelItemCount()) {
        lsvSendData->setCurrentItem(lsvSendData->topLevelItem(select));
        lsvSendData->topLevelItem(select)->setSelected(true);
    }
    UpdateStates();
}

void TfrmGroupRecord::UpdateStates()
{
    edStartDelayTime->setEnabled(chkStartDelay->isChecked());
    const bool stop = chkStopValid->isChecked();
    chkStopDelay->setEnabled(stop);
    edStopEvent->setEnabled(stop);
    btnEndEvent->setEnabled(stop);
    edStopDelayTime->setEnabled(stop && chkStopDelay->isChecked());
    edStepDelayTime->setEnabled(chkStepDelay->isChecked());
    m_buttons->UpdateStates();
}

int TfrmGroupRecord::SelectedItem() const
{
    return SingleSelectedRow(lsvSendData);
}

void TfrmGroupRecord::accept()
{
    int32_t start = 0, stop = 0, step = 0;
    try {
        start = DelayOf(chkStartDelay, edStartDelayTime);
        // Without a stop event its delay is not used, so what the field holds cannot block OK.
        if (chkStopValid->isChecked())
            stop = DelayOf(chkStopDelay, edStopDelayTime);
        step = DelayOf(chkStepDelay, edStepDelayTime);
    } catch (const EConvertError &error) {
        ShowErrorBox(this, error);
        return;
    }
    m_rule.Name = ToLatin1(edName->text());
    m_rule.StartDelay = start;
    m_rule.StopDelay = stop;
    m_rule.StepDelay = step;
    m_rule.Loop = chkLoop->isChecked();
    if (!chkStopValid->isChecked()) {
        m_rule.StopEvent.reset();
        m_rule.StopDelay = 0;
    }
    QDialog::accept();
}

void TfrmGroupRecord::btnNewClick()
{
    CCommData item;
    if (!TfrmDataEdit::EditItem(this, item))
        return;
    m_rule.Items.push_back(item);
    ShowItems(static_cast<int>(m_rule.Items.size()) - 1);
}

void TfrmGroupRecord::btnEditClick()
{
    const int index = SelectedItem();
    if (index < 0)
        return;
    CCommData item = m_rule.Items[static_cast<size_t>(index)];
    if (!TfrmDataEdit::EditItem(this, item))
        return;
    m_rule.Items[static_cast<size_t>(index)] = item;
    ShowItems(index);
}

void TfrmGroupRecord::btnLoadClick()
{
    const QString path = AskFilePath(this, "dlgOpen", false, TfrmSendDataList::FileFilter(), "sds");
    if (path.isEmpty())
        return;
    try {
        CSendDataList list;
        if (!list.Load(path.toStdString()))
            return;
        m_rule.Items = list.Items();
    } catch (const EKestrumError &error) {
        ShowErrorBox(this, error);
        return;
    }
    ShowItems(-1);
}

void TfrmGroupRecord::btnSaveClick()
{
    const QString path = AskFilePath(this, "dlgSave", true, TfrmSendDataList::FileFilter(), "sds");
    if (path.isEmpty())
        return;
    try {
        CSendDataList list;
        for (const CCommData &item : m_rule.Items)
            list.Append(item);
        list.Save(path.toStdString());
    } catch (const EKestrumError &error) {
        ShowErrorBox(this, error);
    }
}

bool TfrmGroupRecord::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        auto *field = qobject_cast<QLineEdit *>(watched);
        if (field && field->isEnabled()) {
            if (field == edStartEvent)
                EditEvent(this, m_rule.StartEvent, edStartEvent);
            else if (field == edStopEvent)
                EditEvent(this, m_rule.StopEvent, edStopEvent);
            else if (field == edStepEvent)
                EditEvent(this, m_rule.StepEvent, edStepEvent);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
