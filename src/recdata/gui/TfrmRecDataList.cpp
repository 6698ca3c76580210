#include "recdata/gui/TfrmRecDataList.h"

#include "data/gui/TListButtons.h"
#include "data/gui/dialogsupport.h"
#include "platform/diaglog.h"
#include "platform/errors.h"
#include "platform/gui/coretext.h"
#include "platform/gui/startnotices.h"
#include "recdata/gui/recdatamodel.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

TfrmRecDataList::TfrmRecDataList(QWidget *owner, const std::string &filePath)
    : QDialog(owner), m_filePath(filePath.empty() ? CRecDataList::FilePath() : filePath)
{
    setObjectName("frmRecDataList");
    setWindowTitle(tr("Receive Data List"));

    m_model = new CRecDataModel(m_entries, this);
    lsvRecData = new QTreeView(this);
    lsvRecData->setObjectName("lsvRecData");
    lsvRecData->setAccessibleName(tr("Received data"));
    lsvRecData->setRootIsDecorated(false);
    lsvRecData->setSelectionBehavior(QAbstractItemView::SelectRows);
    lsvRecData->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lsvRecData->setModel(m_model);
    lsvRecData->setUniformRowHeights(true);
    lsvRecData->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lsvRecData->setColumnWidth(0, 80);
    lsvRecData->setColumnWidth(1, 80);
    lsvRecData->setColumnWidth(2, 420);
    lsvRecData->setMinimumSize(600, 320);

    // Several rows may be selected here, so the row commands stay the dialog's own.
    auto *buttonMaker = new TListButtons(this,
                                         {
                                             {&btnAddtoSendData, tr("&Add to Send Data"), "btnAddtoSendData"},
                                             {&btnDeleteAll, tr("Delete All"), "btnDeleteAll"},
                                             {&btnDelete, tr("&Delete"), "btnDelete"},
                                             {&btnSave, tr("&Save"), "btnSave"},
                                             {&btnExit, tr("Exit"), "btnExit"},
                                             {&btnMerge, tr("&Merge Up"), "btnMerge"},
                                             {&btnEdit, tr("&Edit"), "btnEdit"},
                                         },
                                         false);

    dlgSave = MakeFileDialog(this, "dlgSave", true, TfrmSendDataList::FileFilter(), "sds");

    QHBoxLayout *buttons = buttonMaker->Row(
        {btnAddtoSendData, btnEdit, btnMerge, btnDelete, btnDeleteAll, btnSave, nullptr, btnExit});
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lsvRecData);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_flushTimer = new QTimer(this);
    m_flushTimer->setSingleShot(true);
    m_flushTimer->setInterval(kFlushDelayMs);
    connect(m_flushTimer, &QTimer::timeout, this, &TfrmRecDataList::Flush);

    connect(lsvRecData->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmRecDataList::lsvRecDataChange);
    connect(lsvRecData, &QTreeView::doubleClicked, this, &TfrmRecDataList::btnEditClick);
    connect(btnAddtoSendData, &QPushButton::clicked, this, &TfrmRecDataList::btnAddtoSendDataClick);
    connect(btnDeleteAll, &QPushButton::clicked, this, &TfrmRecDataList::btnDeleteAllClick);
    connect(btnDelete, &QPushButton::clicked, this, &TfrmRecDataList::btnDeleteClick);
    connect(btnSave, &QPushButton::clicked, this, &TfrmRecDataList::btnSaveClick);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnMerge, &QPushButton::clicked, this, &TfrmRecDataList::btnMergeClick);
    connect(btnEdit, &QPushButton::clicked, this, &TfrmRecDataList::btnEditClick);

    try {
        LoadRecData(RecDataFilePath());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
    UpdateButtons();
}

TfrmRecDataList::~TfrmRecDataList()
{
    m_flushTimer->stop();
    m_writer.Wait();
    try {
        SaveRecData(RecDataFilePath());
    } catch (const std::exception &error) {
        ShowErrorBox(nullptr, error);
    }
}

