#include "autosend/gui/TfrmAutoSendSetting.h"

#include "autosend/gui/TfrmGroupRecord.h"
#include "autosend/gui/TfrmRecordTypeSelect.h"
#include "autosend/gui/TfrmSingleRecord.h"
#include "autosend/gui/ruleeditsupport.h"
#include "data/gui/dialogsupport.h"
#include "data/gui/TListButtons.h"
#include "platform/appfolder.h"
#include "platform/errors.h"
#include "platform/gui/coretext.h"
#include "platform/textfile.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char kRuleFilter[] = QT_TRANSLATE_NOOP(
    "TfrmAutoSendSetting", "Auto Send Setting (*.ass)|*.ass|Text File(*.txt)|*.txt|All Files(*.*)|*.*");

} // namespace

TfrmAutoSendSetting::TfrmAutoSendSetting(QWidget *owner, const std::string &rulePath)
    : QDialog(owner), m_rulePath(rulePath.empty() ? AppFilePath("Default.ass") : rulePath)
{
    setObjectName("frmAutoSendSetting");
    setWindowTitle(tr("Auto Send Rule Setting"));

    lsvSendRule = MakeRowList(this, "lsvSendRule", {tr("Priority"), tr("Name"), tr("Type"), tr("Comment")});
    lsvSendRule->setColumnWidth(1, 80);
    lsvSendRule->setColumnWidth(2, 80);
    lsvSendRule->setColumnWidth(3, 300);
    lsvSendRule->setMinimumWidth(560);

    auto *buttons =
        new TListButtons(this,
                         {
                             {&btnNew, tr("&New"), "btnNew"},
                             {&btnEdit, tr("&Edit"), "btnEdit", EListRole::Edit},
                             {&btnDelete, tr("&Delete"), "btnDelete", EListRole::Delete},
                             {&btnDeleteAll, tr("Delete &All"), "btnDeleteAll", EListRole::DeleteAll},
                             {&btnUp, tr("&Up"), "btnUp", EListRole::Up},
                             {&btnDown, tr("Do&wn"), "btnDown", EListRole::Down},
                             {&btnLoad, tr("&Load"), "btnLoad"},
                             {&btnSaveAs, tr("&Save"), "btnSaveAs"},
                             {&btnOK, tr("&OK"), "btnOK"},
                             {&btnCancel, tr("&Cancel"), "btnCancel"},
                         },
                         true);
    m_buttons = buttons;
    QVBoxLayout *side = buttons->Column({btnNew, btnEdit, btnDelete, btnDeleteAll, btnUp, btnDown, btnLoad,
                                         btnSaveAs, nullptr, btnOK, btnCancel});
    btnOK->setDefault(true);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(lsvSendRule, 1);
    layout->addLayout(side);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(lsvSendRule, &QTreeWidget::itemSelectionChanged, this, &TfrmAutoSendSetting::UpdateStates);
    connect(lsvSendRule, &QTreeWidget::itemDoubleClicked, this, &TfrmAutoSendSetting::btnEditClick);
    connect(btnNew, &QPushButton::clicked, this, &TfrmAutoSendSetting::btnNewClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmAutoSendSetting::btnEditClick);
    TListButtons::ST_Rows rows;
    rows.Swap = [this](int row, int other) {
        std::swap(m_rules.At(row), m_rules.At(other));
        WriteRow(row);
        WriteRow(other);
    };
    rows.Remove = [this](int row) {
        m_rules.Remove(row);
        ShowAllRows(-1);
    };
    rows.RemoveAll = [this] {
        m_rules.Clear();
        ShowAllRows(-1);
    };
    rows.Changed = [this] { UpdateStates(); };
    buttons->SetRows(lsvSendRule, std::move(rows));
    connect(btnLoad, &QPushButton::clicked, this, &TfrmAutoSendSetting::btnLoadClick);
    connect(btnSaveAs, &QPushButton::clicked, this, &TfrmAutoSendSetting::btnSaveAsClick);
    connect(btnOK, &QPushButton::clicked, this, &TfrmAutoSendSetting::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmAutoSendSetting::reject);

    try {
        m_rules.LoadFromFile(m_rulePath);
    } catch (const EKestrumError &error) {
        // The rules read before the fault stay; the error is shown once the dialog is up.
        m_loadError = CoreErrorText(error);
    }
    ShowAllRows();
}

