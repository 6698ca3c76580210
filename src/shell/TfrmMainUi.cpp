#include "shell/TfrmMainUi.h"
#include "data/gui/focusframe.h"
#include "data/gui/windowpolish.h"
#include "log/gui/TTrafficLog.h"
#include "platform/gui/fixedfont.h"
#include "platform/gui/themedicon.h"
#include "shell/TStatusPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The window's texts are translated in the window's own context.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(TfrmMain)
};

QAction *AddItem(QMenu *menu, const char *name, const QString &text, const QKeySequence &key = {})
{
    auto *action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        action->setShortcut(key);
    return action;
}

QAction *AddCheckItem(QMenu *menu, const char *name, const QString &text, const QKeySequence &key = {})
{
    auto *action = AddItem(menu, name, text, key);
    action->setCheckable(true);
    return action;
}

// A context-menu twin carries the same key as its main-menu item only as a label; binding it to the
// menu itself keeps the key from being ambiguous while the menu is closed.
QAction *AddPopupItem(QMenu *menu, const char *name, const QString &text, const QKeySequence &key = {})
{
    auto *action = AddItem(menu, name, text, key);
    action->setShortcutContext(Qt::WidgetShortcut);
    return action;
}

QToolButton *AddSpeedButton(QToolBar *bar, const char *name, const QString &tip, const char *icon,
                            bool checkable = false)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(tip);
    button->setIcon(ThemedIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))));
    button->setAutoRaise(true);
    button->setCheckable(checkable);
    bar->addWidget(button);
    return button;
}

void BuildToolbar(QMainWindow *window, TfrmMainUi &ui)
{
    auto *bar = new QToolBar(window);
    bar->setObjectName(QStringLiteral("tbrMain"));
    bar->setMovable(false);
    bar->setFloatable(false);
    // Small enough that every button, the line controls at the end included, fits the first
    // window size rather than hiding behind the overflow arrow.
    bar->setIconSize(QSize(18, 18));
    bar->setFixedHeight(37);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    window->addToolBar(Qt::TopToolBarArea, bar);
    // Qt's overflow arrow, there when the window is too narrow for every button, has no name of
    // its own for a screen reader to say.
    if (auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(Texts::tr("More tools"));
        more->setToolTip(Texts::tr("More tools"));
    }

    ui.btnSave = AddSpeedButton(bar, "btnSave", Texts::tr("Save Log to file"), "save");
    ui.btnCopy = AddSpeedButton(bar, "btnCopy", Texts::tr("Copy Log to Clipboard"), "copy");
    ui.btnClear = AddSpeedButton(bar, "btnClear", Texts::tr("Erase Log"), "clear");
    bar->addSeparator();
    ui.btnShowSendData =
        AddSpeedButton(bar, "btnShowSendData", Texts::tr("Show Send Data"), "showsend", true);
    ui.btnShowTime = AddSpeedButton(bar, "btnShowTime", Texts::tr("Show Time"), "showtime", true);
    bar->addSeparator();
    ui.btnText = AddSpeedButton(bar, "btnText", Texts::tr("View in Text Format"), "text", true);
    ui.btnHex = AddSpeedButton(bar, "btnHex", Texts::tr("Show in Hex format"), "hex", true);
    ui.btnDecimal = AddSpeedButton(bar, "btnDecimal", Texts::tr("Show in Decimal format"), "decimal", true);
    ui.btnTextSymbol = AddSpeedButton(bar, "btnTextSymbol", Texts::tr("Show in String and Symbol format"),
                                      "textsymbol", true);
    bar->addSeparator();
    ui.btnLinkList = AddSpeedButton(bar, "btnLinkList", Texts::tr("Link Setting Manager"), "linklist");
    ui.btnClosePort = AddSpeedButton(bar, "btnClosePort", Texts::tr("Close Port"), "closeport");
    ui.btnQuickLink = AddSpeedButton(bar, "btnQuickLink", Texts::tr("Quick Open"), "quicklink");
    bar->addSeparator();
    ui.btnStartAutoSend =
        AddSpeedButton(bar, "btnStartAutoSend", Texts::tr("Start Auto Send"), "start", true);
    ui.btnPauseAutoSend = AddSpeedButton(bar, "btnPauseAutoSend", Texts::tr("Pause"), "pause", true);
    ui.btnStopAutoSend = AddSpeedButton(bar, "btnStopAutoSend", Texts::tr("Stop Auto Send"), "stop");
    bar->addSeparator();
    ui.btnGo = AddSpeedButton(bar, "btnGo", Texts::tr("Send Current Data in  List and Go Next"), "go");
}

