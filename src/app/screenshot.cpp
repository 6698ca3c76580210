#include "app/screenshot.h"

#include "autosend/gui/TfrmAutoSendSetting.h"
#include "autosend/gui/TfrmEventEdit.h"
#include "autosend/gui/TfrmGroupRecord.h"
#include "autosend/gui/TfrmSingleRecord.h"
#include "autosend/rulelist.h"
#include "data/gui/TfrmAscTable.h"
#include "data/gui/TfrmEditSymbol.h"
#include "help/gui/TfrmAbout.h"
#include "link/gui/TfrmOpenPort.h"
#include "link/gui/TfrmPortSetting.h"
#include "link/linklist.h"
#include "link/linksetting.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TSendListPanel.h"
#include "monitor/gui/TfrmMonitorSetting.h"
#include "platform/appfolder.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"
#include "shell/TfrmMainUi.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

// The first rule of the working rule file that is of type T, so the rule editors show a real one.
template <typename T> std::unique_ptr<T> FirstRule()
{
    CRuleList rules;
    try {
        rules.LoadFromFile(AppFilePath("Default.ass"));
    } catch (const std::exception &) {
        return nullptr;
    }
    for (int i = 0; i < rules.Count(); ++i)
        if (const auto *rule = dynamic_cast<const T *>(rules.At(i).get()))
            return std::make_unique<T>(*rule);
    return nullptr;
}

template <class F> F &FeatureOf(TfrmMain &window)
{
    return *window.findChild<F *>(QString(), Qt::FindDirectChildrenOnly);
}

struct ST_Shot
{
    const char *Name;
    std::function<QWidget *(TfrmMain &)> Make;
};

template <typename D> QWidget *Plain(TfrmMain &owner)
{
    return new D(&owner);
}

const ST_Shot kShots[] = {
    {"portsetting", Plain<TfrmPortSetting>},
    {"openport", Plain<TfrmOpenPort>},
    {"senddatalist", Plain<TfrmSendDataList>},
    {"dataedit",
     [](TfrmMain &owner) -> QWidget * {
         auto *dialog = new TfrmDataEdit(&owner);
         const std::vector<CCommData> &items = FeatureOf<TSendListPanel>(owner).Items();
         if (!items.empty())
             dialog->SetItem(items.front());
         return dialog;
     }},
    {"asctable", [](TfrmMain &owner) -> QWidget * { return new TfrmAscTable(&owner, false); }},
    {"editsymbol",
     [](TfrmMain &owner) -> QWidget * {
         auto *dialog = new TfrmEditSymbol(&owner);
         dialog->SetByteValue(0x0D);
         return dialog;
     }},
    {"autosendsetting", Plain<TfrmAutoSendSetting>},
    {"singlerecord",
     [](TfrmMain &owner) -> QWidget * {
         auto *dialog = new TfrmSingleRecord(&owner);
         if (auto rule = FirstRule<CSingleRule>())
             dialog->SetRule(*rule);
         return dialog;
     }},
    {"grouprecord",
     [](TfrmMain &owner) -> QWidget * {
         auto *dialog = new TfrmGroupRecord(&owner);
         if (auto rule = FirstRule<CGroupRule>())
             dialog->SetRule(*rule);
         return dialog;
     }},
    {"about", Plain<TfrmAbout>},
    {"monitorsetting",
     [](TfrmMain &owner) -> QWidget * {
         try {
             LoadLinkList(DefaultLinkFilePath());
         } catch (const std::exception &) {
         }
         // The second sample link bridged to a virtual port, as in the manual's example.
         ST_MonitorSetup setup;
         setup.PortA = LinkList().Count() > 1 ? LinkList().At(1) : COM_PORT_SETTING();
         setup.VirtualB = setup.Bridge = true;
         setup.VirtualPath = "/tmp/board";
         return new TfrmMonitorSetting(&owner, LinkList().Links(), setup);
     }},
    {"eventedit",
     [](TfrmMain &owner) -> QWidget * {
         auto *dialog = new TfrmEventEdit(&owner);
         if (auto rule = FirstRule<CSingleRule>())
             dialog->SetEvent(rule->Event.get());
         return dialog;
     }},
};

