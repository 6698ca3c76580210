#pragma once
// Edits a working copy of one single rule; the caller takes Rule() back when it was confirmed.
#include "autosend/rule.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

class TfrmSingleRecord : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmSingleRecord(QWidget *owner);

    void SetRule(const CSingleRule &rule);
    const CSingleRule &Rule() const { return m_rule; }

    // Takes over name, Always and delay; stays open, showing the error, while the delay is no
    // integer.
    void accept() override;

private:
    void ShowRule();
    void btnEventEditClick();
    void btnDataEditClick();
    bool eventFilter(QObject *watched, QEvent *event) override;

    CSingleRule m_rule;

    QLineEdit *edName;
    QLineEdit *edEvent;
    QPushButton *btnEventEdit;
    QCheckBox *chkAlways;
    QCheckBox *chkDelay;
    QLineEdit *edDelayTime;
    QLineEdit *edSendData;
    QPushButton *btnDataEdit;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