void BuildMainMenu(QMainWindow *window, TfrmMainUi &ui)
{
    QMenuBar *bar = window->menuBar();

    ui.mnuFile = bar->addMenu(Texts::tr("&File"));
    ui.mnuFile->setObjectName(QStringLiteral("mnuFile"));
    ui.mnuFileNew = AddItem(ui.mnuFile, "mnuFileNew", Texts::tr("&New"));
    ui.mnuFileOpen = AddItem(ui.mnuFile, "mnuFileOpen", Texts::tr("&Open"));
    ui.mnuFileSave = AddItem(ui.mnuFile, "mnuFileSave", Texts::tr("&Save"));
    ui.mnuFileSaveAs = AddItem(ui.mnuFile, "mnuFileSaveAs", Texts::tr("Save &As"));
    QAction *hiddenSeparator = ui.mnuFile->addSeparator();
    ui.mnuFileExport = AddItem(ui.mnuFile, "mnuFileExport", Texts::tr("&Export"));
    ui.mnuFileImport = AddItem(ui.mnuFile, "mnuFileImport", Texts::tr("&Import"));
    ui.mnuFile->addSeparator();
    ui.mnuFileExit = AddItem(ui.mnuFile, "mnuFileExit", Texts::tr("E&xit"));
    for (QAction *hidden : {ui.mnuFileNew, ui.mnuFileOpen, ui.mnuFileSaveAs, hiddenSeparator,
                            ui.mnuFileExport, ui.mnuFileImport})
        hidden->setVisible(false);

    ui.mnuView = bar->addMenu(Texts::tr("&View"));
    ui.mnuView->setObjectName(QStringLiteral("mnuView"));
    ui.mnuViewShowTime = AddCheckItem(ui.mnuView, "mnuViewShowTime", Texts::tr("Show &Time"));
    ui.mnuViewShowSendData = AddCheckItem(ui.mnuView, "mnuViewShowSendData", Texts::tr("Show &SendData"));
    ui.mnuView->addSeparator();
    ui.mnuViewText = AddCheckItem(ui.mnuView, "mnuViewText", Texts::tr("Te&xt"));
    ui.mnuViewHex = AddCheckItem(ui.mnuView, "mnuViewHex", Texts::tr("&Hex"));
    ui.mnuViewDecimal = AddCheckItem(ui.mnuView, "mnuViewDecimal", Texts::tr("&Decimal"));
    ui.mnuViewTextSymbol = AddCheckItem(ui.mnuView, "mnuViewTextSymbol", Texts::tr("TextS&ymbol"));
    ui.mnuView->addSeparator();
    ui.mnuViewAsciiTable = AddItem(ui.mnuView, "mnuViewAsciiTable", Texts::tr("&ASCII Table"));
    ui.mnuViewClearDisplay = AddItem(ui.mnuView, "mnuViewClearDisplay", Texts::tr("Clea&r Display"));
    ui.mnuCopytoClipboard = AddItem(ui.mnuView, "mnuCopytoClipboard", Texts::tr("Copy to Clip&board"));

    ui.mnuSetting = bar->addMenu(Texts::tr("&Edit"));
    ui.mnuSetting->setObjectName(QStringLiteral("mnuSetting"));
    ui.mnuSettingAutoSend = AddItem(ui.mnuSetting, "mnuSettingAutoSend", Texts::tr("&Auto Send"));
    ui.mnuSettingSendSetting = AddItem(ui.mnuSetting, "mnuSettingSendSetting", Texts::tr("Send Data &List"));
    ui.mnuSettingRecDataList =
        AddItem(ui.mnuSetting, "mnuSettingRecDataList", Texts::tr("&Receivd Data List"));

    ui.mnuOperate = bar->addMenu(Texts::tr("&Operate"));
    ui.mnuOperate->setObjectName(QStringLiteral("mnuOperate"));
    ui.mnuOpOpenPort = AddItem(ui.mnuOperate, "mnuOpOpenPort", Texts::tr("&Open Port"));
    ui.mnuOpClosePort = AddItem(ui.mnuOperate, "mnuOpClosePort", Texts::tr("&Close Port"), Qt::Key_F6);
    ui.mnuOperate->addSeparator();
    ui.mnuOpQuickLink = AddItem(ui.mnuOperate, "mnuOpQuickLink", Texts::tr("&Quick Open"), Qt::Key_F5);
    ui.mnuOpMonitor = AddItem(ui.mnuOperate, "mnuOpMonitor", Texts::tr("&Monitor Two Ports..."));
    ui.mnuOperate->addSeparator();
    ui.mnuOpStartAutoSend =
        AddCheckItem(ui.mnuOperate, "mnuOpStartAutoSend", Texts::tr("Start Auto Send"), Qt::Key_F9);
    ui.mnuOpStopAutoSend =
        AddItem(ui.mnuOperate, "mnuOpStopAutoSend", Texts::tr("Stop Auto Send"), Qt::Key_F10);
    ui.mnuOpPauseAutoSend =
        AddCheckItem(ui.mnuOperate, "mnuOpPauseAutoSend", Texts::tr("Pause Auto Send"), Qt::Key_F11);
    ui.mnuOperate->addSeparator();
    ui.mnuOpSendItem = AddItem(ui.mnuOperate, "mnuOpSendItem", Texts::tr("Send &Item"), Qt::Key_F7);
    ui.mnuSendAndGoNext =
        AddItem(ui.mnuOperate, "mnuSendAndGoNext", Texts::tr("Send and Go Next"), Qt::Key_F8);

    ui.mnuHelp = bar->addMenu(Texts::tr("&Help"));
    ui.mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    ui.mnuHelpAbout = AddItem(ui.mnuHelp, "mnuHelpAbout", Texts::tr("&About"));
    // F1 opens the manual: at a dialog its page (InstallHelpKey), in this window its contents.
    ui.mnuHelpContent = AddItem(ui.mnuHelp, "mnuHelpContent", Texts::tr("&Content"), Qt::Key_F1);
}

