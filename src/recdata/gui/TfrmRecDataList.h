#pragma once
// Every received block, kept for the whole run and across restarts in "TempRec.tmp". Created once
// after the main window and shown modally on demand; blocks keep arriving while it is shown.
// Besides the write at destruction the file is rewritten shortly after every change, so a killed
// program loses at most the last couple of seconds.
#include "platform/backgroundwriter.h"
#include "recdata/recdatalist.h"

#include <QDialog>
#include <functional>
#include <string>

class QFileDialog;
class QPushButton;
class QTimer;
class QTreeWidget;

class TfrmRecDataList : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kFlushDelayMs = 2000;

    // Loads "TempRec.tmp" from the app folder.
    explicit TfrmRecDataList(QWidget *owner);
    // Writes "TempRec.tmp".
    ~TfrmRecDataList() override;

    void AddRecData(const CCommData &item);
    void ClearRecData();
    bool LoadRecData(const std::string &path);
    void SaveRecData(const std::string &path);
    static std::string RecDataFilePath() { return CRecDataList::FilePath(); }
    void UpdateButtons();

    // "Add to Send Data" hands each selected entry to this, top row first.
    void SetAddToSendData(std::function<void(const CCommData &)> addToSendData);

    const CRecDataList &Entries() const { return m_entries; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void AppendRow(int pos);
    void DrawRow(int pos);
    void SelectOnly(int pos);
    std::vector<int> SelectedRows() const;
    void lsvRecDataChange();
    void ScheduleFlush();
    void Flush();

    void btnAddtoSendDataClick();
    void btnDeleteAllClick();
    void btnDeleteClick();
    void btnSaveClick();
    void btnEditClick();
    void btnMergeClick();

    CRecDataList m_entries;
    std::function<void(const CCommData &)> m_addToSendData;
    QTimer *m_flushTimer;
    bool m_dirty = false;
    CBackgroundWriter m_writer;

    QTreeWidget *lsvRecData;
    QPushButton *btnAddtoSendData;
    QPushButton *btnDeleteAll;
    QPushButton *btnDelete;
    QPushButton *btnSave;
    QPushButton *btnExit;
    QPushButton *btnMerge;
    QPushButton *btnEdit;
    QFileDialog *dlgSave;
};
