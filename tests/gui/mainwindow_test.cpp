#include "help/gui/TfrmAbout.h"
#include "help/gui/helpcontent.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/textfile.h"
#include "session/portsession.h"
#include "shell/TMenuSlots.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <stdexcept>

#include "guilink.h"
#include "guitestenv.h"
#include "guitraffic.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "tempdir.h"

namespace {

struct Named
{
    const char *name;
    const char *text;
    const char *key;
};

QStringList VisibleTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *a : menu->actions())
        if (a->isVisible())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return texts;
}

// What the status bar tells of the capture; empty while it shows none.
QString CaptureShown(const QWidget &w)
{
    const auto *label = Find<QLabel>(w, "lbCapture");
    return label->isHidden() ? QString() : label->text();
}

} // namespace

// A button must say what it does to the mouse and to a screen reader.
TEST(MainWindow, EveryToolbarButtonShowsAndSaysWhatItDoes)
{
    GuiTestEnv env;
    TfrmMain w;
    w.show();
    int buttons = 0;
    for (QToolBar *bar : w.findChildren<QToolBar *>()) {
        for (QAction *action : bar->actions()) {
            auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
            if (!button || !button->isVisibleTo(&w))
                continue;
            ++buttons;
            const std::string name = button->objectName().toStdString();
            EXPECT_FALSE(name.empty()) << button->toolTip().toStdString();
            EXPECT_TRUE(!button->icon().isNull() || !button->text().isEmpty()) << name << " shows nothing";
            EXPECT_FALSE(button->toolTip().trimmed().isEmpty()) << name;
            QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(button);
            ASSERT_NE(spoken, nullptr) << name;
            EXPECT_FALSE(spoken->text(QAccessible::Name).trimmed().isEmpty()) << name;
        }
    }
    EXPECT_GE(buttons, 16);
}

TEST(MainWindow, LayoutControlsExistWithTheirTexts)
{
    GuiTestEnv env;
    TfrmMain w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kestrum"));
    // The first layout's size is the least; a larger screen gives more.
    EXPECT_GE(w.width(), 676);
    EXPECT_GE(w.height(), 582);
    EXPECT_NE(w.findChild<TTrafficLog *>(QStringLiteral("edData")), nullptr);
    EXPECT_NE(w.findChild<QTextEdit *>(QStringLiteral("edSendItem")), nullptr);
    auto *send = w.findChild<QPushButton *>(QStringLiteral("btnSend"));
    auto *edit = w.findChild<QPushButton *>(QStringLiteral("btnEdit"));
    ASSERT_TRUE(send && edit);
    EXPECT_EQ(send->text(), QStringLiteral("Send"));
    EXPECT_EQ(edit->text(), QStringLiteral("Edit"));

    auto *format = w.findChild<QComboBox *>(QStringLiteral("cboFormat"));
    ASSERT_NE(format, nullptr);
    EXPECT_FALSE(format->isEditable());
    QStringList formats;
    for (int i = 0; i < format->count(); ++i)
        formats << format->itemText(i);
    EXPECT_EQ(formats, (QStringList{"STRING", "HEX", "DECIMAL", "STRING&SYMBOL"}));

    auto *list = w.findChild<QTreeWidget *>(QStringLiteral("lsvSendData"));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->columnCount(), 3);
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Name"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("Format"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Content"));
    EXPECT_EQ(list->header()->sectionSize(0), 150);
    EXPECT_EQ(list->header()->sectionSize(1), 80);
    EXPECT_EQ(list->header()->sectionSize(2), 350);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);

    auto *bar = w.findChild<QStatusBar *>(QStringLiteral("stbComStatus"));
    ASSERT_NE(bar, nullptr);
    const int widths[] = {75, 110, 70, 70, 75, 80, 100, 50};
    for (int i = 0; i < 8; ++i) {
        auto *panel = bar->findChild<QLabel *>(QStringLiteral("stbComStatusPanel%1").arg(i));
        ASSERT_NE(panel, nullptr) << i;
        EXPECT_GE(panel->sizeHint().width(), widths[i]) << i;
    }
}

