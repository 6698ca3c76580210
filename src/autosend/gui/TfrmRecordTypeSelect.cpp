#include "autosend/gui/TfrmRecordTypeSelect.h"

#include "data/gui/dialogsupport.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TfrmRecordTypeSelect::TfrmRecordTypeSelect(QWidget *owner) : QDialog(owner)
{
    setObjectName("frmRecordTypeSelect");
    setWindowTitle(tr("Rule Type Select"));
    rdgRuleType = Named(new QGroupBox(tr("Rule Type"), this), "rdgRuleType");
    m_types = new QButtonGroup(this);
    auto *typeLayout = new QVBoxLayout(rdgRuleType);
    const char *items[] = {QT_TR_NOOP("Single Data Rule"), QT_TR_NOOP("Group Data Rule")};
    for (int i = 0; i < 2; ++i) {
        auto *button = new QRadioButton(tr(items[i]), rdgRuleType);
        m_types->addButton(button, i);
        typeLayout->addWidget(button);
    }
    m_types->button(0)->setChecked(true);

    QHBoxLayout *buttons = MakeOkCancelRow(this, btnOK, btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(rdgRuleType);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TfrmRecordTypeSelect::SelectedIndex() const
{
    return std::max(0, m_types->checkedId());
}

void TfrmRecordTypeSelect::SetSelectedIndex(int index)
{
    if (QAbstractButton *button = m_types->button(index))
        button->setChecked(true);
}

void TfrmRecordTypeSelect::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
