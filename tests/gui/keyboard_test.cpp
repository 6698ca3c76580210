// The keyboard alone reaches everything: the focus after an open, the Tab chain of the main
// window and of every dialog, a focus frame on each stop, and mnemonics that are unique within
// a menu or a window.
#include "autosend/gui/TfrmAutoSendSetting.h"
#include "autosend/gui/TfrmEventEdit.h"
#include "autosend/gui/TfrmGroupRecord.h"
#include "autosend/gui/TfrmRecordTypeSelect.h"
#include "autosend/gui/TfrmSingleRecord.h"
#include "console/gui/TfrmConsoleSettings.h"
#include "data/gui/TChecksumEdit.h"
#include "data/gui/TfrmAscTable.h"
#include "data/gui/TfrmEditSymbol.h"
#include "help/gui/TfrmAbout.h"
#include "link/gui/TfrmOpenPort.h"
#include "link/gui/TfrmPortSetting.h"
#include "link/linklist.h"
#include "log/gui/TLogCapture.h"
#include "mainwindow/features/TInstantSend.h"
#include "mainwindow/features/TPortCommands.h"
#include "monitor/gui/TfrmMonitorSetting.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/language.h"
#include "platform/textfile.h"
#include "plot/gui/TfrmPlot.h"
#include "recdata/gui/TfrmCheckChecksum.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"
#include "session/portsession.h"
#include "transfer/gui/TfrmReceiveFile.h"
#include "transfer/gui/TfrmSendFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTextEdit>
#include <QTranslator>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

std::string Describe(const QWidget *w)
{
    if (!w)
        return "nothing";
    QString name = w->objectName();
    if (name.isEmpty())
        name = w->accessibleName();
    if (auto *button = qobject_cast<const QAbstractButton *>(w); name.isEmpty() && button)
        name = button->text();
    return (QString::fromLatin1(w->metaObject()->className()) + QLatin1Char('/') + name).toStdString();
}

QWidget *Resolved(QWidget *w)
{
    while (w && w->focusProxy())
        w = w->focusProxy();
    return w;
}

// The controls of `window` a user can reach: shown, enabled and taking the focus by Tab.
QList<QWidget *> Reachable(QWidget *window)
{
    QList<QWidget *> controls;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        QWidget *control = Resolved(w);
        if (control->window() == window && control->isVisible() && control->isEnabled() &&
            (control->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !controls.contains(control))
            controls << control;
    }
    return controls;
}

// Presses Tab (Shift+Tab) from the focus until the focus comes back; the controls it stopped at,
// the first one last. A control that keeps the Tab, or a loop that never comes back, ends the walk
// short of the start.
QList<QWidget *> TabChain(bool back = false)
{
    QWidget *start = QApplication::focusWidget();
    QList<QWidget *> chain;
    for (QWidget *at = start; at;) {
        QTest::keyClick(at, back ? Qt::Key_Backtab : Qt::Key_Tab, back ? Qt::ShiftModifier : Qt::NoModifier);
        at = QApplication::focusWidget();
        if (chain.contains(at))
            break;
        chain << at;
        if (at == start)
            break;
    }
    return chain;
}

// The outer ring of a control's picture, where a focus frame is drawn.
QImage Ring(QWidget *w)
{
    QImage image = w->grab().toImage();
    const QRect inner = image.rect().adjusted(3, 3, -3, -3);
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            image.setPixel(x, y, 0);
    return image;
}