void TfrmRecDataList::SetAddToSendData(std::function<void(const CCommData &)> addToSendData)
{
    m_addToSendData = std::move(addToSendData);
}

void TfrmRecDataList::AddRecData(CCommData item)
{
    const bool emptying = m_entries.FullFor(item);
    const auto length = static_cast<size_t>(item.GetLength());
    if (emptying) {
        m_model->BeginReset();
        m_entries.Add(std::move(item));
        m_model->EndReset();
    } else {
        m_model->BeginAppend();
        m_entries.Add(std::move(item));
        m_model->EndAppend();
    }
    // A new row never joins the user's selection: a Delete must take only the rows the user
    // chose. Scrolling costs far more than the row itself, so a hidden window leaves it to its
    // showing.
    if (isVisible())
        lsvRecData->scrollTo(m_model->index(m_entries.Count() - 1, 0));
    ScheduleFlush(!emptying);
    ++m_addedSinceScheduled;
    m_unflushedBytes += length;
    if (emptying)
        m_sinceEmptied.start();
    if (m_unflushedBytes >= kFlushBytes && !TurningOver())
        Flush();
}

bool TfrmRecDataList::TurningOver() const
{
    if (m_sinceEmptied.isValid() && m_sinceEmptied.elapsed() < kFlushDelayMs)
        return true;
    const qint64 left = m_flushTimer->remainingTime();
    const qint64 elapsed = std::max<qint64>(kFlushDelayMs - left, 1);
    const qint64 room = CRecDataList::kCapacity - m_entries.Count();
    return left > 0 && m_addedSinceScheduled * left >= room * elapsed;
}

void TfrmRecDataList::ClearRecData()
{
    m_model->BeginReset();
    m_entries.Clear();
    m_model->EndReset();
    ScheduleFlush();
    UpdateButtons();
}

bool TfrmRecDataList::LoadRecData(const std::string &path)
{
    const bool own = path == RecDataFilePath();
    m_model->BeginReset();
    bool loaded = false;
    try {
        loaded = m_entries.Load(path);
        m_model->EndReset();
    } catch (const EFileError &error) {
        m_model->EndReset();
        // The list is saved at the end whatever it holds: a file it could not read must be out
        // of the way first, or it would be lost to an empty list.
        if (!own || !KeepAside(path, CoreErrorText(error)))
            throw;
    }
    const bool whole = loaded && m_entries.LoadedAll();
    if (own && loaded && !whole)
        KeepAside(path, tr("Some lines of %1 cannot be read.").arg(QString::fromLocal8Bit(path.c_str())));
    // The list as loaded from its own file is the base later blocks are appended to.
    m_rewrite = !(whole && own && m_entries.LoadedFileTakesAppends());
    m_onFile = m_entries.Count();
    UpdateButtons();
    return loaded;
}

bool TfrmRecDataList::KeepAside(const std::string &path, const QString &why)
{
    const std::string aside = ::KeepAside(path);
    if (aside.empty())
        return false;
    TellProblem(this, why + QLatin1Char('\n') +
                          tr("The file is kept as %1; the list goes on with what could be read.")
                              .arg(QString::fromLocal8Bit(aside.c_str())));
    return true;
}

void TfrmRecDataList::SaveRecData(const std::string &path)
{
    m_entries.Save(path);
    if (path == RecDataFilePath()) {
        m_dirty = false;
        m_rewrite = false;
        m_onFile = m_entries.Count();
    }
}

void TfrmRecDataList::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    const int rows = m_model->rowCount();
    if (rows > 0)
        lsvRecData->scrollTo(m_model->index(rows - 1, 0));
    UpdateButtons();
}

void TfrmRecDataList::SelectOnly(int pos)
{
    const QModelIndex index = m_model->index(pos, 0);
    lsvRecData->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
    lsvRecData->scrollTo(index);
}

int TfrmRecDataList::SelectedCount(int *first) const
{
    int count = 0;
    *first = -1;
    for (const QItemSelectionRange &range : lsvRecData->selectionModel()->selection()) {
        count += range.height();
        if (*first < 0 || range.top() < *first)
            *first = range.top();
    }
    return count;
}