void BuildContextMenus(QMainWindow *window, TfrmMainUi &ui)
{
    ui.popmnuDisplay = new QMenu(window);
    ui.popmnuDisplay->setObjectName(QStringLiteral("popmnuDisplay"));
    ui.mnuShowTime = AddPopupItem(ui.popmnuDisplay, "mnuShowTime", Texts::tr("Show &Time"));
    ui.mnuShowSendData = AddPopupItem(ui.popmnuDisplay, "mnuShowSendData", Texts::tr("Show &SendData"));
    ui.popmnuDisplay->addSeparator();
    ui.mnuText = AddPopupItem(ui.popmnuDisplay, "mnuText", Texts::tr("Te&xt"));
    ui.mnuHex = AddPopupItem(ui.popmnuDisplay, "mnuHex", Texts::tr("&Hex"));
    ui.mnuDecimal = AddPopupItem(ui.popmnuDisplay, "mnuDecimal", Texts::tr("&Decimal"));
    ui.mnuTextSymbol = AddPopupItem(ui.popmnuDisplay, "mnuTextSymbol", Texts::tr("TextS&ymbol"));
    ui.popmnuDisplay->addSeparator();
    ui.mnuClearDisplay = AddPopupItem(ui.popmnuDisplay, "mnuClearDisplay", Texts::tr("Clea&r Display"));
    for (QAction *a :
         {ui.mnuShowTime, ui.mnuShowSendData, ui.mnuText, ui.mnuHex, ui.mnuDecimal, ui.mnuTextSymbol})
        a->setCheckable(true);

    ui.popmnuSendData = new QMenu(window);
    ui.popmnuSendData->setObjectName(QStringLiteral("popmnuSendData"));
    ui.mnuSendItem = AddPopupItem(ui.popmnuSendData, "mnuSendItem", Texts::tr("&Send Current"), Qt::Key_F7);
    ui.mnuSendDataSetting =
        AddPopupItem(ui.popmnuSendData, "mnuSendDataSetting", Texts::tr("Send &Data Setting"));
    ui.mnuCopyToInput =
        AddPopupItem(ui.popmnuSendData, "mnuCopyToInput", Texts::tr("&Copy to Instant Send Edit"));
    ui.popmnuSendAndGoNext =
        AddPopupItem(ui.popmnuSendData, "popmnuSendAndGoNext", Texts::tr("Send And Go Next"), Qt::Key_F8);
}