TEST(MainWindow, MainMenuHasEveryItemWithCaptionKeyAndHiddenState)
{
    GuiTestEnv env;
    TfrmMain w;
    const Named items[] = {
        {"mnuFileSave", "&Save", ""},
        {"mnuFileExit", "E&xit", ""},
        {"mnuViewShowTime", "Show &Time", ""},
        {"mnuViewShowSendData", "Show &SendData", ""},
        {"mnuViewText", "Te&xt", ""},
        {"mnuViewHex", "&Hex", ""},
        {"mnuViewDecimal", "&Decimal", ""},
        {"mnuViewTextSymbol", "TextS&ymbol", ""},
        {"mnuViewAsciiTable", "&ASCII Table", ""},
        {"mnuViewClearDisplay", "Clea&r Display", ""},
        {"mnuCopytoClipboard", "Copy to Clip&board", ""},
        {"mnuSettingAutoSend", "&Auto Send", ""},
        {"mnuSettingSendSetting", "Send Data &List", ""},
        {"mnuSettingRecDataList", "&Receivd Data List", ""},
        {"mnuOpOpenPort", "&Open Port", ""},
        {"mnuOpClosePort", "&Close Port", "F6"},
        {"mnuOpQuickLink", "&Quick Open", "F5"},
        {"mnuOpMonitor", "&Monitor Two Ports...", ""},
        {"mnuOpStartAutoSend", "Start Auto Send", "F9"},
        {"mnuOpStopAutoSend", "Stop Auto Send", "F10"},
        {"mnuOpPauseAutoSend", "Pause Auto Send", "F11"},
        {"mnuOpSendItem", "Send &Item", "F7"},
        {"mnuSendAndGoNext", "Send and Go Next", "F8"},
        {"mnuHelpAbout", "&About", ""},
        {"mnuHelpContent", "&Content", "F1"},
    };
    for (const Named &n : items) {
        auto *a = w.findChild<QAction *>(QString::fromLatin1(n.name));
        ASSERT_NE(a, nullptr) << n.name;
        EXPECT_EQ(a->text(), QString::fromLatin1(n.text)) << n.name;
        EXPECT_EQ(a->shortcut().toString(), QString::fromLatin1(n.key)) << n.name;
        EXPECT_TRUE(a->isVisible()) << n.name;
    }
    for (const char *hidden : {"mnuFileNew", "mnuFileOpen", "mnuFileSaveAs", "mnuFileImport"}) {
        auto *a = w.findChild<QAction *>(QString::fromLatin1(hidden));
        ASSERT_NE(a, nullptr) << hidden;
        EXPECT_FALSE(a->isVisible()) << hidden;
    }

    QStringList menus;
    for (const QAction *a : w.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Edit", "&Operate", "&Help"}));
    EXPECT_EQ(VisibleTexts(w.findChild<QMenu *>(QStringLiteral("mnuFile"))),
              (QStringList{"&Save", "&Export", "Send &File...", "&Receive File...",
                           "Start &ZMODEM transfers when the device asks", "&Capture to File\u2026",
                           "S&top Capture", "Re&play Capture\u2026", "-", "E&xit"}));
    EXPECT_EQ(VisibleTexts(w.findChild<QMenu *>(QStringLiteral("mnuOperate"))),
              (QStringList{"&Open Port",
                           "&Close Port",
                           "-",
                           "&Quick Open",
                           "&Monitor Two Ports...",
                           "-",
                           "Start Auto Send",
                           "Stop Auto Send",
                           "Pause Auto Send",
                           "-",
                           "Send &Item",
                           "Send and Go Next",
                           "-",
                           "Line &Ending",
                           "Send &Format",
                           "-",
                           "&DTR",
                           "&RTS",
                           "Send &Break",
                           "-",
                           "Reconnect &Automatically",
                           "Open This &Link at Start",
                           "-",
                           "Run &Script...",
                           "Recen&t Scripts",
                           "Sto&p Script"}));
    EXPECT_EQ(VisibleTexts(w.findChild<QMenu *>(QStringLiteral("mnuHelp"))),
              (QStringList{"&About", "&Content"}));
}

TEST(MainWindow, ContextMenusHoldTheirItemsInOrder)
{
    GuiTestEnv env;
    TfrmMain w;
    auto *display = w.findChild<QMenu *>(QStringLiteral("popmnuDisplay"));
    ASSERT_NE(display, nullptr);
    EXPECT_EQ(VisibleTexts(display), (QStringList{"Show &Time", "Show &SendData", "-", "Te&xt", "&Hex",
                                                  "&Decimal", "TextS&ymbol", "-", "Clea&r Display"}));
    for (const char *name : {"mnuShowTime", "mnuShowSendData", "mnuText", "mnuHex", "mnuDecimal",
                             "mnuTextSymbol", "mnuClearDisplay"})
        EXPECT_NE(display->findChild<QAction *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(w.findChild<TTrafficLog *>(QStringLiteral("edData"))->ContextMenu(), display);

    auto *sendData = w.findChild<QMenu *>(QStringLiteral("popmnuSendData"));
    ASSERT_NE(sendData, nullptr);
    EXPECT_EQ(VisibleTexts(sendData), (QStringList{"&Send Current", "Send &Data Setting",
                                                   "&Copy to Instant Send Edit", "Send And Go Next"}));
    EXPECT_EQ(sendData->findChild<QAction *>(QStringLiteral("mnuSendItem"))->shortcut().toString(),
              QStringLiteral("F7"));
    EXPECT_EQ(sendData->findChild<QAction *>(QStringLiteral("popmnuSendAndGoNext"))->shortcut().toString(),
              QStringLiteral("F8"));
    EXPECT_NE(sendData->findChild<QAction *>(QStringLiteral("mnuSendDataSetting")), nullptr);
    EXPECT_NE(sendData->findChild<QAction *>(QStringLiteral("mnuCopyToInput")), nullptr);
}

TEST(MainWindow, ExitEndsTheEventLoop)
{
    GuiTestEnv env;
    TfrmMain w;
    w.show();
    QTimer::singleShot(0, &w, [&w] { w.findChild<QAction *>(QStringLiteral("mnuFileExit"))->trigger(); });
    QTimer fallback;
    fallback.setSingleShot(true);
    QObject::connect(&fallback, &QTimer::timeout, [] { QCoreApplication::exit(42); });
    fallback.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

TEST(MainWindow, ViewCommandsKeepMenuContextMenuAndButtonInStep)
{
    GuiTestEnv env;
    TfrmMain w;
    const char *chains[4][3] = {{"mnuViewText", "mnuText", "btnText"},
                                {"mnuViewHex", "mnuHex", "btnHex"},
                                {"mnuViewDecimal", "mnuDecimal", "btnDecimal"},
                                {"mnuViewTextSymbol", "mnuTextSymbol", "btnTextSymbol"}};
    auto expectMode = [&](int mode) {
        for (int m = 0; m < 4; ++m) {
            EXPECT_EQ(w.findChild<QAction *>(chains[m][0])->isChecked(), m == mode) << chains[m][0];
            EXPECT_EQ(w.findChild<QAction *>(chains[m][1])->isChecked(), m == mode) << chains[m][1];
            EXPECT_EQ(w.findChild<QToolButton *>(chains[m][2])->isChecked(), m == mode) << chains[m][2];
        }
    };
    w.findChild<QToolButton *>(QStringLiteral("btnHex"))->click();
    expectMode(FMT_HEX);
    w.findChild<QAction *>(QStringLiteral("mnuTextSymbol"))->trigger();
    expectMode(FMT_STR_SYMBOL);
    w.findChild<QAction *>(QStringLiteral("mnuViewDecimal"))->trigger();
    expectMode(FMT_DEC);
    // Clicking the button that is already down leaves it down.
    w.findChild<QToolButton *>(QStringLiteral("btnDecimal"))->click();
    expectMode(FMT_DEC);

    auto *timeButton = w.findChild<QToolButton *>(QStringLiteral("btnShowTime"));
    timeButton->click();
    EXPECT_TRUE(Find<QAction>(w, "mnuViewShowTime")->isChecked());
    EXPECT_TRUE(w.findChild<QAction *>(QStringLiteral("mnuViewShowTime"))->isChecked());
    EXPECT_TRUE(w.findChild<QAction *>(QStringLiteral("mnuShowTime"))->isChecked());
    w.findChild<QAction *>(QStringLiteral("mnuShowTime"))->trigger();
    EXPECT_FALSE(Find<QAction>(w, "mnuViewShowTime")->isChecked());
    EXPECT_FALSE(timeButton->isChecked());
    w.findChild<QToolButton *>(QStringLiteral("btnShowSendData"))->click();
    EXPECT_FALSE(Find<QAction>(w, "mnuViewShowSendData")->isChecked());
    EXPECT_FALSE(w.findChild<QAction *>(QStringLiteral("mnuShowSendData"))->isChecked());
    EXPECT_FALSE(Find<QAction>(w, "mnuViewShowTime")->isChecked()) << "the two toggles are independent";

    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    Receive(w, Bytes{0x41, 0x42});
    EXPECT_EQ(log->LineText(0), "Rec  :65 66 ");
    EXPECT_EQ(log->DisplayType(), FMT_DEC);

    // A context-menu item is only a face of its View item's action: whatever becomes of the
    // action shows there too.
    for (const auto &[view, popup] : {std::pair{"mnuViewShowTime", "mnuShowTime"},
                                      {"mnuViewHex", "mnuHex"},
                                      {"mnuViewClearDisplay", "mnuClearDisplay"}}) {
        auto *command = w.findChild<QAction *>(QString::fromLatin1(view));
        auto *twin = w.findChild<QAction *>(QString::fromLatin1(popup));
        command->setEnabled(false);
        EXPECT_FALSE(twin->isEnabled()) << popup;
        command->setEnabled(true);
        command->setChecked(!command->isChecked());
        EXPECT_EQ(twin->isChecked(), command->isChecked()) << popup;
    }
}

TEST(MainWindow, LogSaveCopyAndClear)
{
    GuiTestEnv env;
    TfrmMain w;
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    w.findChild<QToolButton *>(QStringLiteral("btnHex"))->click();
    Receive(w, Bytes{0x41});
    log->LogSendData(CCommData(Bytes{0x0D, 0x0A}));

    const QString target = env.FilePath(QStringLiteral("capture"));
    QStringList filters;
    ModalCatcher dialogs([&](QDialog *d) {
        auto *save = qobject_cast<QFileDialog *>(d);
        ASSERT_NE(save, nullptr);
        filters = save->nameFilters();
        SelectFile(save, target);
        static_cast<QDialog *>(save)->accept();
    });
    w.findChild<QAction *>(QStringLiteral("mnuFileSave"))->trigger();
    EXPECT_EQ(dialogs.Seen(), QStringList{"dlgSave"});
    EXPECT_EQ(filters, (QStringList{"Log file(*.log)", "Text file(*.txt)"}));
    std::string saved;
    ASSERT_TRUE(ReadWholeFile((target + ".log").toStdString(), saved)) << "the default extension is log";
    EXPECT_EQ(saved, "Rec  :41 \r\nSend :0D 0A \r\n");

    QApplication::clipboard()->clear();
    w.findChild<QToolButton *>(QStringLiteral("btnCopy"))->click();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), saved);

    w.findChild<QAction *>(QStringLiteral("mnuClearDisplay"))->trigger();
    EXPECT_EQ(log->LineCount(), 0);
}

TEST(MainWindow, SaveAsksBeforeReplacingAndUserFilesStartAtHomeWithoutDocuments)
{
    GuiTestEnv env;
    const QString home = env.FilePath(QStringLiteral("home"));
    ASSERT_TRUE(QDir().mkpath(home));
    const QByteArray oldHome = qgetenv("HOME"), oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toLocal8Bit());
    const QString existing = home + QStringLiteral("/old.log");
    WriteRaw(existing.toStdString(), "a long session");
    QString folder, proposed;
    {
        TfrmMain w;
        Receive(w, Bytes{0x41});
        int shown = 0;
        ModalCatcher dialogs([&](QDialog *d) {
            if (shown++ > 0)
                return d->reject();
            folder = qobject_cast<QFileDialog *>(d)->directory().absolutePath();
            TypeFileNameLater(d, existing);
        });
        w.findChild<QAction *>(QStringLiteral("mnuFileSave"))->trigger();
        EXPECT_EQ(dialogs.Seen().size(), 3) << dialogs.Seen().join('|').toStdString();
        EXPECT_TRUE(dialogs.Seen().value(1).contains(QStringLiteral("already exists")));
    }
    {
        TfrmMain w;
        ModalCatcher dialogs([&](QDialog *d) {
            proposed = d->findChild<QLineEdit *>(QStringLiteral("edCaptureFile"))->text();
            d->reject();
        });
        w.findChild<QAction *>(QStringLiteral("mnuFileCapture"))->trigger();
    }
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    EXPECT_EQ(ReadRaw(existing.toStdString()), "a long session") << "not replaced";
    EXPECT_EQ(folder.toStdString(), home.toStdString()) << "not the app folder with its diagnostic log";
    EXPECT_EQ(proposed.toStdString(), (home + QStringLiteral("/capture.log")).toStdString());
}

