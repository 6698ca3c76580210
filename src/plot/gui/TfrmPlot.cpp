#include "plot/gui/TfrmPlot.h"

#include "data/gui/dialogsupport.h"
#include "platform/errors.h"
#include "platform/gui/commandguard.h"
#include "platform/textfile.h"
#include "plot/gui/TPlotCanvas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>
#include <QStringListModel>
#include <QVBoxLayout>

namespace {

constexpr int64_t kSpansMs[] = {10'000, 30'000, 60'000, 300'000};

QLineEdit *MakeRangeEdit(QWidget *parent, const char *name, const QString &accessible, const QString &text)
{
    auto *edit = new QLineEdit(text, parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessible);
    edit->setToolTip(accessible);
    edit->setMaximumWidth(90);
    return edit;
}

bool ReadRangeValue(const QLineEdit *edit, double &value)
{
    bool ok = false;
    value = QLocale::c().toDouble(edit->text().trimmed(), &ok);
    return ok;
}

QIcon ColourIcon(int series)
{
    QPixmap swatch(12, 12);
    swatch.fill(TPlotCanvas::SeriesColour(series));
    return QIcon(swatch);
}

// Completes the name after the last comma and keeps the names before it.
class TNameListCompleter : public QCompleter
{
public:
    TNameListCompleter(QAbstractItemModel *model, QLineEdit *edit) : QCompleter(model, edit), m_edit(edit) {}
    QStringList splitPath(const QString &path) const override
    {
        return {path.section(QLatin1Char(','), -1).trimmed()};
    }
    QString pathFromIndex(const QModelIndex &index) const override
    {
        const QString typed = m_edit->text();
        const int comma = typed.lastIndexOf(QLatin1Char(','));
        const QString name = QCompleter::pathFromIndex(index);
        return comma < 0 ? name : typed.left(comma + 1) + QLatin1Char(' ') + name;
    }

private:
    QLineEdit *m_edit;
};

// Enough for every register a poll reads and every field of the sentences a receiver sends.
constexpr int kMostSeenNames = 512;

} // namespace