QTreeWidget *BuildSendList(QWidget *parent)
{
    auto *list = new QTreeWidget(parent);
    list->setObjectName(QStringLiteral("lsvSendData"));
    list->setColumnCount(3);
    list->setHeaderLabels({Texts::tr("Name"), Texts::tr("Format"), Texts::tr("Content")});
    list->setColumnWidth(0, 150);
    list->setColumnWidth(1, 80);
    list->setColumnWidth(2, 350);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    // The selected row stays visible while the focus is elsewhere, as in the log.
    QPalette palette = list->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    list->setPalette(palette);
    return list;
}

QWidget *BuildBottomPart(QWidget *parent, TfrmMainUi &ui)
{
    auto *bottom = new QWidget(parent);
    bottom->setObjectName(QStringLiteral("pnlSend"));
    bottom->setFixedHeight(67);
    auto *row = new QHBoxLayout(bottom);
    row->setContentsMargins(0, 0, 0, 0);

    ui.edSendItem = new QTextEdit(bottom);
    ui.edSendItem->setObjectName(QStringLiteral("edSendItem"));
    ui.edSendItem->setAcceptRichText(false);
    ui.edSendItem->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    ui.edSendItem->setFont(FixedWidthFont());
    row->addWidget(ui.edSendItem, 1);

    auto *tools = new QWidget(bottom);
    tools->setObjectName(QStringLiteral("tbrSend"));
    auto *toolRow = new QHBoxLayout(tools);
    toolRow->setContentsMargins(0, 0, 0, 0);
    ui.btnSend = new QPushButton(Texts::tr("Send"), tools);
    ui.btnSend->setObjectName(QStringLiteral("btnSend"));
    ui.btnEdit = new QPushButton(Texts::tr("Edit"), tools);
    ui.btnEdit->setObjectName(QStringLiteral("btnEdit"));
    ui.cboFormat = new QComboBox(tools);
    ui.cboFormat->setObjectName(QStringLiteral("cboFormat"));
    ui.cboFormat->addItems({QStringLiteral("STRING"), QStringLiteral("HEX"), QStringLiteral("DECIMAL"),
                            QStringLiteral("STRING&SYMBOL")});
    ui.cboFormat->setEditable(false);
    toolRow->addWidget(ui.btnSend);
    toolRow->addWidget(ui.btnEdit);
    toolRow->addWidget(ui.cboFormat);
    tools->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    row->addWidget(tools, 0, Qt::AlignTop);
    return bottom;
}

const int kPanelWidths[kStatusPanelCount] = {75, 110, 70, 70, 75, 80, 100, 50};

