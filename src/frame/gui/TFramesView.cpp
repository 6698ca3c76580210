#include "frame/gui/TFramesView.h"

#include "frame/framecsv.h"
#include "netport/netaddress.h"
#include "platform/errors.h"
#include "platform/gui/TAppTheme.h"
#include "session/sessionframes.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <set>
#include <thread>

namespace {

QToolButton *Button(QWidget *parent, const char *name, const QString &text, const QString &accessible)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setAccessibleName(accessible);
    button->setToolTip(accessible);
    return button;
}

} // namespace

TFramesView::TFramesView(QWidget *parent) : QWidget(parent), m_model(new TFramesModel(this))
{
    setObjectName(QStringLiteral("pnlFrames"));
    setAccessibleName(tr("Frames"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);

    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("lblFramesHint"));
    m_hint->setAccessibleName(tr("Framing hint"));
    m_hint->setWordWrap(true);
    m_hint->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    column->addWidget(m_hint);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(2, 0, 2, 0);
    m_direction = new QComboBox(this);
    m_direction->setObjectName(QStringLiteral("cboFramesDirection"));
    m_direction->setAccessibleName(tr("Direction filter"));
    m_direction->addItem(tr("All directions"), int{ST_FrameFilter::kAllDirections});
    for (const EFrameDirection dir : {EFrameDirection::Received, EFrameDirection::Sent,
                                      EFrameDirection::MonitorAtoB, EFrameDirection::MonitorBtoA})
        m_direction->addItem(TFramesModel::DirectionText(dir), 1 << static_cast<int>(dir));
    m_verdict = new QComboBox(this);
    m_verdict->setObjectName(QStringLiteral("cboFramesVerdict"));
    m_verdict->setAccessibleName(tr("Check filter"));
    m_verdict->addItem(tr("All checks"), int{ST_FrameFilter::kAllChecks});
    for (const EFrameCheck check : {EFrameCheck::Ok, EFrameCheck::Bad, EFrameCheck::None})
        m_verdict->addItem(TFramesModel::CheckText(check, 0), 1 << static_cast<int>(check));
    m_filterText = new QLineEdit(this);
    m_filterText->setObjectName(QStringLiteral("edFramesFilter"));
    m_filterText->setAccessibleName(tr("Filter text"));
    m_filterText->setPlaceholderText(tr("Filter: hex or text"));
    m_filterText->setClearButtonEnabled(true);
    m_findText = new QLineEdit(this);
    m_findText->setObjectName(QStringLiteral("edFramesFind"));
    m_findText->setAccessibleName(tr("Find in frames"));
    m_findText->setPlaceholderText(tr("Find: hex or text"));
    m_findPrevious = Button(this, "btnFramesFindPrevious", QStringLiteral("▲"), tr("Find previous frame"));
    m_findNext = Button(this, "btnFramesFindNext", QStringLiteral("▼"), tr("Find next frame"));
    m_save = Button(this, "btnFramesSave", tr("Save CSV..."), tr("Save the frames shown as CSV"));
    bar->addWidget(m_direction);
    bar->addWidget(m_verdict);
    bar->addWidget(m_filterText, 1);
    bar->addWidget(m_findText, 1);
    bar->addWidget(m_findPrevious);
    bar->addWidget(m_findNext);
    bar->addWidget(m_save);
    column->addLayout(bar);

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblFrames"));
    m_table->setAccessibleName(tr("Frames table"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setWordWrap(false);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    m_table->setShowGrid(false);
    m_table->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // One height for every row: a million rows are laid out without measuring one.
    QHeaderView *rows = m_table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    rows->hide();
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setObjectName(QStringLiteral("hdrFrames"));
    columns->setAccessibleName(tr("Frame columns"));
    columns->setStretchLastSection(true);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->resizeSection(TFramesModel::Hex, 360);
    column->addWidget(m_table, 1);

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("lblFramesNote"));
    m_note->setAccessibleName(tr("Frames note"));
    m_note->hide();
    column->addWidget(m_note);

    auto *copy = new QAction(tr("&Copy as CSV"), m_table);
    copy->setObjectName(QStringLiteral("mnuFramesCopy"));
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, [this] { CopySelected(true); });
    auto *copyText = new QAction(tr("Copy as &Text"), m_table);
    copyText->setObjectName(QStringLiteral("mnuFramesCopyText"));
    connect(copyText, &QAction::triggered, this, [this] { CopySelected(false); });
    m_table->addAction(copy);
    m_table->addAction(copyText);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);

    connect(m_direction, qOverload<int>(&QComboBox::currentIndexChanged), this, &TFramesView::ApplyFilter);
    connect(m_verdict, qOverload<int>(&QComboBox::currentIndexChanged), this, &TFramesView::ApplyFilter);
    // A text filter looks at every frame kept again (some 80 ms for a million): once typing pauses,
    // not at every key.
    m_filterPause.setSingleShot(true);
    m_filterPause.setInterval(250);
    connect(&m_filterPause, &QTimer::timeout, this, &TFramesView::ApplyFilter);
    connect(m_filterText, &QLineEdit::textChanged, &m_filterPause, qOverload<>(&QTimer::start));
    connect(m_filterText, &QLineEdit::returnPressed, this, &TFramesView::ApplyFilter);
    connect(m_findText, &QLineEdit::returnPressed, this, [this] { FindNext(true); });
    connect(m_findNext, &QToolButton::clicked, this, [this] { FindNext(true); });
    connect(m_findPrevious, &QToolButton::clicked, this, [this] { FindNext(false); });
    connect(m_save, &QToolButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("Save Frames"), QString(),
                                                          tr("CSV files (*.csv);;All files (*)"));
        if (!path.isEmpty())
            SaveCsv(path);
    });
    connect(m_model, &TFramesModel::Published, this, &TFramesView::AfterBatch);
    // The end is followed while the user leaves the bar there. The table lays out its rows
    // later than they come, so the bar's new range is where to act, not the insertion.
    QScrollBar *scroll = m_table->verticalScrollBar();
    connect(scroll, &QScrollBar::valueChanged, this,
            [this, scroll](int value) { m_follow = value >= scroll->maximum(); });
    connect(scroll, &QScrollBar::rangeChanged, this, [this, scroll](int, int maximum) {
        if (m_follow)
            scroll->setValue(maximum);
    });
    // Scrolled away, the rows shown stay when older ones go from the top.
    connect(m_model, &QAbstractItemModel::rowsRemoved, this,
            [this, scroll](const QModelIndex &, int first, int last) {
                if (!m_follow)
                    scroll->setValue(scroll->value() - (last - first + 1));
            });
    m_model->SetTheme(LogThemeOf(*this));
    ShowFraming(ST_FramingInfo{}, QString());
}

