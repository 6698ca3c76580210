// The console against real programs: a bash on a terminal of its own, bridged to the pseudo-terminal
// whose other end the window opens as its port, as a board's shell sits behind its serial line.
#include "console/gui/TConsoleView.h"
#include "log/gui/TLogCapture.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/textfile.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "session/portsession.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "shellbehindport.h"
#include "tempdir.h"

namespace {

// A shell waits on its programs, which take a while to start on a loaded machine.
constexpr int kPatience = 30'000;

QString ScreenText(QWidget *view)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(view);
    QAccessibleTextInterface *text = face ? face->textInterface() : nullptr;
    return text ? text->text(0, text->characterCount()) : QString();
}

// The console's rows as shown, without trailing blanks.
QStringList ScreenLines(QWidget *view)
{
    QStringList lines = ScreenText(view).split(QLatin1Char('\n'));
    for (QString &line : lines) {
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
    }
    return lines;
}

std::vector<std::string> LogLines(const QWidget &w, const char *header)
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    std::vector<std::string> lines;
    for (int i = 0; i < log->LineCount(); ++i)
        if (log->LineText(i).rfind(header, 0) == 0)
            lines.push_back(log->LineText(i).substr(std::string(header).size()));
    return lines;
}

// The log's lines as shown; a block's line breaks start lines without a header.
std::string LogText(const QWidget &w)
{
    auto *log = w.findChild<TTrafficLog *>(QStringLiteral("edData"));
    std::string text;
    for (int i = 0; i < log->LineCount(); ++i)
        text += log->LineText(i) + "\n";
    return text;
}

// A window with its port open on a pseudo-terminal and the console shown.
struct ConsoleWindow
{
    GuiTestEnv env;
    CTestPty pty;
    std::unique_ptr<QMainWindow> made = NewMainWindow();
    QMainWindow &w = *made;
    TfrmRecDataList *received = &GiveReceivedList(w);
    TConsoleView *console = nullptr;

    ConsoleWindow()
    {
        w.resize(900, 700);
        w.show();
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.PortName = pty.Path();
        Feature<TPortCommands>(w)->Open(link);
        Find<QAction>(w, "mnuViewConsole")->trigger();
        console = w.findChild<TConsoleView *>(QStringLiteral("console"));
    }
    void Type(const char *text) { QTest::keyClicks(console, QString::fromUtf8(text)); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(console, key, modifiers);
    }
    void Enter(const char *line)
    {
        Type(line);
        Key(Qt::Key_Return);
    }
    bool ShowsLine(const QString &line)
    {
        return WaitUntil([this, &line] { return ScreenLines(console).contains(line); }, kPatience);
    }
    bool Shows(const QString &text)
    {
        return WaitUntil([this, &text] { return ScreenText(console).contains(text); }, kPatience);
    }
};

// With a shell behind the port.
struct ShellWindow : ConsoleWindow
{
    std::unique_ptr<CShellBehindPort> shell;

    ShellWindow()
    {
        if (console)
            shell = std::make_unique<CShellBehindPort>(pty, env.Dir().toStdString(), console->Rows(),
                                                       console->Cols());
    }
    bool Ready()
    {
        return console && SessionOf(w).IsOpen() && shell->Running() && ShowsLine(QStringLiteral("$"));
    }
};

} // namespace

TEST(Console, AShellAnswersTypedCommandsAndTheLogKeepsTheTypedLines)
{
    ShellWindow s;
    ASSERT_TRUE(s.Ready());
    EXPECT_TRUE(s.console->hasFocus());
    EXPECT_EQ(s.console->accessibleName(), QStringLiteral("Console"));

    // The output line differs from the echoed command line.
    s.Enter("echo kes$((6*7))trum");
    EXPECT_TRUE(s.ShowsLine(QStringLiteral("kes42trum")));

    s.Type("echo wrold");
    for (int i = 0; i < 4; ++i)
        s.Key(Qt::Key_Backspace);
    s.Enter("orld");
    EXPECT_TRUE(s.ShowsLine(QStringLiteral("world")));

    s.Enter("sleep 100");
    ASSERT_TRUE(WaitUntil([&s] { return s.shell->HasChild("sleep"); }, kPatience));
    s.Key(Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(WaitUntil([&s] { return !s.shell->HasChild("sleep"); }, kPatience));

    WriteFileAtomic(s.env.File("kestrum-tabbed-name.txt"), "tab completed\n");
    s.Type("cat kestrum-tab");
    s.Key(Qt::Key_Tab);
    s.Key(Qt::Key_Return);
    EXPECT_TRUE(s.ShowsLine(QStringLiteral("tab completed")));

    // The log: each typed line one send, never a line per key, and the shell's output received.
    const std::vector<std::string> sent = LogLines(s.w, "Send :");
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(),
                            [](const std::string &l) { return l.rfind("echo kes$((6*7))trum", 0) == 0; }));
    EXPECT_LE(sent.size(), 8u);
    EXPECT_NE(LogText(s.w).find("kes42trum"), std::string::npos);
    EXPECT_GE(SessionOf(s.w).SendBytes(), static_cast<int64_t>(sizeof "echo kes$((6*7))trum"));
}