void BuildStatusBar(QMainWindow *window, TfrmMainUi &ui)
{
    const int *widths = kPanelWidths;
    ui.stbComStatus = new QStatusBar(window);
    ui.stbComStatus->setObjectName(QStringLiteral("stbComStatus"));
    ui.stbComStatus->setFixedHeight(25);
    ui.stbComStatus->setSizeGripEnabled(false);
    // The panel widths were laid out for an 8-point font; at a desktop's larger default the
    // settings would be cut off.
    QFont small = ui.stbComStatus->font();
    small.setPointSizeF(8);
    ui.stbComStatus->setFont(small);
    for (int i = 0; i < kStatusPanelCount; ++i) {
        auto *panel = new TStatusPanel(ui.stbComStatus);
        panel->setObjectName(QStringLiteral("stbComStatusPanel%1").arg(i));
        panel->SetPreferredWidth(widths[i]);
        panel->SetKeepsStart(i >= 6);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        // The last panel takes what is left, so a growing send counter stays readable.
        ui.stbComStatus->addWidget(panel, i == kStatusPanelCount - 1 ? 1 : 0);
        ui.panels[i] = panel;
    }
    ui.lblInboundLoss = new QLabel(ui.stbComStatus);
    ui.lblInboundLoss->setObjectName(QStringLiteral("lblInboundLoss"));
    ui.lblInboundLoss->setAccessibleName(Texts::tr("Line errors"));
    ui.lblInboundLoss->setFrameShape(QFrame::Panel);
    ui.lblInboundLoss->setFrameShadow(QFrame::Sunken);
    ui.lblInboundLoss->hide();
    ui.stbComStatus->insertWidget(kStatusPanelCount - 1, ui.lblInboundLoss);
    window->setStatusBar(ui.stbComStatus);
}

// One action per command: a tool button shows its menu item's action, and so its state and whether
// it can be used, keeping the tip and the name it always had; the display modes are one exclusive
// group.
void ShareCommands(TfrmMainUi &ui)
{
    const std::pair<QToolButton *, QAction *> twins[] = {{ui.btnSave, ui.mnuFileSave},
                                                         {ui.btnCopy, ui.mnuCopytoClipboard},
                                                         {ui.btnClear, ui.mnuViewClearDisplay},
                                                         {ui.btnShowSendData, ui.mnuViewShowSendData},
                                                         {ui.btnShowTime, ui.mnuViewShowTime},
                                                         {ui.btnText, ui.mnuViewText},
                                                         {ui.btnHex, ui.mnuViewHex},
                                                         {ui.btnDecimal, ui.mnuViewDecimal},
                                                         {ui.btnTextSymbol, ui.mnuViewTextSymbol},
                                                         {ui.btnLinkList, ui.mnuOpOpenPort},
                                                         {ui.btnClosePort, ui.mnuOpClosePort},
                                                         {ui.btnQuickLink, ui.mnuOpQuickLink},
                                                         {ui.btnStartAutoSend, ui.mnuOpStartAutoSend},
                                                         {ui.btnPauseAutoSend, ui.mnuOpPauseAutoSend},
                                                         {ui.btnStopAutoSend, ui.mnuOpStopAutoSend},
                                                         {ui.btnGo, ui.mnuSendAndGoNext}};
    for (const auto &[button, action] : twins) {
        const QString tip = button->toolTip();
        action->setIcon(button->icon());
        action->setIconVisibleInMenu(false);
        action->setToolTip(tip);
        button->setDefaultAction(action);
        button->setAccessibleName(tip);
    }
    auto *modes = new QActionGroup(ui.mnuView);
    for (QAction *mode : {ui.mnuViewText, ui.mnuViewHex, ui.mnuViewDecimal, ui.mnuViewTextSymbol})
        modes->addAction(mode);
}

} // namespace

