// The demo board in a window, as a user meets it: opened from the Open Port dialog, used through
// the console, and files sent and received with the window's own transfer dialogs.
#include "console/gui/TConsoleView.h"
#include "demo/demodevices.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "tempdir.h"

namespace {

// The boot alone takes seconds; a loaded machine stretches them.
constexpr int kPatience = 60'000;
const QString kPrompt = QStringLiteral("root@demo:~#");

struct BoardWindow
{
    GuiTestEnv env;
    std::unique_ptr<QMainWindow> w;
    TConsoleView *console = nullptr;

    BoardWindow()
    {
        demo::InstallDemoPorts();
        w = NewMainWindow();
        w->resize(900, 700);
        w->show();
        ModalCatcher catcher([](QDialog *dialog) {
            auto *demos = Find<QListWidget>(dialog, "lstDemoDevices");
            const QList<QListWidgetItem *> board =
                demos->findItems(QStringLiteral("Demo board (simulated)"), Qt::MatchExactly);
            if (board.size() != 1) {
                dialog->reject();
                return;
            }
            demos->setCurrentItem(board.first());
            QTest::keyClick(demos, Qt::Key_Return);
        });
        Find<QAction>(*w, "mnuOpOpenPort")->trigger();
        EXPECT_EQ(catcher.Seen(), QStringList{QStringLiteral("frmOpenPort")});
        Find<QAction>(*w, "mnuViewConsole")->trigger();
        console = Find<TConsoleView>(*w, "console");
    }

    // The console's rows as shown, without trailing blanks; the top row first.
    QStringList Lines() const
    {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(console);
        QAccessibleTextInterface *text = face ? face->textInterface() : nullptr;
        QStringList lines =
            text ? text->text(0, text->characterCount()).split(QLatin1Char('\n')) : QStringList();
        for (QString &line : lines)
            while (line.endsWith(QLatin1Char(' ')))
                line.chop(1);
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }
    bool Shows(const QString &text)
    {
        return WaitUntil([&] { return Lines().join(QLatin1Char('\n')).contains(text); }, kPatience);
    }
    bool ShowsLine(const QString &line)
    {
        return WaitUntil([&] { return Lines().contains(line); }, kPatience);
    }
    // The last rows are these: what a command printed, then the prompt it came back to.
    bool EndsWith(const QStringList &rows)
    {
        return WaitUntil([&] { return Lines().mid(Lines().size() - rows.size()) == rows; }, kPatience);
    }
    void Type(const QString &text) { QTest::keyClicks(console, text); }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(console, key, modifiers);
    }
    void Enter(const QString &line)
    {
        Type(line);
        Key(Qt::Key_Return);
    }
    bool LogIn()
    {
        if (!console || !ShowsLine(QStringLiteral("demo login:")))
            return false;
        Enter(QStringLiteral("root"));
        return EndsWith({kPrompt});
    }
    // No transfer runs: the transfer commands are offered again.
    bool TransferEnded()
    {
        return WaitUntil([&] { return Find<QAction>(*w, "mnuFileSendFile")->isEnabled(); }, kPatience);
    }
    // The size `ls -l` on the board gives for `name`, or -1; on a cleared screen, so that only
    // this listing is read.
    long long BoardSize(const QString &name)
    {
        Enter(QStringLiteral("clear"));
        if (!WaitUntil([&] { return Lines() == QStringList{kPrompt}; }, kPatience))
            return -1;
        Enter(QStringLiteral("ls -l"));
        if (!WaitUntil([&] { return Lines().size() > 2 && Lines().last() == kPrompt; }, kPatience))
            return -1;
        for (const QString &line : Lines())
            if (line.endsWith(QLatin1Char(' ') + name))
                return line.section(QLatin1Char(' '), -2, -2, QString::SectionSkipEmpty).toLongLong();
        return -1;
    }
};

// Answers the transfer dialog that opens with `protocol`, the file or folder, and its start button.
ModalCatcher Answer(const char *protocol, const char *field, const std::string &path, const char *button)
{
    return ModalCatcher([=](QDialog *dialog) {
        auto *choice = Find<QComboBox>(dialog, "cboProtocol");
        choice->setCurrentIndex(choice->findText(QString::fromLatin1(protocol)));
        Find<QLineEdit>(dialog, field)->setText(QString::fromStdString(path));
        Find<QPushButton>(dialog, button)->click();
    });
}

} // namespace