// A device that echoes each key as it comes: the log reads the typed line first, then its echo as
// one line, then what it caused, however slowly the keys were typed.
TEST(Console, ATypedLineStandsBeforeItsEchoAndWhatItCaused)
{
    ConsoleWindow c;
    ASSERT_NE(c.console, nullptr);
    TLogCapture &capture = Feature<TCaptureCommands>(c.w)->Capture();
    const QString file = c.env.FilePath(QStringLiteral("typed.log"));
    ASSERT_EQ(capture.Start(file, false), 0);
    int64_t received = 0;
    for (const char *key : {"l", "s"}) {
        c.Type(key);
        ASSERT_EQ(c.pty.ReceiveText(1), key);
        ASSERT_TRUE(c.pty.Send(key));
        ++received;
        ASSERT_TRUE(WaitUntil([&] { return SessionOf(c.w).RecBytes() == received; }));
    }
    c.Key(Qt::Key_Return);
    ASSERT_EQ(c.pty.ReceiveText(1), "\r");
    ASSERT_TRUE(c.pty.Send("\r\nfile\r\n"));
    ASSERT_TRUE(c.ShowsLine(QStringLiteral("file")));
    const std::string log = LogText(c.w);
    EXPECT_EQ(log.find("Send :ls"), 0u) << log;
    EXPECT_NE(log.find("Rec  :ls"), std::string::npos) << log;
    EXPECT_EQ(LogLines(c.w, "Rec  :").size(), 2u) << "the echo is one line, the answer the other\n" << log;
    capture.Stop();
    const std::string captured = ReadRaw(file.toStdString());
    const size_t typed = captured.find("Send :ls\r\n");
    ASSERT_NE(typed, std::string::npos) << captured;
    EXPECT_EQ(captured.find("Rec  :", typed), captured.find("Rec  :ls\r\n")) << captured;
    EXPECT_LT(captured.find("Rec  :ls"), captured.find("file")) << captured;
}

TEST(Console, FullScreenProgramsDrawInPlace)
{
    ShellWindow s;
    ASSERT_TRUE(s.Ready());

    s.Enter("vi note.txt");
    ASSERT_TRUE(s.ShowsLine(QStringLiteral("~")));
    s.Type("iwritten in vi");
    s.Key(Qt::Key_Escape);
    s.Enter(":wq");
    std::string note;
    EXPECT_TRUE(WaitUntil(
        [&] { return ReadWholeFile(s.env.File("note.txt"), note) && note == "written in vi\n"; }, kPatience));
    ASSERT_TRUE(s.ShowsLine(QStringLiteral("$")));

    std::string rows;
    for (int i = 1; i <= 300; ++i)
        rows += "row " + std::to_string(i) + "\n";
    WriteFileAtomic(s.env.File("rows.txt"), rows);
    s.Enter("less rows.txt");
    ASSERT_TRUE(
        WaitUntil([&s] { return ScreenLines(s.console).value(0) == QStringLiteral("row 1"); }, kPatience));
    const size_t scrolled = s.console->Screen().ScrollbackLines();
    s.Key(Qt::Key_Space);
    ASSERT_TRUE(WaitUntil(
        [&s] {
            const QString top = ScreenLines(s.console).value(0);
            return top.startsWith(QStringLiteral("row ")) && top != QStringLiteral("row 1");
        },
        kPatience));
    EXPECT_FALSE(ScreenLines(s.console).contains(QStringLiteral("row 1")));
    EXPECT_EQ(s.console->Screen().ScrollbackLines(), scrolled);
    s.Type("q");

    // top draws its screen again every tenth of a second, over the old one.
    s.Enter("top -d 0.1");
    ASSERT_TRUE(s.Shows(QStringLiteral("load average")));
    const size_t before = s.console->Screen().ScrollbackLines();
    const QString first = ScreenLines(s.console).value(0);
    ASSERT_TRUE(WaitUntil([&] { return ScreenLines(s.console).value(0) != first; }, kPatience));
    EXPECT_EQ(ScreenText(s.console).count(QStringLiteral("load average")), 1);
    EXPECT_EQ(s.console->Screen().ScrollbackLines(), before);
    s.Type("q");
    EXPECT_TRUE(WaitUntil([&s] { return !s.shell->HasChild("top"); }, kPatience));
}