TEST(MainWindow, ManualBesideTheProgramAndAboutBox)
{
    GuiTestEnv env;
    // Installed under any prefix, the manual lies in share/doc/kestrum beside bin; without it the
    // fallback (the source tree's) is used, and with neither there is none.
    const std::string prefix = env.File("prefix");
    const std::string fallback = env.File("source-manual");
    EXPECT_EQ(ManualFolder(prefix + "/bin/kestrum", fallback), "");
    QDir().mkpath(QString::fromStdString(fallback));
    QDir().mkpath(QString::fromStdString(prefix + "/share/doc/kestrum"));
    WriteFileAtomic(fallback + "/index.html", "<h1>source</h1>");
    EXPECT_EQ(ManualFolder(prefix + "/bin/kestrum", fallback), fallback);
    WriteFileAtomic(prefix + "/share/doc/kestrum/index.html", "<h1>installed</h1>");
    EXPECT_EQ(ManualFolder(prefix + "/bin/kestrum", fallback), prefix + "/share/doc/kestrum");
    EXPECT_EQ(ManualFolder("", ""), "");

    OverrideManualFolder(env.File("no-manual-here"));
    {
        TfrmMain w;
        ModalCatcher boxes;
        w.findChild<QAction *>(QStringLiteral("mnuHelpContent"))->trigger();
        EXPECT_EQ(boxes.Seen(), QStringList{"Help file not found!"});
    }
    OverrideManualFolder("");

    TfrmMain w;
    QString version, caption;
    ModalCatcher dialogs([&](QDialog *d) {
        caption = d->windowTitle();
        if (auto *label = d->findChild<QLabel *>(QStringLiteral("lbVersion")))
            version = label->text();
        d->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    });
    w.findChild<QAction *>(QStringLiteral("mnuHelpAbout"))->trigger();
    EXPECT_EQ(dialogs.Seen(), QStringList{"frmAbout"});
    EXPECT_EQ(caption, QStringLiteral("About"));
    EXPECT_EQ(version, QStringLiteral("v 1.0.2.4"));
    EXPECT_EQ(TfrmAbout::VersionText(""), QStringLiteral("v 1.0"));
}