TEST(DemoBoardWindow, BootsToALoginAndItsShellAnswersTheConsole)
{
    BoardWindow b;
    ASSERT_NE(b.console, nullptr);
    ASSERT_TRUE(b.Shows(QStringLiteral("Hit any key to stop autoboot: 3")));
    // Left alone it boots: the kernel's log, then the login.
    ASSERT_TRUE(b.ShowsLine(QStringLiteral("demo login:")));
    EXPECT_TRUE(b.Shows(QStringLiteral("Run /sbin/init as init process")));
    ASSERT_TRUE(b.LogIn());

    b.Type(QStringLiteral("upt"));
    b.Key(Qt::Key_Tab);
    EXPECT_TRUE(b.ShowsLine(kPrompt + QStringLiteral(" uptime")));
    b.Key(Qt::Key_Return);
    EXPECT_TRUE(b.EndsWith({kPrompt}));
    EXPECT_TRUE(b.Lines().value(b.Lines().size() - 2).contains(QStringLiteral(" up ")))
        << b.Lines().join('\n').toStdString();

    // Full screen, redrawn in place: the header stays on the top row as the clock in it moves.
    b.Enter(QStringLiteral("top"));
    ASSERT_TRUE(
        WaitUntil([&] { return b.Lines().value(0).startsWith(QStringLiteral("top - ")); }, kPatience));
    const QString first = b.Lines().value(0);
    EXPECT_TRUE(WaitUntil(
        [&] {
            const QStringList rows = b.Lines();
            return rows.value(0).startsWith(QStringLiteral("top - ")) && rows.value(0) != first &&
                   rows.filter(QStringLiteral("PID USER")).size() == 1;
        },
        kPatience))
        << b.Lines().join('\n').toStdString();
    b.Type(QStringLiteral("q"));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const QStringList rows = b.Lines();
            return rows.filter(QStringLiteral("top - ")).isEmpty() && rows.value(rows.size() - 1) == kPrompt;
        },
        kPatience))
        << b.Lines().join('\n').toStdString();

    // Ctrl+C ends a stream: what follows the next command's output is only the prompt, though the
    // stream would have put lines there many times over.
    b.Enter(QStringLiteral("stream 200"));
    ASSERT_TRUE(b.Shows(QStringLiteral("temp:")));
    b.Key(Qt::Key_C, Qt::ControlModifier);
    b.Enter(QStringLiteral("echo stream stopped"));
    ASSERT_TRUE(b.EndsWith({QStringLiteral("stream stopped"), kPrompt}));
    b.Enter(QStringLiteral("uname"));
    EXPECT_TRUE(b.EndsWith({kPrompt + QStringLiteral(" uname"), QStringLiteral("Linux"), kPrompt}))
        << b.Lines().join('\n').toStdString();
}

TEST(DemoBoardWindow, FilesCrossBothWaysWithZmodem)
{
    BoardWindow b;
    ASSERT_TRUE(b.LogIn());

    // rz on the board: the window offers Send File with ZMODEM by itself.
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "line " + std::to_string(i) + " of the file the window sent\n";
    const std::string source = b.env.File("sent.txt");
    WriteRaw(source, text);
    {
        ModalCatcher catcher = Answer("ZMODEM", "edFile", source, "btnSend");
        b.Enter(QStringLiteral("rz"));
        ASSERT_TRUE(b.EndsWith({QStringLiteral("rz: received sent.txt"), kPrompt}));
        EXPECT_EQ(catcher.Seen(), QStringList{QStringLiteral("frmSendFile")});
    }
    ASSERT_TRUE(b.TransferEnded());
    EXPECT_EQ(b.BoardSize(QStringLiteral("sent.txt")), static_cast<long long>(text.size()));
    b.Enter(QStringLiteral("cat sent.txt"));
    EXPECT_TRUE(b.EndsWith({QStringLiteral("line 99 of the file the window sent"), kPrompt}));

    // sz on the board, with the window told not to start transfers itself: its start is data
    // until the user starts Receive File with ZMODEM.
    Find<QAction>(*b.w, "mnuFileZmodemAuto")->trigger();
    b.Enter(QStringLiteral("sz readme.txt"));
    ASSERT_TRUE(b.Shows(QStringLiteral("B00000000000000")));
    const std::string inbox = b.env.File("in");
    mkdir(inbox.c_str(), 0700);
    {
        ModalCatcher catcher = Answer("ZMODEM", "edFolder", inbox, "btnReceive");
        Find<QAction>(*b.w, "mnuFileReceiveFile")->trigger();
        EXPECT_EQ(catcher.Seen(), QStringList{QStringLiteral("frmReceiveFile")});
    }
    ASSERT_TRUE(b.TransferEnded());
    // The prompt follows the transfer's end at once.
    ASSERT_TRUE(WaitUntil([&] { return b.Lines().last().startsWith(kPrompt); }, kPatience));
    const std::string got = ReadRaw(inbox + "/readme.txt");
    EXPECT_EQ(b.BoardSize(QStringLiteral("readme.txt")), static_cast<long long>(got.size()));
    b.Enter(QStringLiteral("cat readme.txt"));
    QStringList lines = QString::fromStdString(got).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.takeLast(), QString()) << got;
    EXPECT_TRUE(b.EndsWith(lines + QStringList{kPrompt})) << got;
}

TEST(DemoBoardWindow, LoadyAtTheBootloaderTakesTheFileSentWithYmodem)
{
    BoardWindow b;
    ASSERT_TRUE(b.Shows(QStringLiteral("Hit any key to stop autoboot")));
    b.Type(QStringLiteral(" "));
    ASSERT_TRUE(b.EndsWith({QStringLiteral("=>")}));
    b.Enter(QStringLiteral("loady"));
    ASSERT_TRUE(b.Shows(QStringLiteral("## Ready for binary (ymodem) download to 0x82000000")));

    // Neither a whole number of blocks nor text.
    std::string image(3000, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 + i / 253);
    const std::string source = b.env.File("image.bin");
    WriteRaw(source, image);
    {
        ModalCatcher catcher = Answer("YMODEM", "edFile", source, "btnSend");
        Find<QAction>(*b.w, "mnuFileSendFile")->trigger();
        EXPECT_EQ(catcher.Seen(), QStringList{QStringLiteral("frmSendFile")});
    }
    ASSERT_TRUE(b.TransferEnded());
    EXPECT_TRUE(
        b.EndsWith({QString::asprintf("## Total Size = 0x%08zx = %zu Bytes", image.size(), image.size()),
                    QStringLiteral("=>")}))
        << b.Lines().join('\n').toStdString();
}