// The log and the received list go on while the console is shown; a line typed without Enter is
// logged when the console is left.
TEST(Console, ReceivedDataStillReachTheLogAndTheList)
{
    ConsoleWindow c;
    ASSERT_NE(c.console, nullptr);
    auto *hint = Find<QLabel>(c.w, "lblConsoleKeys");
    EXPECT_TRUE(hint->isVisible());
    // The console has the window's height.
    EXPECT_FALSE(Find<QWidget>(c.w, "lsvSendData")->isVisible());
    EXPECT_FALSE(Find<QWidget>(c.w, "pnlSend")->isVisible());
    ASSERT_TRUE(c.pty.Send("temp=21\r\n"));
    EXPECT_TRUE(c.ShowsLine(QStringLiteral("temp=21")));
    // The hint takes only the room the status panels leave.
    for (auto *panel : c.w.findChildren<QLabel *>(QRegularExpression("^stbComStatusPanel")))
        EXPECT_GE(panel->width(), panel->sizeHint().width()) << panel->text().toStdString();
    EXPECT_TRUE(WaitUntil([&c] { return c.received->Entries().Count() == 1; }));
    EXPECT_NE(LogText(c.w).find("Rec  :temp=21"), std::string::npos);
    // A shell's UTF-8 while the log reads Latin-1.
    ASSERT_TRUE(c.pty.Send("25\xC2\xB0"
                           "C \xE2\x9C\x93\r\n"));
    EXPECT_TRUE(c.ShowsLine(QString::fromUtf8("25\xC2\xB0"
                                              "C \xE2\x9C\x93")));
    // The window's find searches the console while it is shown.
    c.Key(Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    auto *find = Find<QLineEdit>(c.w, "edFind");
    ASSERT_TRUE(WaitUntil([find] { return find->isVisible() && find->hasFocus(); }));
    QTest::keyClicks(find, QStringLiteral("mp="));
    QTest::keyClick(find, Qt::Key_Return);
    EXPECT_EQ(c.console->SelectedText(), QStringLiteral("mp="));
    QTest::keyClick(find, Qt::Key_Escape);
    EXPECT_TRUE(c.console->hasFocus());

    c.Type("ab");
    ASSERT_TRUE(WaitUntil([&c] { return SessionOf(c.w).SendsSettled() && SessionOf(c.w).SendBytes() == 2; }));
    EXPECT_EQ(c.pty.ReceiveText(2), "ab");
    EXPECT_TRUE(LogLines(c.w, "Send :").empty());
    c.Key(Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(Find<QAction>(c.w, "mnuViewConsole")->isChecked());
    EXPECT_EQ(c.w.findChild<QStackedWidget *>(QStringLiteral("stkLogPlace"))->currentWidget()->objectName(),
              QStringLiteral("edData"));
    EXPECT_FALSE(hint->isVisible());
    EXPECT_TRUE(Find<QWidget>(c.w, "lsvSendData")->isVisible());
    EXPECT_TRUE(Find<QWidget>(c.w, "pnlSend")->isVisible());
    EXPECT_EQ(LogLines(c.w, "Send :"), std::vector<std::string>{"ab"});
}

TEST(Console, TheChoiceAndTheSettingsAreKeptPerWindow)
{
    GuiTestEnv env;
    {
        const auto first = NewMainWindow();
        const auto secondMade = NewMainWindow(2);
        QMainWindow &second = *secondMade;
        Find<QAction>(second, "mnuViewConsole")->trigger();
        ModalCatcher catcher([](QDialog *dialog) {
            Find<QComboBox>(dialog, "cboConsoleEnter")->setCurrentIndex(2);
            Find<QPushButton>(dialog, "btnOK")->click();
        });
        Find<QAction>(second, "mnuViewConsoleSettings")->trigger();
    }
    const auto firstMade = NewMainWindow();
    QMainWindow &first = *firstMade;
    const auto secondMade = NewMainWindow(2);
    QMainWindow &second = *secondMade;
    EXPECT_FALSE(Find<QAction>(first, "mnuViewConsole")->isChecked());
    EXPECT_EQ(first.findChild<TConsoleView *>(QStringLiteral("console")), nullptr);
    EXPECT_TRUE(Find<QAction>(second, "mnuViewConsole")->isChecked());
    auto *console = second.findChild<TConsoleView *>(QStringLiteral("console"));
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(second.findChild<QStackedWidget *>(QStringLiteral("stkLogPlace"))->currentWidget(), console);
    EXPECT_EQ(console->KeySettings().Enter, EConsoleEnter::CrLf);
}