// Every control is reached by Tab and back by Shift+Tab, and shows that it has the focus.
void CheckTabChain(QWidget *window, const std::string &name)
{
    const QList<QWidget *> chain = TabChain();
    ASSERT_FALSE(chain.isEmpty()) << name;
    EXPECT_EQ(chain.last(), QApplication::focusWidget()) << name;
    EXPECT_EQ(TabChain(true).size(), chain.size()) << name << ": Shift+Tab goes another way";
    for (QWidget *control : Reachable(window))
        EXPECT_TRUE(chain.contains(control)) << name << ": Tab never reaches " << Describe(control)
                                             << "; it stops at " << Describe(chain.last());
    for (QWidget *control : chain) {
        // The style marks the default button whether or not it has the focus; wherever else the
        // focus is, that control shows it.
        if (auto *button = qobject_cast<QPushButton *>(control); button && button->isDefault())
            continue;
        control->setFocus(Qt::TabFocusReason);
        const QImage focused = Ring(control);
        (control == chain.first() ? chain.last() : chain.first())->setFocus(Qt::TabFocusReason);
        EXPECT_TRUE(focused != Ring(control)) << name << ": no focus frame on " << Describe(control);
    }
}

void CheckMnemonics(const QList<QString> &texts, const std::string &where)
{
    std::map<QKeySequence, QString> keys;
    for (const QString &text : texts) {
        const QKeySequence key = QKeySequence::mnemonic(text);
        if (key.isEmpty())
            continue;
        const auto [at, fresh] = keys.emplace(key, text);
        EXPECT_TRUE(fresh) << where << ": " << key.toString().toStdString() << " is both \""
                           << at->second.toStdString() << "\" and \"" << text.toStdString() << "\"";
    }
}

void CheckMenuMnemonics(QWidget *window, const std::string &name)
{
    for (QMenu *menu : window->findChildren<QMenu *>()) {
        QList<QString> texts;
        for (QAction *action : menu->actions())
            if (action->isVisible() && !action->isSeparator())
                texts << action->text();
        CheckMnemonics(texts,
                       name + " menu " + menu->title().toStdString() + menu->objectName().toStdString());
    }
}

// The window's own mnemonics: its buttons, labelled controls, group boxes, tabs and menu bar.
void CheckWindowMnemonics(QWidget *window, const std::string &name)
{
    QList<QString> texts;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !w->isVisible())
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            texts << button->text();
        else if (auto *label = qobject_cast<QLabel *>(w); label && label->buddy())
            texts << label->text();
        else if (auto *group = qobject_cast<QGroupBox *>(w))
            texts << group->title();
        else if (auto *tabs = qobject_cast<QTabBar *>(w))
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
        else if (auto *bar = qobject_cast<QMenuBar *>(w))
            for (QAction *action : bar->actions())
                if (action->isVisible())
                    texts << action->text();
    }
    CheckMnemonics(texts, name);
    CheckMenuMnemonics(window, name);
}

using DialogMaker = std::function<QWidget *(QWidget *)>;

// Every dialog, by the name a failure gives.
std::vector<std::pair<std::string, DialogMaker>> Dialogs(GuiTestEnv &env)
{
    return {
        {"Open Port", [](QWidget *p) { return new TfrmOpenPort(p); }},
        {"Port Setting", [](QWidget *p) { return new TfrmPortSetting(p); }},
        {"ASCII Table", [](QWidget *p) { return new TfrmAscTable(p, false); }},
        {"ASCII Table to insert", [](QWidget *p) { return new TfrmAscTable(p, true); }},
        {"Edit Symbol", [](QWidget *p) { return new TfrmEditSymbol(p); }},
        {"Checksum Setting", [](QWidget *p) { return new TfrmChecksumSetting(p); }},
        {"Check Checksum", [](QWidget *p) { return new TfrmCheckChecksum(p); }},
        {"Received Data List", [&env](QWidget *p) { return new TfrmRecDataList(p, env.File("rec.tmp")); }},
        {"Send Data List", [](QWidget *p) { return new TfrmSendDataList(p); }},
        {"Data Edit", [](QWidget *p) { return new TfrmDataEdit(p); }},
        {"Auto Send Setting",
         [&env](QWidget *p) { return new TfrmAutoSendSetting(p, env.File("rules.ass")); }},
        {"Event Edit", [](QWidget *p) { return new TfrmEventEdit(p); }},
        {"Group Record", [](QWidget *p) { return new TfrmGroupRecord(p); }},
        {"Single Record", [](QWidget *p) { return new TfrmSingleRecord(p); }},
        {"Record Type Select", [](QWidget *p) { return new TfrmRecordTypeSelect(p); }},
        {"Monitor Setting",
         [](QWidget *p) {
             return new TfrmMonitorSetting(p, {Link("A", "ttyS0"), Link("B", "ttyS1")}, ST_MonitorSetup());
         }},
        {"Send File", [](QWidget *p) { return new TfrmSendFile(p, ST_SendFileChoice()); }},
        {"Receive File", [](QWidget *p) { return new TfrmReceiveFile(p, ST_ReceiveFileChoice()); }},
        {"Capture",
         [](QWidget *p) {
             return new TfrmCapture(p, QString(), ST_CaptureChoice(), QStringLiteral("Bench"),
                                    [](const ST_CaptureChoice &) { return 0; });
         }},
        {"Console Settings", [](QWidget *p) { return new TfrmConsoleSettings(p); }},
        {"About", [](QWidget *p) { return new TfrmAbout(p); }},
        // Paused, as then the pause button's caption is Resume.
        {"Plot paused",
         [](QWidget *p) {
             auto *plot = new TfrmPlot(p);
             plot->findChild<QPushButton *>(QStringLiteral("btnPlotPause"))->click();
             return plot;
         }},
    };
}

