#pragma once
// Edits the rule list the engine runs: loads its window's rule file ("Default.ass" for the first
// window) when created and writes it on OK, so a change applies from the next start of auto send.
// Row i always shows rule i.
#include "autosend/rulelist.h"

#include <QDialog>
#include <QString>
#include <string>

class QPushButton;
class QTreeWidget;
class TListButtons;

class TfrmAutoSendSetting : public QDialog
{
    Q_OBJECT
public:
    // An empty `rulePath` is "Default.ass" in the app folder.
    explicit TfrmAutoSendSetting(QWidget *owner, const std::string &rulePath = std::string());

    const CRuleList &Rules() const { return m_rules; }

    // Writes the rule file; stays open, showing the error, when it cannot be written.
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Opens the editor matching the rule's class on a copy; true, with `rule` replaced by the
    // edited copy, when it was confirmed.
    bool EditRule(std::unique_ptr<CRule> &rule);
    void WriteRow(int index);
    // Rebuilds every row and selects row `select` (none when it is out of range).
    void ShowAllRows(int select);
    // Rebuilds every row; the last row written is the one selected.
    void ShowAllRows();
    void SelectRow(int index);
    int SelectedRow() const;
    void UpdateStates();
    void btnNewClick();
    void btnEditClick();
    void btnLoadClick();
    void btnSaveAsClick();

    std::string m_rulePath;
    CRuleList m_rules;
    QString m_loadError;

    TListButtons *m_buttons = nullptr;
    QTreeWidget *lsvSendRule;
    QPushButton *btnNew;
    QPushButton *btnEdit;
    QPushButton *btnDelete;
    QPushButton *btnDeleteAll;
    QPushButton *btnUp;
    QPushButton *btnDown;
    QPushButton *btnLoad;
    QPushButton *btnSaveAs;
    QPushButton *btnOK;
    QPushButton *btnCancel;
};