TEST(MainWindow, ActivationRefreshesTheCommandStates)
{
    GuiTestEnv env;
    TfrmMain w;
    auto *start = w.findChild<QToolButton *>(QStringLiteral("btnStartAutoSend"));
    EXPECT_FALSE(start->isChecked());
    SessionOf(w).AutoSend().SetState(AUTOSEND_RUNNING);
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_TRUE(start->isChecked());
    EXPECT_TRUE(w.findChild<QAction *>(QStringLiteral("mnuOpStartAutoSend"))->isChecked());
    EXPECT_FALSE(start->isEnabled()) << "no port is open";
    SessionOf(w).AutoSend().SetState(AUTOSEND_STOPPED);
}

// Features put their commands into named slots; the order within a slot is the plan's, so it does
// not depend on which feature was made first, and a slot's separator shows only once it is used.
TEST(MainWindow, MenuSlotsOrderItemsByThePlanWhateverOrderTheyCameIn)
{
    GuiTestEnv env;
    const std::vector<ST_MenuSlotPlan> plan = {
        {"slot", "menu", ST_MenuSlotPlan::Before, "last", true, {"a1", "a2", "b"}}};
    const auto build = [&plan](bool reversed) {
        QWidget window;
        auto *menu = new QMenu(&window);
        menu->setObjectName(QStringLiteral("menu"));
        menu->addAction(QStringLiteral("Last"))->setObjectName(QStringLiteral("last"));
        TMenuSlots menus(&window, plan);
        if (VisibleTexts(menu) != QStringList{"Last"})
            return QStringList{"separator shown while the slot is empty"};
        const auto first = [&] { menus.AddNew(menu, "b", QStringLiteral("B")); };
        const auto second = [&] {
            menus.AddNew(menu, "a2", QStringLiteral("A2"));
            menus.AddNew(menu, "a1", QStringLiteral("A1"));
        };
        reversed ? (second(), first()) : (first(), second());
        EXPECT_THROW(menus.AddNew(menu, "unplanned", QStringLiteral("U")), std::logic_error);
        return VisibleTexts(menu);
    };
    EXPECT_EQ(build(false), (QStringList{"-", "A1", "A2", "B", "Last"}));
    EXPECT_EQ(build(true), build(false));
}

