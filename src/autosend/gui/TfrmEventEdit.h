#pragma once
// Edits one event: a received block (anything, a fixed length, given leading bytes), a time, or a
// user action. Takes an event in and hands a new one back.
#include "autosend/event.h"

#include <QDialog>
#include <memory>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TfrmEventEdit : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmEventEdit(QWidget *owner);

    // Selects the choice that matches `event` and fills it; null keeps the defaults. What the
    // controls cannot offer (an action or time type without a choice, a time the mask would alter)
    // is shown as it is, so the event reads back unchanged unless the user changes it.
    void SetEvent(const CEvent *event);
    // The event the controls describe. Throws EConvertError when the length is no integer.
    std::unique_ptr<CEvent> Event() const;

    // Stays open, showing the error, while the length is no integer or the time is no valid time
    // of day.
    void accept() override;

private:
    void UpdateStates();
    void ShowTimeText(const std::string &text);
    void ForgetUnlisted();
    void btnEditClick();
    bool eventFilter(QObject *watched, QEvent *event) override;

    CCommData m_specData;
    std::string m_givenTime;
    uint8_t m_unlistedAction = ACTION_STOP;

    QRadioButton *rdReceive;
    QGroupBox *pnlReceive;
    QRadioButton *rdAnything;
    QRadioButton *rdFixLength;
    QLineEdit *edLength;
    QRadioButton *rdSpecData;
    QLineEdit *edData;
    QPushButton *btnEdit;
    QRadioButton *rdTime;
    QGroupBox *pnlTime;
    QComboBox *cboTimeEventType;
    QLineEdit *edTime;
    QRadioButton *rdAction;
    QGroupBox *rdgAction;
    QRadioButton *rdActionUnlisted;
    QButtonGroup *m_actions;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