// With a last link whose device is there, the main window's picture shows a real exchange: each
// item of the send list goes out and its answer is awaited, for a second at most.
void ShowTraffic(TfrmMain &window)
{
    TPortCommands &port = FeatureOf<TPortCommands>(window);
    const std::optional<COM_PORT_SETTING> &link = port.LastLink();
    if (!link || access(link->PortName.c_str(), R_OK | W_OK) != 0)
        return;
    port.Open(*link);
    if (!window.IsPortOpen())
        return;
    for (const CCommData &item : std::vector<CCommData>(FeatureOf<TSendListPanel>(window).Items())) {
        const int64_t before = window.Session().RecBlocks();
        window.SendItem(item);
        QElapsedTimer waited;
        waited.start();
        while (window.Session().RecBlocks() == before && waited.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

// Labels and buttons narrower than their text, named on the output: a translation, or the pseudo
// language, that a window cuts off.
void ReportCutOff(QWidget *widget, const QString &path)
{
    for (QWidget *w : widget->findChildren<QWidget *>()) {
        QString text;
        if (auto *label = qobject_cast<QLabel *>(w); label && !label->wordWrap())
            text = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            text = button->text();
        if (text.isEmpty() || !w->isVisible() || w->sizeHint().width() <= w->width())
            continue;
        std::printf("cut off in %s: %s %s \"%s\" needs %d px, has %d\n",
                    QFileInfo(path).fileName().toLocal8Bit().constData(), w->metaObject()->className(),
                    w->objectName().toLocal8Bit().constData(), text.toUtf8().constData(),
                    w->sizeHint().width(), w->width());
    }
    std::fflush(stdout);
}

bool Grab(QWidget *widget, const QString &path)
{
    widget->show();
    QApplication::processEvents();
    ReportCutOff(widget, path);
    // Quality 0 is PNG's strongest compression; the pixels are the same.
    return widget->grab().save(path, nullptr, 0);
}

// Runs the events until `done` holds or `ms` pass: a device that never comes leaves the picture
// as far as it got, rather than the program waiting for ever.
bool WaitFor(const std::function<bool()> &done, int ms)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool Logged(const TTrafficLog &log, const std::string &text)
{
    for (int i = log.LineCount() - 1; i >= 0; --i)
        if (log.LineText(i).find(text) != std::string::npos)
            return true;
    return false;
}

void Say(TfrmMain &window, const char *line)
{
    const std::string text(line);
    window.SendItem(CCommData(Bytes(text.begin(), text.end()), FMT_STRING));
}

void Trigger(const TfrmMain &window, const char *action)
{
    if (auto *item = window.findChild<QAction *>(QString::fromLatin1(action)))
        item->trigger();
}

// The manual's tour, on the demo board: its boot, top in the console, and the plot of a stream.
int TourShot(TfrmMain &window, const QString &path, const QString &which)
{
    COM_PORT_SETTING link = DefaultLinkSetting();
    link.LinkName = "Demo board";
    link.PortName = "demo://board";
    window.show();
    FeatureOf<TPortCommands>(window).Open(link);
    if (!window.IsPortOpen())
        return 1;
    const TTrafficLog &log = *window.Ui().edData;
    WaitFor([&] { return Logged(log, "login: "); }, 30000);
    QWidget *shown = &window;
    if (which == QLatin1String("tourtop") || which == QLatin1String("tourplot")) {
        if (which == QLatin1String("tourtop"))
            Trigger(window, "mnuViewConsole");
        Say(window, "root\r");
        WaitFor([&] { return Logged(log, "Welcome"); }, 5000);
        if (which == QLatin1String("tourtop")) {
            Say(window, "top\r");
            // A few of its redraws, so the figures have moved.
            WaitFor([] { return false; }, 2500);
        } else {
            Say(window, "stream 20\r");
            // Past the echoed command, whose number would make a series of its own.
            WaitFor([&] { return Logged(log, "temp:"); }, 5000);
            Trigger(window, "mnuViewPlot");
            for (QWidget *top : QApplication::topLevelWidgets())
                if (top->objectName() == QLatin1String("frmPlot") && top->isVisible())
                    shown = top;
            if (auto *span = shown->findChild<QComboBox *>(QStringLiteral("cboPlotSpan")))
                span->setCurrentIndex(0);
            // The pressure, near 1000, would flatten the others, as the tour shows.
            if (auto *legend = shown->findChild<QListWidget *>(QStringLiteral("lstPlotLegend")))
                WaitFor(
                    [&] {
                        const QList<QListWidgetItem *> press =
                            legend->findItems(QStringLiteral("press"), Qt::MatchExactly);
                        if (press.isEmpty())
                            return false;
                        press.first()->setCheckState(Qt::Unchecked);
                        return true;
                    },
                    5000);
            WaitFor([] { return false; }, 6000);
        }
    }
    const bool saved = Grab(shown, path);
    FeatureOf<TPortCommands>(window).Close();
    return saved ? 0 : 1;
}

} // namespace

int SaveScreenshot(TfrmMain &window, const QString &path, const QString &which)
{
    if (which.isEmpty() || which == QLatin1String("main")) {
        window.show();
        ShowTraffic(window);
        const bool saved = Grab(&window, path);
        FeatureOf<TPortCommands>(window).Close();
        return saved ? 0 : 1;
    }
    if (which == QLatin1String("tourboot") || which == QLatin1String("tourtop") ||
        which == QLatin1String("tourplot"))
        return TourShot(window, path, which);
    if (which == QLatin1String("recdatalist"))
        return window.RecDataList() && Grab(window.RecDataList(), path) ? 0 : 1;
    for (const ST_Shot &shot : kShots) {
        if (which != QLatin1String(shot.Name))
            continue;
        std::unique_ptr<QWidget> dialog(shot.Make(window));
        return Grab(dialog.get(), path) ? 0 : 1;
    }
    return 1;
}