// A capture kept with its link comes back with the window: it waits for the link's port, starts
// in a file of its own when the port opens and says so in a note; dated stamps reach it.
TEST(MainWindow, ACaptureKeptWithItsLinkComesBackAfterARestart)
{
    GuiTestEnv env;
    CTestPty pty;
    const QString pattern = env.FilePath(QStringLiteral("{link}-{seq}.log"));
    {
        TfrmMain w;
        Feature<TPortCommands>(w)->Open(Link("board", pty.Path()));
        ASSERT_TRUE(SessionOf(w).IsOpen());
        ModalCatcher dialog([&pattern](QDialog *d) {
            Find<QLineEdit>(d, "edCaptureFile")->setText(pattern);
            Find<QComboBox>(d, "cbCaptureNewFile")->setCurrentIndex(3);
            Find<QCheckBox>(d, "chkCaptureWithLink")->setChecked(true);
            QTimer::singleShot(0, d, [d] {
                Find<QDialogButtonBox>(d, "btnsCapture")->button(QDialogButtonBox::Ok)->click();
            });
        });
        Find<QAction>(w, "mnuFileCapture")->trigger();
        ASSERT_TRUE(CaptureShown(w).startsWith(QStringLiteral("Capture: board-")))
            << CaptureShown(w).toStdString();
        w.SaveSettings();
    }
    TfrmMain again;
    EXPECT_EQ(CaptureShown(again), QStringLiteral("Capture: waiting for board"));
    Find<QAction>(again, "mnuViewDateAndTime")->setChecked(true);
    Feature<TPortCommands>(again)->Open(Link("board", pty.Path()));
    ASSERT_TRUE(CaptureShown(again).startsWith(QStringLiteral("Capture: board-")))
        << CaptureShown(again).toStdString();
    ASSERT_TRUE(pty.Send("temp:20.1\r\n"));
    const std::string file = env.File("board-002.log");
    ASSERT_TRUE(WaitUntil([&file] { return ReadRaw(file).find("temp:20.1") != std::string::npos; }))
        << ReadRaw(file);
    const QString text = QString::fromStdString(ReadRaw(file));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Note :Capture started with board on "))) << ReadRaw(file);
    EXPECT_TRUE(text.contains(
        QRegularExpression(QStringLiteral("\\(\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\)temp:20\\.1"))))
        << ReadRaw(file);
    auto *panel = Find<QLabel>(again, "lbCapture");
    EXPECT_TRUE(panel->text().startsWith(QStringLiteral("Capture: board-002.log")))
        << panel->text().toStdString();
    EXPECT_EQ(panel->toolTip().toStdString(), file);

    // Each connect goes on in a file of its own.
    Feature<TPortCommands>(again)->Open(Link("board", pty.Path()));
    const std::string next = env.File("board-003.log");
    ASSERT_TRUE(WaitUntil([&next] { return ReadRaw(next).find("Note :Port back at ") == 0; }))
        << ReadRaw(next);
    EXPECT_EQ(ReadRaw(file).find("Port back"), std::string::npos);

    // A lost port is noted where the capture goes on.
    pty.CloseMaster();
    EXPECT_TRUE(WaitUntil([&next] { return ReadRaw(next).find("Note :Port lost at ") != std::string::npos; }))
        << ReadRaw(next);
}