void OpenWithF5(QMainWindow &w)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
    ASSERT_TRUE(SessionOf(w).IsOpen());
}

} // namespace

// A lone Alt leaves the menu bar holding the keyboard, where typed letters open menus and Enter
// runs the first item; an open by F5 or by the link manager puts the keyboard in the send box.
TEST(Keyboard, AnOpenPutsTheKeyboardInTheSendBox)
{
    GuiTestEnv env;
    CTestPty pty;
    const COM_PORT_SETTING link = Link("Bench", pty.Path());
    WriteTextLines(env.File("Default.cps"), {LinkToLine(link)});
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(link);
    Feature<TPortCommands>(w)->Close();
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto *edit = Find<QTextEdit>(w, "edSendItem");

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Alt);
    OpenWithF5(w);
    EXPECT_EQ(QApplication::focusWidget(), edit) << Describe(QApplication::focusWidget());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("hello"));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(pty.ReceiveText(5), "hello");

    Feature<TPortCommands>(w)->Close();
    Find<QWidget>(w, "btnSave")->setFocus();
    ModalCatcher choose([](QDialog *d) {
        auto *list = d->findChild<QTreeWidget *>(QStringLiteral("lstLinkList"));
        list->setCurrentItem(list->topLevelItem(0));
        d->findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
    });
    Find<QAction>(w, "mnuOpOpenPort")->trigger();
    ASSERT_TRUE(SessionOf(w).IsOpen());
    EXPECT_EQ(w.focusWidget(), edit) << Describe(w.focusWidget());
}

