#include "mainwindow/windowplan.h"
#include "mainwindow/TFeatureList.h"
#include "mainwindow/features/TAnswerTimesCommands.h"
#include "mainwindow/features/TAppCommands.h"
#include "mainwindow/features/TAutoSendCommands.h"
#include "mainwindow/features/TCaretBlinkTimeout.h"
#include "mainwindow/features/TFirstStartHint.h"
#include "mainwindow/features/TFrameLineCommands.h"
#include "mainwindow/features/TFramesCommands.h"
#include "mainwindow/features/TFramingCommands.h"
#include "mainwindow/features/THelpCommands.h"
#include "mainwindow/features/TLanguageCommands.h"
#include "mainwindow/features/TLiveCapture.h"
#include "mainwindow/features/TOpenAtStart.h"
#include "mainwindow/features/TPcapngExport.h"
#include "mainwindow/features/TReadPace.h"
#include "mainwindow/features/TReplayCommands.h"
#include "mainwindow/features/TScriptCommands.h"
#include "mainwindow/features/TThemeCommands.h"
#include "mainwindow/features/TZoomCommands.h"
#include "shell/TSharedStore.h"
#include "shell/TfrmMainUi.h"

#include <QWidget>

const std::vector<ST_PlannedFeature> &PlannedFeatures()
{
    using C = const ST_FeatureContext &;
    // A new feature goes at the end with SettingsPlace::Later: its values follow every older one.
    static const std::vector<ST_PlannedFeature> plan = {
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TOpenAtStart(c.Window, c.Session, c.Services, c.Menus), place);
         },
         SettingsPlace::OpenAtStart},
        {[](C c, TFeatureList &features, int place) {
             const TfrmMainUi &ui = c.Ui;
             features.Add(
                 new TAutoSendCommands(c.Window, c.Session,
                                       {ui.mnuOpStartAutoSend, ui.mnuOpPauseAutoSend, ui.mnuOpStopAutoSend}),
                 place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             TSharedStore &store = c.Store;
             features.Add(new TScriptCommands(
                              c.Window, c.Session, c.Events, c.Menus, c.Log,
                              [&store]() -> const std::vector<CCommData> & { return store.SendList(); },
                              c.ShowMessage),
                          place);
         },
         SettingsPlace::Scripts},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TThemeCommands(c.Window, c.Menus), place);
         },
         SettingsPlace::Theme},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TZoomCommands(c.Window, *c.Ui.stkLogPlace, c.Menus), place);
         },
         SettingsPlace::Zoom},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TLanguageCommands(c.Window, c.Menus, c.ShowMessage), place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new THelpCommands(c.Window, c.Ui.mnuHelpAbout, c.Ui.mnuHelpContent), place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TAppCommands(c.Window, c.Ui.mnuFileExit), place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TFirstStartHint(c.Window, c.Log, c.Services), place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TFramesCommands(c.Window, *c.Ui.splitter, *c.Ui.stkLogPlace, c.Session,
                                              c.Services, c.Menus),
                          place);
         },
         SettingsPlace::Later},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TFrameLineCommands(c.Window, c.Session, c.Log, c.Menus, c.Services), place);
         },
         SettingsPlace::Later},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TFramingCommands(c.Window, c.Session, c.Services, c.Menus, c.ShowMessage),
                          place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(
                 new TPcapngExport(c.Window, c.Session, c.Log, c.Services, c.Ui.mnuFileExport, c.ShowMessage),
                 place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TLiveCapture(c.Window, c.WindowNumber, c.Session, c.Services), place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TReplayCommands(c.Window, c.Session, c.Services, c.Menus, c.Log, c.ShowMessage),
                          place);
         },
         -1},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TAnswerTimesCommands(c.Window, c.Session, c.Menus), place);
         },
         SettingsPlace::Later},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TCaretBlinkTimeout(c.Window), place);
         },
         SettingsPlace::Later},
        {[](C c, TFeatureList &features, int place) {
             features.Add(new TReadPace(c.Window, c.Session), place);
         },
         SettingsPlace::Later},
    };
    return plan;
}

const std::vector<ST_MenuSlotPlan> &MainMenuPlan()
{
    using P = ST_MenuSlotPlan;
    // Declared in this order: of two slots at the end of one menu, the first stands above.
    static const std::vector<ST_MenuSlotPlan> plan = {
        // Above the separator before Exit.
        {"file.tools",
         "mnuFile",
         P::After,
         "mnuFileImport",
         false,
         {"mnuFileSendFile", "mnuFileReceiveFile", "mnuFileZmodemAuto", "mnuFileCapture",
          "mnuFileStopCapture", "mnuFileReplay"}},
        {"view.received",
         "mnuView",
         P::After,
         "mnuViewShowSendData",
         false,
         {"mnuViewDateAndTime", "mnuViewMilliseconds", "mnuViewTimeSincePrevious", "mnuViewSplitLines",
          "mnuViewFrameLines", "mnuViewEncoding", "mnuViewAnsi", "mnuViewCheckChecksum"}},
        {"view.windows",
         "mnuView",
         P::End,
         nullptr,
         true,
         {"mnuViewConsole", "mnuViewConsoleSettings", "mnuViewFrames", "mnuViewFramesInstead",
          "mnuViewAnswerTimes", "mnuViewFraming", "mnuViewPlot", "mnuViewLanguage"}},
        {"view.look", "mnuView", P::End, nullptr, true, {"mnuViewZoom", "mnuViewTheme"}},
        {"edit.find",
         "mnuSetting",
         P::End,
         nullptr,
         true,
         {"mnuEditFind", "mnuEditFindNext", "mnuEditFindPrevious"}},
        {"operate.send", "mnuOperate", P::End, nullptr, true, {"mnuOpLineEnding", "mnuOpSendFormat"}},
        {"operate.lines", "mnuOperate", P::End, nullptr, true, {"mnuOpDTR", "mnuOpRTS", "mnuOpSendBreak"}},
        {"operate.reconnect", "mnuOperate", P::End, nullptr, true, {"mnuOpReconnect", "mnuOpOpenAtStart"}},
        {"operate.scripts",
         "mnuOperate",
         P::End,
         nullptr,
         true,
         {"mnuOpRunScript", "mnuOpRecentScripts", "mnuOpStopScript"}},
        {"toolbar.lines", "tbrMain", P::End, nullptr, true, {"btnDTR", "btnRTS", "btnSendBreak"}},
    };
    return plan;
}

const std::vector<const char *> &StatusWidgetPlan()
{
    static const std::vector<const char *> plan = {
        "lblConsoleKeys",    "lbCapture",        "lbCTS", "lbDSR", "lbDCD", "lbRI", "pbTransfer",
        "btnCancelTransfer", "stbChecksumPanel",
    };
    return plan;
}