TFramesView::~TFramesView()
{
    // The table goes with the children, after this object's members: what it signals then finds
    // nobody.
    m_table->verticalScrollBar()->disconnect(this);
    m_model->disconnect(this);
    if (m_saver.joinable())
        m_saver.join();
}

void TFramesView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        m_model->SetTheme(LogThemeOf(*this));
}

void TFramesView::ShowFraming(const ST_FramingInfo &info, const QString &device)
{
    QString text;
    if (!info.On) {
        text = tr("Framing is off: choose a framing for this link (View > Framing) to see its frames.");
    } else if (info.BelowFloor()) {
        const auto ms = [](FrameTime t) {
            return QString::number(static_cast<double>(t.count()) / 1000.0, 'g', 4);
        };
        if (IsNetworkPortName(device.toStdString())) {
            // There the floor is the link's own setting: nothing on this machine lowers it.
            text = tr("The gap asked for (%1 ms) is below the floor set for this network port (%2 ms): "
                      "frames closer than that may run together.")
                       .arg(ms(info.WantedGap), ms(info.Floor));
        } else {
            text = tr("The gap asked for (%1 ms) is below the adapter's latency timer (%2 ms): frames "
                      "closer than that may run together. The timer can be lowered with:")
                       .arg(ms(info.WantedGap), ms(info.Floor));
            // A link may name the adapter by one of its links (/dev/serial/by-id/...); the timer
            // is under the device's own name.
            const QString real = QFileInfo(device).canonicalFilePath();
            const QString name = QFileInfo(real.isEmpty() ? device : real).fileName();
            text +=
                QStringLiteral("\n echo 1 | sudo tee /sys/bus/usb-serial/devices/%1/latency_timer").arg(name);
        }
    }
    m_framingHint = text;
    ShowHint();
}

void TFramesView::ShowDecoderError(const QString &error)
{
    if (error == m_decoderError)
        return;
    m_decoderError = error;
    ShowHint();
}

void TFramesView::ShowHint()
{
    QStringList lines;
    if (!m_framingHint.isEmpty())
        lines << m_framingHint;
    if (!m_decoderError.isEmpty())
        lines << tr("The frames are not decoded: %1").arg(m_decoderError);
    const QString text = lines.join(QLatin1Char('\n'));
    if (text != m_hint->text())
        m_hint->setText(text);
    m_hint->setVisible(!text.isEmpty());
}