TfrmPlot::TfrmPlot(QWidget *owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("frmPlot"));
    setWindowTitle(tr("Plot"));
    setAccessibleName(tr("Plot"));
    StartClock();

    auto *controls = new QHBoxLayout;
    cboPlotSpan = Named(new QComboBox(this), "cboPlotSpan");
    cboPlotSpan->addItems({tr("10 s"), tr("30 s"), tr("1 min"), tr("5 min")});
    cboPlotSpan->setCurrentIndex(1);
    cboPlotSpan->setAccessibleName(tr("Time span"));
    cboPlotSpan->setToolTip(tr("How much of the newest data the plot shows"));
    auto *spanLabel = new QLabel(tr("&Span:"), this);
    spanLabel->setBuddy(cboPlotSpan);
    chkPlotAutoScale = Named(new QCheckBox(tr("&Auto scale"), this), "chkPlotAutoScale");
    chkPlotAutoScale->setAccessibleName(tr("Auto scale"));
    chkPlotAutoScale->setChecked(true);
    edPlotMin = MakeRangeEdit(this, "edPlotMin", tr("Lowest value shown"), QStringLiteral("0"));
    edPlotMax = MakeRangeEdit(this, "edPlotMax", tr("Highest value shown"), QStringLiteral("100"));
    btnPlotPause = MakeButton(this, "btnPlotPause", tr("&Pause"));
    btnPlotPause->setCheckable(true);
    btnPlotResetZoom = MakeButton(this, "btnPlotResetZoom", tr("Reset &Zoom"));
    btnPlotClear = MakeButton(this, "btnPlotClear", tr("C&lear"));
    btnPlotExportCsv = MakeButton(this, "btnPlotExportCsv", tr("Export &CSV\u2026"));
    btnPlotExportPng = MakeButton(this, "btnPlotExportPng", tr("Export P&NG\u2026"));
    const std::pair<QPushButton *, QString> names[] = {{btnPlotPause, tr("Pause")},
                                                       {btnPlotResetZoom, tr("Reset zoom")},
                                                       {btnPlotClear, tr("Clear plot")},
                                                       {btnPlotExportCsv, tr("Export shown data as CSV")},
                                                       {btnPlotExportPng, tr("Export picture as PNG")}};
    for (const auto &[button, name] : names)
        button->setAccessibleName(name);
    controls->addWidget(spanLabel);
    controls->addWidget(cboPlotSpan);
    controls->addWidget(chkPlotAutoScale);
    controls->addWidget(edPlotMin);
    controls->addWidget(new QLabel(tr("to"), this));
    controls->addWidget(edPlotMax);
    controls->addWidget(btnPlotPause);
    controls->addWidget(btnPlotResetZoom);
    controls->addStretch();
    controls->addWidget(btnPlotClear);
    controls->addWidget(btnPlotExportCsv);
    controls->addWidget(btnPlotExportPng);

    m_canvas = new TPlotCanvas(m_store, m_parser.SeriesNames(), this);
    lstPlotLegend = Named(new QListWidget(this), "lstPlotLegend");
    lstPlotLegend->setAccessibleName(tr("Series"));
    lstPlotLegend->setToolTip(tr("Untick a series to hide it"));
    lstPlotLegend->setMaximumWidth(180);
    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_canvas);
    splitter->addWidget(lstPlotLegend);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({700, 140});

    auto *decodedRow = new QHBoxLayout;
    edtPlotDecoded = Named(new QLineEdit(this), "edtPlotDecoded");
    edtPlotDecoded->setAccessibleName(tr("Decoded values"));
    edtPlotDecoded->setPlaceholderText(QStringLiteral("unit1.hr40001, GGA.alt"));
    edtPlotDecoded->setToolTip(tr("Values of the decoded frames to plot, by name, separated by commas"));
    m_seenNames = new QStringListModel(this);
    auto *completer = new TNameListCompleter(m_seenNames, edtPlotDecoded);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    edtPlotDecoded->setCompleter(completer);
    auto *decodedLabel = new QLabel(tr("&Decoded values:"), this);
    decodedLabel->setBuddy(edtPlotDecoded);
    decodedRow->addWidget(decodedLabel);
    decodedRow->addWidget(edtPlotDecoded, 1);

    auto *column = new QVBoxLayout(this);
    column->addLayout(controls);
    column->addLayout(decodedRow);
    column->addWidget(splitter, 1);
    resize(860, 460);

    connect(cboPlotSpan, &QComboBox::currentIndexChanged, this, [this] {
        ResetZoom();
        ShowView();
    });
    connect(chkPlotAutoScale, &QCheckBox::toggled, this, &TfrmPlot::ApplyRange);
    connect(edPlotMin, &QLineEdit::textChanged, this, &TfrmPlot::ApplyRange);
    connect(edPlotMax, &QLineEdit::textChanged, this, &TfrmPlot::ApplyRange);
    connect(btnPlotPause, &QPushButton::toggled, this, &TfrmPlot::Pause);
    connect(btnPlotResetZoom, &QPushButton::clicked, this, [this] {
        ResetZoom();
        ShowView();
    });
    connect(btnPlotClear, &QPushButton::clicked, this, &TfrmPlot::ClearPlot);
    connect(btnPlotExportCsv, &QPushButton::clicked, this, &TfrmPlot::ExportCsv);
    connect(btnPlotExportPng, &QPushButton::clicked, this, &TfrmPlot::ExportPng);
    connect(m_canvas, &TPlotCanvas::SpanChosen, this, &TfrmPlot::ZoomTo);
    connect(lstPlotLegend, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        m_canvas->SetShown(lstPlotLegend->row(item), item->checkState() == Qt::Checked);
    });
    connect(&m_frameTimer, &QTimer::timeout, this, &TfrmPlot::Frame);
    connect(edtPlotDecoded, &QLineEdit::textChanged, this, &TfrmPlot::DecodedNamesChanged);
    ApplyRange();
    ShowView();
}

void TfrmPlot::StartClock()
{
    m_clock.start();
    m_clockStartUtcMs = QDateTime::currentMSecsSinceEpoch();
}

void TfrmPlot::ShowNames(int windowNumber, const QString &link)
{
    QString title = tr("Plot - Window %1").arg(windowNumber);
    if (!link.isEmpty())
        title += QStringLiteral(" - ") + link;
    setWindowTitle(title);
}

void TfrmPlot::Feed(const Bytes &bytes)
{
    m_values.clear();
    m_lineEnds.clear();
    if (m_parser.Feed(bytes.data(), bytes.size(), m_values, m_lineEnds) == 0)
        return;
    const int64_t now = NowMs();
    size_t begin = 0;
    for (size_t end : m_lineEnds) {
        m_store.AddLine(now, m_values.data() + begin, end - begin);
        begin = end;
    }
    m_changed = true;
}

void TfrmPlot::FeedDecoded(int64_t steadyMs, const std::vector<std::pair<std::string, double>> &values)
{
    m_values.clear();
    for (const auto &[name, value] : values)
        m_parser.AddNamed(name, value, m_values);
    if (m_values.empty())
        return;
    // The frames' clock and this one's are both the steady clock; only their zeros differ.
    m_store.AddLine(steadyMs - m_clock.msecsSinceReference(), m_values.data(), m_values.size());
    m_changed = true;
}

QString TfrmPlot::DecodedNames() const
{
    return edtPlotDecoded->text();
}

void TfrmPlot::SetDecodedNames(const QString &text)
{
    edtPlotDecoded->setText(text);
}

