#pragma once
// Asks which kind of rule to create. Esc confirms the current choice, like OK.
#include <QDialog>

class QButtonGroup;
class QGroupBox;
class QPushButton;

class TfrmRecordTypeSelect : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmRecordTypeSelect(QWidget *owner);
    // 0 single rule, 1 group rule.
    int SelectedIndex() const;
    void SetSelectedIndex(int index);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    QGroupBox *rdgRuleType;
    QButtonGroup *m_types;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
