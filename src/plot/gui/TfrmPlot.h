#pragma once
// View > Plot: the numbers the device prints, drawn as they arrive. One per main window, made on
// first use and fed with every received block while it is shown, so a window that never shows
// it spends nothing on it. Between two frames the blocks are only read and stored; the picture is
// drawn at most once a frame of the screen, however fast lines come.
#include "data/commdata.h"
#include "plot/plotparser.h"
#include "plot/plotstore.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QStringListModel;
class TPlotCanvas;

class TfrmPlot : public QWidget
{
    Q_OBJECT
public:
    explicit TfrmPlot(QWidget *owner);

    void Feed(const Bytes &bytes);
    // Values of a decoded frame by name, taken at `steadyMs` (the steady clock's milliseconds).
    void FeedDecoded(int64_t steadyMs, const std::vector<std::pair<std::string, double>> &values);
    // The decoded values to plot, as the user typed them: names separated by commas.
    QString DecodedNames() const;
    void SetDecodedNames(const QString &text);
    // Offered as the user types a name.
    void AddSeenNames(const std::vector<std::string> &names);
    // The title: "Plot - Window <number>", and " - <link>" while one is open.
    void ShowNames(int windowNumber, const QString &link);

    const CPlotParser &Parser() const { return m_parser; }
    const CPlotStore &Store() const { return m_store; }
    TPlotCanvas *Canvas() const { return m_canvas; }

signals:
    void DecodedNamesChanged(const QString &text);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    int64_t NowMs() const { return m_clock.elapsed(); }
    void StartClock();
    int64_t SpanMs() const;
    void Frame();
    void ShowView();
    void AddLegendRows();
    void ApplyRange();
    void Pause(bool on);
    void ZoomTo(int64_t t0, int64_t t1);
    void ResetZoom();
    void ClearPlot();
    void ExportCsv();
    void ExportPng();
    QString AskSavePath(const char *name, const QString &filter, const QString &suffix);

    CPlotParser m_parser;
    CPlotStore m_store;
    std::vector<ST_PlotValue> m_values;
    std::vector<size_t> m_lineEnds;
    QElapsedTimer m_clock;
    int64_t m_clockStartUtcMs = 0; // the wall clock when m_clock started, for the export
    QTimer m_frameTimer;
    QElapsedTimer m_sinceDraw; // since the last frame that asked for a picture
    bool m_changed = false;
    bool m_paused = false;
    int64_t m_pausedAt = 0;
    bool m_zoomed = false;
    int64_t m_zoomT0 = 0, m_zoomT1 = 0;

    TPlotCanvas *m_canvas = nullptr;
    QComboBox *cboPlotSpan = nullptr;
    QCheckBox *chkPlotAutoScale = nullptr;
    QLineEdit *edPlotMin = nullptr, *edPlotMax = nullptr;
    QPushButton *btnPlotPause = nullptr, *btnPlotResetZoom = nullptr, *btnPlotClear = nullptr,
                *btnPlotExportCsv = nullptr, *btnPlotExportPng = nullptr;
    QListWidget *lstPlotLegend = nullptr;
    QLineEdit *edtPlotDecoded = nullptr;
    QStringListModel *m_seenNames = nullptr;
};