void TfrmPlot::AddSeenNames(const std::vector<std::string> &names)
{
    QStringList seen = m_seenNames->stringList();
    for (const std::string &name : names)
        if (seen.size() < kMostSeenNames)
            seen << QString::fromStdString(name);
    seen.removeDuplicates();
    seen.sort(Qt::CaseInsensitive);
    m_seenNames->setStringList(seen);
}

void TfrmPlot::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    const qreal rate = screen() ? screen()->refreshRate() : 60;
    m_frameTimer.start(static_cast<int>(1000 / std::max<qreal>(rate, 1)));
    Frame();
}

void TfrmPlot::hideEvent(QHideEvent *event)
{
    m_frameTimer.stop();
    QWidget::hideEvent(event);
}

int64_t TfrmPlot::SpanMs() const
{
    return kSpansMs[std::clamp(cboPlotSpan->currentIndex(), 0, 3)];
}

// A live view moves with the clock, so it is drawn each frame once there is anything to show; a
// paused or zoomed one only when something it shows may have changed.
void TfrmPlot::Frame()
{
    const bool live = !m_paused && !m_zoomed;
    if (!m_changed && !(live && m_store.Points() > 0))
        return;
    // A picture of many points in view is drawn less often, so it never takes more than about a
    // quarter of the window's time.
    if (m_sinceDraw.isValid() && m_sinceDraw.elapsed() < m_canvas->LastDrawMs() * 3)
        return;
    m_sinceDraw.start();
    if (m_changed)
        AddLegendRows();
    m_changed = false;
    ShowView();
}

void TfrmPlot::ShowView()
{
    if (m_zoomed) {
        m_canvas->SetView(m_zoomT0, m_zoomT1, 0);
    } else {
        const int64_t end = m_paused ? m_pausedAt : NowMs();
        m_canvas->SetView(end - SpanMs(), end, 0);
    }
    m_canvas->update();
}

void TfrmPlot::AddLegendRows()
{
    const std::vector<std::string> &names = m_parser.SeriesNames();
    for (int i = lstPlotLegend->count(); i < static_cast<int>(names.size()); ++i) {
        auto *item = new QListWidgetItem(ColourIcon(i), FromLatin1(names[static_cast<size_t>(i)]));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        lstPlotLegend->addItem(item);
    }
}

void TfrmPlot::ApplyRange()
{
    const bool automatic = chkPlotAutoScale->isChecked();
    edPlotMin->setEnabled(!automatic);
    edPlotMax->setEnabled(!automatic);
    double low = 0, high = 0;
    const bool read = ReadRangeValue(edPlotMin, low) && ReadRangeValue(edPlotMax, high);
    m_canvas->SetFixedRange(!automatic && read, low, high);
}

void TfrmPlot::Pause(bool on)
{
    m_paused = on;
    m_pausedAt = NowMs();
    btnPlotPause->setText(on ? tr("&Resume") : tr("&Pause"));
    ShowView();
}

void TfrmPlot::ZoomTo(int64_t t0, int64_t t1)
{
    m_zoomed = true;
    m_zoomT0 = t0;
    m_zoomT1 = t1;
    ShowView();
}

void TfrmPlot::ResetZoom()
{
    m_zoomed = false;
}

void TfrmPlot::ClearPlot()
{
    m_parser.Clear();
    m_store.Clear();
    StartClock(); // the times of the next export start from 0 again
    m_pausedAt = 0;
    lstPlotLegend->clear();
    for (int s = 0; s < CPlotParser::kMaxSeries; ++s)
        m_canvas->SetShown(s, true);
    ResetZoom();
    ShowView();
}

QString TfrmPlot::AskSavePath(const char *name, const QString &filter, const QString &suffix)
{
    QFileDialog *dialog = MakeFileDialog(this, QString::fromLatin1(name), true, filter, suffix);
    dialog->setDirectory(UserFilesFolder());
    const QString path = RunFileDialog(dialog);
    dialog->deleteLater();
    return path;
}

void TfrmPlot::ExportCsv()
{
    std::vector<int> shown;
    for (int s = 0; s < m_store.SeriesCount(); ++s)
        if (m_canvas->Shown(s))
            shown.push_back(s);
    // What is on screen now, even if lines come in while the dialog is open.
    const std::string csv = PlotCsv(m_store, shown, m_parser.SeriesNames(), m_canvas->ViewStart(),
                                    m_canvas->ViewEnd(), 0, m_clockStartUtcMs);
    const QString path = AskSavePath("dlgPlotCsv", tr("CSV file (*.csv)|*.csv"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    RunGuarded(this, [&] { WriteFileAtomic(path.toLocal8Bit().toStdString(), csv); });
}

void TfrmPlot::ExportPng()
{
    const QImage picture = m_canvas->Picture();
    const QString path = AskSavePath("dlgPlotPng", tr("PNG image (*.png)|*.png"), QStringLiteral("png"));
    if (path.isEmpty())
        return;
    RunGuarded(this, [&] {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "PNG") || !file.commit())
            throw EFCreateError(path.toLocal8Bit().toStdString());
    });
}
