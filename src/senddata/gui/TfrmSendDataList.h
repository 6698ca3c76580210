#pragma once
// Manages the send data list. It works on its own copy loaded from "Default.sds"; OK writes that
// copy back, Cancel leaves the file as it was. The caller reloads its panel from the file after
// the dialog closes, whichever way.
#include "data/commdata.h"

#include <QDialog>
#include <memory>

class CSendDataList;
class QFileDialog;
class QPushButton;
class QTreeWidget;
class TListButtons;

class TfrmSendDataList : public QDialog
{
    Q_OBJECT
public:
    // The file dialogs of every send data file, wherever it is written or read.
    static QString FileFilter()
    {
        return tr("SendDataSetting (*.sds)|*.sds|Text File(*.txt)|*.txt|All Files(*.*)|*.*");
    }

    explicit TfrmSendDataList(QWidget *owner);
    ~TfrmSendDataList() override;

    int Count() const;
    const CCommData &At(int pos) const;

    void accept() override;

private:
    void RefillRows();
    void DrawRow(int pos, bool select);
    int SelectedRow() const;
    void UpdateButtons();

    void btnNewClick();
    void btnEditClick();
    void btnLoadClick();
    void btnSaveAsClick();

    std::unique_ptr<CSendDataList> m_list;

    QTreeWidget *lsvSendData;
    TListButtons *m_buttons = nullptr;
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
    QFileDialog *dlgLoad;
    QFileDialog *dlgSave;
};