void TfrmAutoSendSetting::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_loadError.isEmpty()) {
        const QString text = m_loadError;
        m_loadError.clear();
        QTimer::singleShot(0, this, [this, text] { ShowErrorBox(this, EKestrumError(text.toStdString())); });
    }
}

void TfrmAutoSendSetting::WriteRow(int index)
{
    QTreeWidgetItem *row = lsvSendRule->topLevelItem(index);
    if (!row)
        row = new QTreeWidgetItem(lsvSendRule);
    const CRule &rule = *m_rules.At(index);
    row->setText(0, QString::number(index + 1));
    row->setText(1, FromLatin1(rule.Name));
    row->setText(2, RuleTypeText(rule));
    row->setText(3, RuleComment(rule));
    SelectRow(index);
}

void TfrmAutoSendSetting::SelectRow(int index)
{
    QTreeWidgetItem *row = lsvSendRule->topLevelItem(index);
    if (!row)
        return;
    lsvSendRule->clearSelection();
    lsvSendRule->setCurrentItem(row);
    row->setSelected(true);
    lsvSendRule->scrollToItem(row);
}

void TfrmAutoSendSetting::ShowAllRows(int select)
{
    lsvSendRule->clear();
    for (int i = 0; i < m_rules.Count(); ++i)
        WriteRow(i);
    lsvSendRule->clearSelection();
    SelectRow(select);
    UpdateStates();
}

void TfrmAutoSendSetting::ShowAllRows()
{
    // Every row written selects itself, so the last one stays selected.
    ShowAllRows(m_rules.Count() - 1);
}

int TfrmAutoSendSetting::SelectedRow() const
{
    return SingleSelectedRow(lsvSendRule);
}

void TfrmAutoSendSetting::UpdateStates()
{
    m_buttons->UpdateStates();
}

bool TfrmAutoSendSetting::EditRule(std::unique_ptr<CRule> &rule)
{
    if (auto *single = dynamic_cast<CSingleRule *>(rule.get())) {
        TfrmSingleRecord editor(this);
        editor.SetRule(*single);
        if (editor.exec() != QDialog::Accepted)
            return false;
        rule = editor.Rule().Clone();
        return true;
    }
    if (auto *group = dynamic_cast<CGroupRule *>(rule.get())) {
        TfrmGroupRecord editor(this);
        editor.SetRule(*group);
        if (editor.exec() != QDialog::Accepted)
            return false;
        rule = editor.Rule().Clone();
        return true;
    }
    return false;
}

void TfrmAutoSendSetting::btnNewClick()
{
    TfrmRecordTypeSelect chooser(this);
    if (chooser.exec() != QDialog::Accepted)
        return;
    std::unique_ptr<CRule> rule;
    if (chooser.SelectedIndex() == 1)
        rule = std::make_unique<CGroupRule>();
    else
        rule = std::make_unique<CSingleRule>();
    if (!EditRule(rule))
        return;
    m_rules.Add(std::move(rule));
    WriteRow(m_rules.Count() - 1);
    UpdateStates();
}

void TfrmAutoSendSetting::btnEditClick()
{
    const int index = SelectedRow();
    if (index < 0)
        return;
    std::unique_ptr<CRule> copy = m_rules.At(index)->Clone();
    if (!EditRule(copy))
        return;
    m_rules.At(index) = std::move(copy);
    WriteRow(index);
    UpdateStates();
}

void TfrmAutoSendSetting::btnLoadClick()
{
    const QString path = AskFilePath(this, "dlgOpen", false, tr(kRuleFilter), "ass");
    if (path.isEmpty() || !FileExists(path.toStdString()))
        return;
    try {
        m_rules.LoadFromFile(path.toStdString());
    } catch (const EKestrumError &error) {
        ShowAllRows();
        ShowErrorBox(this, error);
        return;
    }
    ShowAllRows();
}

void TfrmAutoSendSetting::btnSaveAsClick()
{
    const QString path = AskFilePath(this, "dlgSave", true, tr(kRuleFilter), "ass");
    if (path.isEmpty())
        return;
    try {
        m_rules.SaveToFile(path.toStdString());
    } catch (const EKestrumError &error) {
        ShowErrorBox(this, error);
    }
}

void TfrmAutoSendSetting::accept()
{
    try {
        m_rules.SaveToFile(m_rulePath);
    } catch (const EKestrumError &error) {
        ShowErrorBox(this, error);
        return;
    }
    QDialog::accept();
}
