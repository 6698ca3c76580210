#pragma once
// Every received block, kept for the whole run and across restarts in its window's file
// ("TempRec.tmp" for the first window). Created once after its main window and shown modally on
// demand; blocks keep arriving while it is shown. Besides the write at destruction the file follows
// every change within a couple of seconds, so a killed program loses at most those: new blocks are
// appended to it, and any other change (and the emptying at the bound) rewrites it whole.
#include "platform/backgroundwriter.h"
#include "recdata/recdatalist.h"

#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <string>

class QFileDialog;
class QPushButton;
class QTimer;
class QTreeView;
class CRecDataModel;

class TfrmRecDataList : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kFlushDelayMs = 2000;
    // Blocks holding this much go to the file at once: the text they become is a few times their
    // size, and a fast stream would otherwise pile up two seconds of it.
    // Not while the list turns over faster than the timer: within kFlushDelayMs of it emptying,
    // or when, at the pace of the blocks since the timer started, it empties before the timer
    // fires. The rewrite after the emptying would throw most of the pieces' text away, so the
    // timer alone writes such a stream.
    static constexpr size_t kFlushBytes = 256 * 1024;
    // Packed at each flush at most, a few flushes' worth: a stream that keeps up with it is held
    // packed a flush behind, and a full list loaded at the start is packed over the first few.
    static constexpr size_t kPackBudget = 1024 * 1024;

    // Loads the list from `filePath`; an empty one is "TempRec.tmp" in the app folder.
    explicit TfrmRecDataList(QWidget *owner, const std::string &filePath = std::string());
    // Writes the list's file.
    ~TfrmRecDataList() override;

    void AddRecData(CCommData item);
    void ClearRecData();
    bool LoadRecData(const std::string &path);
    void SaveRecData(const std::string &path);
    const std::string &RecDataFilePath() const { return m_filePath; }
    void UpdateButtons();

    // "Add to Send Data" hands each selected entry to this, top row first.
    void SetAddToSendData(std::function<void(const CCommData &)> addToSendData);

    const CRecDataList &Entries() const { return m_entries; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Moves the list's own file out of the way of the next save and tells the user once, with
    // `why`; false when there was no regular file to move.
    bool KeepAside(const std::string &path, const QString &why);
    void SelectOnly(int pos);
    // Selected rows counted from the selection's ranges, without listing them.
    int SelectedCount(int *first) const;
    std::vector<int> SelectedRows() const;
    void lsvRecDataChange();
    // `appended`: the change only added rows at the end.
    void ScheduleFlush(bool appended = false);
    bool TurningOver() const;
    void Flush();

    void btnAddtoSendDataClick();
    void btnDeleteAllClick();
    void btnDeleteClick();
    void btnSaveClick();
    void btnEditClick();
    void btnMergeClick();

    std::string m_filePath;
    CRecDataList m_entries;
    std::function<void(const CCommData &)> m_addToSendData;
    QTimer *m_flushTimer;
    bool m_dirty = false;
    bool m_rewrite = true; // the file must be written whole; else it holds the first m_onFile rows
    int m_onFile = 0;
    size_t m_unflushedBytes = 0;
    QElapsedTimer m_sinceEmptied;  // since a block last emptied the full list
    int m_addedSinceScheduled = 0; // since the flush timer last started
    CBackgroundWriter m_writer;

    CRecDataModel *m_model;
    QTreeView *lsvRecData;
    QPushButton *btnAddtoSendData;
    QPushButton *btnDeleteAll;
    QPushButton *btnDelete;
    QPushButton *btnSave;
    QPushButton *btnExit;
    QPushButton *btnMerge;
    QPushButton *btnEdit;
    QFileDialog *dlgSave;
};
