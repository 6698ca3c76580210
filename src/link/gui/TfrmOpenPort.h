#pragma once
// The link manager. It shows the process-wide link list, loaded from "Default.cps" when the
// dialog is created and written back there whenever it closes, however it closes (so edits are
// kept even on Cancel). After it closes with OK, SelectedLink() is the link to open. Below the
// links, the demo devices this program plays stand in a group of their own: choosing one opens
// it with the default line settings, and the link list keeps no link for it.
#include "link/linksetting.h"

#include <QDialog>
#include <optional>
#include <string>

class QFileDialog;
class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class TListButtons;

class TfrmOpenPort : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmOpenPort(QWidget *owner);

    // The chosen link; empty names and zero numbers until Open or a double click chose one.
    COM_PORT_SETTING SelectedLink() const { return m_selected; }
    bool HasSelectedLink() const { return m_hasSelected; }

    // Selects the demo device named `port` in its group, as a click on it would; Open opens it.
    void SelectDemoDevice(const std::string &port);

    void done(int result) override;

private:
    void FormCreate();
    void RefillRows();
    void DrawRow(int pos);
    int SelectedRow() const;
    void SelectRow(int pos);
    void UpdateButtons();
    // While the list is empty: what to do instead of Open.
    void ShowWhatToDo();
    // Runs a port setting dialog on `link`; true when it closed with OK and read back whole.
    bool EditLink(COM_PORT_SETTING &link, bool isNew);
    void ChooseSelected();
    // The framing chosen for a link goes with its name: to `to` when it is renamed, nowhere when
    // it is deleted (none), unless another link of the list is still called `from`.
    void FollowFraming(const std::string &from, const std::optional<std::string> &to);
    void FillDemoDevices();
    void ChooseDemoDevice();

    void lstLinkListChange();
    void lstLinkListDblClick();
    void btnNewClick();
    void btnEditClick();
    void btnLoadClick();
    void btnSaveAsClick();
    void btnOKClick();

    COM_PORT_SETTING m_selected;
    bool m_hasSelected = false;

    QTreeWidget *lstLinkList;
    QLabel *lblNoLink; // what to do, while there is no link to open
    QListWidget *lstDemoDevices;
    TListButtons *m_buttons = nullptr;
    QPushButton *btnOK;
    QPushButton *btnCancel;
    QPushButton *btnNew;
    QPushButton *btnEdit;
    QPushButton *btnLoad;
    QPushButton *btnSaveAs;
    QPushButton *btnDelete;
    QPushButton *btnDeleteAll;
    QFileDialog *dlgLoad;
    QFileDialog *dlgSave;
};