std::vector<int> TfrmRecDataList::SelectedRows() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange &range : lsvRecData->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TfrmRecDataList::UpdateButtons()
{
    int first = -1;
    const int selected = SelectedCount(&first);
    const int rows = m_entries.Count();
    btnDeleteAll->setEnabled(rows > 0);
    btnEdit->setEnabled(selected == 1);
    btnDelete->setEnabled(selected > 0);
    btnAddtoSendData->setEnabled(selected > 0);
    btnMerge->setEnabled(selected == 1 && rows >= 2 && first > 0);
}

void TfrmRecDataList::lsvRecDataChange()
{
    UpdateButtons();
    btnEdit->setEnabled(btnDelete->isEnabled());
}

void TfrmRecDataList::ScheduleFlush(bool appended)
{
    m_dirty = true;
    if (!appended)
        m_rewrite = true;
    // Not restarted by later changes: a steady stream of blocks still reaches the file.
    if (!m_flushTimer->isActive()) {
        m_flushTimer->start();
        m_addedSinceScheduled = 0;
    }
}

void TfrmRecDataList::Flush()
{
    if (!m_dirty)
        return;
    m_dirty = false;
    m_unflushedBytes = 0;
    // The writer shares the rows; turning them into text and writing happen on its thread, so a
    // full list of large blocks never stalls the window.
    if (m_rewrite) {
        m_rewrite = false;
        m_writer.Post(RecDataFilePath(), CRecDataList::FilePieces(m_entries.EntriesFrom(0)));
    } else {
        m_writer.PostAppend(RecDataFilePath(), CRecDataList::FilePieces(m_entries.EntriesFrom(m_onFile)));
    }
    m_onFile = m_entries.Count();
    // The writer keeps the rows as they were until it is done with them. A list that turns over
    // lets its entries go before packing them could pay, so a flood is never packed.
    if (!TurningOver())
        m_entries.Pack(kPackBudget);
}

void TfrmRecDataList::btnAddtoSendDataClick()
{
    if (!m_addToSendData)
        return;
    for (int pos : SelectedRows())
        m_addToSendData(m_entries.At(pos));
}

void TfrmRecDataList::btnDeleteAllClick()
{
    ClearRecData();
}

void TfrmRecDataList::btnDeleteClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.empty())
        return;
    m_model->BeginReset();
    const int next = m_entries.Remove(selected);
    m_model->EndReset();
    if (next >= 0)
        SelectOnly(next);
    ScheduleFlush();
    UpdateButtons();
}

void TfrmRecDataList::btnSaveClick()
{
    const QString path = RunFileDialog(dlgSave);
    if (path.isEmpty())
        return;
    try {
        SaveRecData(path.toStdString());
    } catch (const std::exception &error) {
        ShowErrorBox(this, error);
    }
}

void TfrmRecDataList::btnEditClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.size() == 1) {
        // Blocks keep arriving while the editor is open; the one being edited may move or leave.
        const uint64_t id = m_entries.IdAt(selected.front());
        CCommData item = m_entries.At(selected.front());
        if (TfrmDataEdit::EditItem(this, item)) {
            const int pos = m_entries.PosOf(id);
            if (pos < 0) {
                ShowMessage(this, tr("The edited block is no longer in the list; nothing was changed."));
            } else {
                m_entries.Replace(pos, item);
                m_model->Changed(pos);
                SelectOnly(pos);
                ScheduleFlush();
            }
        }
    }
    UpdateButtons();
}

void TfrmRecDataList::btnMergeClick()
{
    const std::vector<int> selected = SelectedRows();
    if (selected.size() != 1 || selected.front() < 1)
        return;
    const int pos = selected.front();
    m_model->BeginRemove(pos);
    m_entries.MergeUp(pos);
    m_model->EndRemove();
    m_model->Changed(pos - 1);
    SelectOnly(pos - 1);
    ScheduleFlush();
    UpdateButtons();
}