void BuildMainWindowUi(QMainWindow *window, TfrmMainUi &ui)
{
    window->setWindowTitle(QStringLiteral("Kestrum"));
    BuildToolbar(window, ui);
    BuildMainMenu(window, ui);
    BuildContextMenus(window, ui);
    ShareCommands(ui);

    auto *central = new QWidget(window);
    central->setObjectName(QStringLiteral("pnlClient"));
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    ui.splitter = new QSplitter(Qt::Vertical, central);
    ui.splitter->setObjectName(QStringLiteral("splitter"));
    ui.splitter->setHandleWidth(4);
    ui.splitter->setChildrenCollapsible(false);
    // The log's place, which the console takes while it is shown (TConsoleCommands).
    ui.stkLogPlace = new QStackedWidget(ui.splitter);
    ui.stkLogPlace->setObjectName(QStringLiteral("stkLogPlace"));
    ui.edData = new TTrafficLog(ui.stkLogPlace);
    ui.edData->setObjectName(QStringLiteral("edData"));
    ui.edData->SetContextMenu(ui.popmnuDisplay);
    ui.stkLogPlace->addWidget(ui.edData);
    ui.lsvSendData = BuildSendList(ui.splitter);
    ui.splitter->addWidget(ui.stkLogPlace);
    ui.splitter->addWidget(ui.lsvSendData);
    // Room the window gains goes to the log; the splitter still moves the line between them.
    ui.splitter->setStretchFactor(0, 1);
    ui.splitter->setStretchFactor(1, 0);
    column->addWidget(ui.splitter, 1);
    column->addWidget(BuildBottomPart(central, ui));
    window->setCentralWidget(central);

    BuildStatusBar(window, ui);
    // Controls without a caption or label of their own; the rest are named by the window polish.
    ui.edData->setAccessibleName(Texts::tr("Traffic log"));
    ui.lsvSendData->setAccessibleName(Texts::tr("Send list"));
    ui.edSendItem->setAccessibleName(Texts::tr("Instant send data"));
    ui.cboFormat->setAccessibleName(Texts::tr("Instant send format"));
    InstallWindowPolish();
    InstallFocusFrames();
}

void FitStatusPanels(TfrmMainUi &ui, bool open)
{
    // The two counters grow block by block; room for a few more digits than they show now keeps
    // them readable without widening the panels at every block.
    const QString counterRoom = QStringLiteral("00");
    for (int i = 0; i < kStatusPanelCount; ++i) {
        auto *panel = static_cast<TStatusPanel *>(ui.panels[i]);
        panel->ReleaseSize();
        if (!open) {
            // The labels alone keep the first layout's widths while there is room; a window
            // narrowed to sit beside another may cut them to the labels.
            panel->SetPreferredWidth(std::max(kPanelWidths[i], panel->WidthFor(panel->text())));
            panel->setMinimumWidth(std::min(kPanelWidths[i], panel->WidthFor(panel->text())));
            panel->setAccessibleDescription(QString());
            continue;
        }
        // An open port's panels are as wide as their texts.
        panel->SetPreferredWidth(0);
        if (i >= 6) {
            // A note after the counts may be cut; it is in the tool tip.
            const QString counts = panel->text().section(QLatin1String(kStatusNoteSeparator), 0, 0);
            panel->setMinimumWidth(panel->WidthFor(counts + counterRoom));
        } else {
            // The link's panels are as wide as their texts while the window has room; a window
            // narrowed to sit beside another shows their values only, and a long device path
            // shortened, with the whole text in the tool tip. A bar that is shorter still cuts
            // the values too, before the counters (which never give way).
            const QString least = i == 0 ? QStringLiteral("ttyS0") : QStringLiteral("00");
            panel->setMinimumWidth(std::min(panel->WidthFor(panel->Value()), panel->WidthFor(least)));
            if (panel->toolTip().isEmpty())
                panel->setToolTip(panel->text());
            panel->setAccessibleDescription(panel->text());
        }
    }
}

void FitPortPanel(TfrmMainUi &ui)
{
    // A bar short of room takes it from every panel alike: a long path would leave the short
    // settings showing their values only while the path itself is cut all the same. The room
    // the bar's widgets have now, less what the others ask for, is the port's.
    auto *port = static_cast<TStatusPanel *>(ui.panels[0]);
    if (!ui.stbComStatus->isVisible()) {
        port->SetWidest(0);
        return;
    }
    int room = 0;
    for (QWidget *w : ui.stbComStatus->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isHidden())
            continue;
        room += w->width();
        if (w != port)
            room -= std::max(w->sizeHint().width(), w->minimumWidth());
    }
    port->SetWidest(std::max(1, room));
}