// Tab leaves the send box for the send area's controls in the order they stand, then goes round
// the window and back; a TAB character is typed with Ctrl+I.
TEST(Keyboard, TabWalksTheSendAreaAndCtrlITypesATab)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Bench", pty.Path()));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto *edit = Find<QTextEdit>(w, "edSendItem");
    edit->setFocus(Qt::TabFocusReason);

    const QList<QWidget *> chain = TabChain();
    QStringList names;
    for (QWidget *control : chain.mid(0, 5))
        names << control->objectName();
    EXPECT_EQ(names.join(QLatin1Char(' ')), "btnSend btnEdit cboFormat cboLineEnding cboChecksum");
    EXPECT_EQ(chain.last(), edit);
    EXPECT_EQ(edit->toPlainText(), QString());
    QTest::keyClick(edit, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_NE(QApplication::focusWidget(), edit);
    EXPECT_EQ(edit->toPlainText(), QString());

    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(edit, QStringLiteral("a"));
    QTest::keyClick(edit, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClicks(edit, QStringLiteral("b"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(pty.ReceiveText(3), "a\tb");
}

// Operate > Line Ending and Send Format choose in the lists beside the send box, and show what
// they hold.
TEST(Keyboard, TheLineEndingAndTheFormatAreInTheOperateMenu)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Bench", pty.Path()));
    auto *ending = Find<QComboBox>(w, "cboLineEnding");
    auto *cr = Find<QAction>(w, "mnuOpLineEndingCR");
    ASSERT_NE(cr, nullptr);
    cr->trigger();
    EXPECT_EQ(ending->currentIndex(), 1);
    TypeAndSend(w, QStringLiteral("x"));
    EXPECT_EQ(pty.ReceiveText(2), "x\r");
    ending->setCurrentIndex(3);
    EXPECT_TRUE(Find<QAction>(w, "mnuOpLineEndingCRLF")->isChecked());

    Find<QAction>(w, "mnuOpSendFormatHex")->trigger();
    EXPECT_EQ(Find<QComboBox>(w, "cboFormat")->currentText(), "HEX");
    Feature<TInstantSend>(w)->SetItem(CCommData(std::string("1 2"), FMT_DEC));
    emit Find<QMenu>(w, "mnuOpSendFormat")->aboutToShow();
    EXPECT_TRUE(Find<QAction>(w, "mnuOpSendFormatDecimal")->isChecked());
}

// The main window, and every dialog, one after another.
TEST(Keyboard, EveryControlIsReachedWithAFrameAndEveryMnemonicIsUnique)
{
    GuiTestEnv env;
    CTestPty pty;
    const COM_PORT_SETTING link = Link("Bench", pty.Path());
    WriteTextLines(env.File("Default.cps"), {LinkToLine(link)});
    const auto mainMade = NewMainWindow();
    QMainWindow &main = *mainMade;
    Feature<TPortCommands>(main)->Open(link);
    Find<QAction>(main, "mnuViewFrames")->trigger(); // its bar's controls are in the chain too
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    CheckTabChain(&main, "main window");
    CheckWindowMnemonics(&main, "main window");
    main.hide();

    for (const auto &[name, make] : Dialogs(env)) {
        std::unique_ptr<QWidget> dialog(make(&main));
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get())) << name;
        if (!QApplication::focusWidget() || QApplication::focusWidget()->window() != dialog.get())
            Reachable(dialog.get()).value(0, dialog.get())->setFocus(Qt::TabFocusReason);
        CheckTabChain(dialog.get(), name);
        CheckWindowMnemonics(dialog.get(), name);
    }
}

// A translation keeps every key letter unique too: each one is installed as a start installs it,
// and the main window's menus and every dialog are read in it.
TEST(Keyboard, EveryMnemonicIsUniqueInEachTranslation)
{
    GuiTestEnv env;
    CTestPty pty;
    const COM_PORT_SETTING link = Link("Bench", pty.Path());
    WriteTextLines(env.File("Default.cps"), {LinkToLine(link)});
    const QByteArray forced = qgetenv("KESTRUM_LANGUAGE");
    // English again for the tests after this one, whatever becomes of this one.
    const std::shared_ptr<void> english(nullptr, [&forced](void *) {
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
        qputenv("KESTRUM_LANGUAGE", forced);
    });
    for (const QString &code : Language::Translated()) {
        qputenv("KESTRUM_LANGUAGE", code.toLatin1());
        ASSERT_EQ(Language::Install(*qApp, OpenAppSettings()), code);
        const std::string language = code.toStdString() + " ";
        const auto mainMade = NewMainWindow();
        QMainWindow &main = *mainMade;
        Feature<TPortCommands>(main)->Open(link);
        main.show();
        CheckWindowMnemonics(&main, language + "main window");
        for (const auto &[name, make] : Dialogs(env)) {
            std::unique_ptr<QWidget> dialog(make(&main));
            dialog->show();
            CheckWindowMnemonics(dialog.get(), language + name);
        }
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
}