void TFramesView::ApplyFilter()
{
    m_filterPause.stop();
    ST_FrameFilter filter;
    filter.Directions = static_cast<uint8_t>(m_direction->currentData().toInt());
    filter.Checks = static_cast<uint8_t>(m_verdict->currentData().toInt());
    filter.Text = m_filterText->text().trimmed().toStdString();
    m_model->SetFilter(filter);
    m_table->scrollToBottom();
}

void TFramesView::AfterBatch()
{
    const uint64_t dropped = m_model->Store().Dropped();
    QStringList parts;
    if (dropped > 0)
        parts << tr("%n older frame(s) dropped (memory limit)", nullptr,
                    static_cast<int>(std::min<uint64_t>(dropped, INT_MAX)));
    if (!m_saveNote.isEmpty())
        parts << m_saveNote;
    m_note->setText(parts.join(QStringLiteral(" · ")));
    m_note->setVisible(!parts.isEmpty());
}

std::vector<int> TFramesView::SelectedRows() const
{
    // By ranges: a whole table selected is a few ranges, not a million indexes.
    std::set<int> rows;
    for (const QItemSelectionRange &range : m_table->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.insert(row);
    return std::vector<int>(rows.begin(), rows.end());
}

QString TFramesView::SelectedCsv() const
{
    const CFrameCsv csv(CFrameCsv::WallOffsetNow(), m_model->CharsKnown());
    std::string text = CFrameCsv::Header();
    for (const int row : SelectedRows())
        if (const std::optional<size_t> at = m_model->StoreRow(row)) {
            // As the row shows it: the decoder's words, and what pairing said of the frame.
            const QString summary = m_model->data(m_model->index(row, TFramesModel::Summary)).toString();
            text += csv.Line(m_model->Store().At(*at), summary.toStdString());
        }
    return QString::fromStdString(text);
}

QString TFramesView::SelectedText() const
{
    QString text;
    for (const int row : SelectedRows()) {
        QStringList cells;
        for (int c = 0; c < TFramesModel::Columns; ++c)
            cells << m_model->data(m_model->index(row, c), Qt::DisplayRole).toString();
        text += cells.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

void TFramesView::CopySelected(bool csv)
{
    QApplication::clipboard()->setText(csv ? SelectedCsv() : SelectedText());
}

bool TFramesView::FindNext(bool forward)
{
    // The table's rows and the store's visible rows differ by the rows dropped since the last
    // batch; a find lands on the table's rows, so the table is brought up to date first.
    m_model->Publish();
    const std::string text = m_findText->text().trimmed().toStdString();
    if (text.empty())
        return false;
    const QModelIndex current = m_table->currentIndex();
    const CFrameStore &store = m_model->Store();
    const size_t from = current.isValid() ? static_cast<size_t>(current.row()) : store.Visible();
    const std::optional<size_t> found = store.Find(text, from, forward);
    if (!found) {
        m_saveNote.clear();
        m_note->setText(tr("No frame holds \"%1\".").arg(m_findText->text()));
        m_note->show();
        return false;
    }
    const QModelIndex index = m_model->index(static_cast<int>(*found), 0);
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
    m_table->scrollTo(index);
    AfterBatch();
    return true;
}

void TFramesView::SaveCsv(const QString &path)
{
    m_model->Publish();
    auto copy = std::make_shared<const CFrameStore>(m_model->Store());
    const int64_t offset = CFrameCsv::WallOffsetNow();
    const bool chars = m_model->CharsKnown();
    const std::string file = path.toStdString();
    m_save->setEnabled(false);
    if (m_saver.joinable())
        m_saver.join();
    m_saver = std::thread([this, copy, offset, chars, file, path] {
        QString message;
        bool ok = true;
        try {
            copy->SaveCsv(file, offset, chars);
            message = tr("%n frame(s) saved to %1", nullptr, static_cast<int>(copy->Visible())).arg(path);
        } catch (const std::exception &e) {
            ok = false;
            message = tr("The frames could not be saved: %1").arg(QString::fromStdString(e.what()));
        }
        // Runs on the GUI thread; dropped when the view is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, ok, message] {
                m_save->setEnabled(true);
                m_saveNote = message;
                AfterBatch();
                emit Saved(ok, message);
            },
            Qt::QueuedConnection);
    });
}
