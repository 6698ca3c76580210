#pragma once
// Edits a working copy of one group rule: its three events and delays, the loop flag and the
// items; the caller takes Rule() back when it was confirmed.
#include "autosend/rule.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class TListButtons;

class TfrmGroupRecord : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmGroupRecord(QWidget *owner);

    void SetRule(const CGroupRule &rule);
    const CGroupRule &Rule() const { return m_rule; }

    // Takes over name, delays, loop and the stop choice; stays open, showing the error, while a
    // checked delay is no integer.
    void accept() override;

private:
    void ShowRule();
    void ShowItems(int select);
    void UpdateStates();
    int SelectedItem() const;
    void btnNewClick();
    void btnEditClick();
    void btnLoadClick();
    void btnSaveClick();
    bool eventFilter(QObject *watched, QEvent *event) override;

    CGroupRule m_rule;

    QLineEdit *edName;
    QLineEdit *edStartEvent;
    QPushButton *btnStartEventEdit;
    QCheckBox *chkStartDelay;
    QLineEdit *edStartDelayTime;
    QCheckBox *chkStopValid;
    QLineEdit *edStopEvent;
    QPushButton *btnEndEvent;
    QCheckBox *chkStopDelay;
    QLineEdit *edStopDelayTime;
    QLineEdit *edStepEvent;
    QPushButton *btnStepEvent;
    QCheckBox *chkStepDelay;
    QLineEdit *edStepDelayTime;
    QCheckBox *chkLoop;
    QTreeWidget *lsvSendData;
    TListButtons *m_buttons = nullptr;
    QPushButton *btnNew;
    QPushButton *btnEdit;
    QPushButton *btnDelete;
    QPushButton *btnDeleteAll;
    QPushButton *btnUp;
    QPushButton *btnDown;
    QPushButton *btnLoad;
    QPushButton *btnSave;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
