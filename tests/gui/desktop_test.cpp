#include "autosend/gui/TfrmAutoSendSetting.h"
#include "autosend/gui/TfrmEventEdit.h"
#include "autosend/gui/TfrmGroupRecord.h"
#include "autosend/gui/TfrmRecordTypeSelect.h"
#include "autosend/gui/TfrmSingleRecord.h"
#include "data/gui/TChecksumEdit.h"
#include "data/gui/TfrmAscTable.h"
#include "data/gui/TfrmEditSymbol.h"
#include "help/gui/THelpWindow.h"
#include "help/gui/TfrmAbout.h"
#include "help/gui/helpcontent.h"
#include "link/gui/TfrmOpenPort.h"
#include "link/gui/TfrmPortSetting.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/textfile.h"
#include "recdata/gui/TfrmCheckChecksum.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "senddata/gui/TfrmSendDataList.h"
#include "session/portsession.h"
#include "shell/TfrmMainUi.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QSvgRenderer>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "tempdir.h"

namespace {

// A manual of three pages in the test's own folder, used instead of the source tree's.
class TestManual
{
public:
    explicit TestManual(const GuiTestEnv &env) : m_dir(env.File("manual"))
    {
        QDir().mkpath(QString::fromStdString(m_dir));
        WriteFileAtomic(m_dir + "/index.html", "<h1>First steps</h1>");
        WriteFileAtomic(m_dir + "/contents.html", "<h1>Contents</h1><a href=\"autosend.html\">Auto send</a>");
        WriteFileAtomic(m_dir + "/autosend.html",
                        "<h1>Automatic sending</h1><p>Always means every time.</p>");
        OverrideManualFolder(m_dir);
    }
    ~TestManual() { OverrideManualFolder(""); }

private:
    std::string m_dir;
};

QString Name(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}

bool IsInteractive(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QLineEdit *>(w) || qobject_cast<const QTextEdit *>(w) ||
           qobject_cast<const QAbstractItemView *>(w) || qobject_cast<const QAbstractSpinBox *>(w);
}

bool IsQtPart(const QWidget *w, const QWidget *window)
{
    for (const QWidget *p = w; p && p != window; p = p->parentWidget())
        if (p->objectName().startsWith(QLatin1String("qt_")) || qobject_cast<const QHeaderView *>(p) ||
            qobject_cast<const QComboBox *>(p->parentWidget()) ||
            qobject_cast<const QAbstractSpinBox *>(p->parentWidget()) ||
            qobject_cast<const QLineEdit *>(p->parentWidget()))
            return true;
    return false;
}

// What a screen reader or a test driver would stumble over in a shown window: controls it cannot
// name, and list columns whose header text is cut.
QStringList Problems(QWidget *window)
{
    QStringList problems;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() == window && IsInteractive(w) && !IsQtPart(w, window) && Name(w).isEmpty())
            problems << window->objectName() + "/" + w->objectName() + " (" + w->metaObject()->className() +
                            ") has no accessible name";
    }
    for (QTreeView *view : window->findChildren<QTreeView *>()) {
        QHeaderView *header = view->header();
        for (int i = 0; i < header->count(); ++i) {
            const QString text = view->model()->headerData(i, Qt::Horizontal).toString();
            if (header->sectionSize(i) < header->fontMetrics().horizontalAdvance(text))
                problems << window->objectName() + "/" + view->objectName() + " cuts \"" + text + "\"";
        }
    }
    return problems;
}

} // namespace

TEST(Desktop, HelpContentOpensTheContentsAndF1ThePageOfTheWindowInFront)
{
    GuiTestEnv env;
    TestManual manual(env);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    // Beside a window near the screen's corner, the help comes up whole, pushed into that corner.
    const QRect area = w.screen()->availableGeometry();
    w.move(area.bottomRight() - QPoint(100, 100));
    ASSERT_TRUE(WaitUntil(
        [&w, area] { return w.frameGeometry().topLeft() == area.bottomRight() - QPoint(100, 100); }));
    w.findChild<QAction *>(QStringLiteral("mnuHelpContent"))->trigger();
    auto *help = w.findChild<THelpWindow *>(QStringLiteral("frmHelp"));
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(area.contains(help->frameGeometry()));
    EXPECT_EQ(help->frameGeometry().bottomRight(), area.bottomRight());
    EXPECT_EQ(help->CurrentPage(), QStringLiteral("contents.html"));
    // A plain widget would read as a filler to a screen reader, not as a window.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(help)->role(), QAccessible::Window);

    // Pages seen can be gone back and forth through; the search wraps and says when it fails.
    help->ShowPage(QStringLiteral("autosend.html"));
    Find<QToolButton>(help, "btnHelpBack")->click();
    EXPECT_EQ(help->CurrentPage(), QStringLiteral("contents.html"));
    Find<QToolButton>(help, "btnHelpForward")->click();
    EXPECT_EQ(help->CurrentPage(), QStringLiteral("autosend.html"));
    EXPECT_TRUE(help->FindText(QStringLiteral("every time")));
    EXPECT_TRUE(help->FindText(QStringLiteral("every time"))) << "wraps round to the first match";
    EXPECT_FALSE(help->FindText(QStringLiteral("nowhere in the page")));
    Find<QToolButton>(help, "btnHelpContents")->click();
    EXPECT_EQ(help->CurrentPage(), QStringLiteral("contents.html"));

    // F1 in a rule editor opens its page, in a help window that a modal editor does not block.
    TfrmSingleRecord editor(&w);
    editor.show();
    QTest::keyClick(&editor, Qt::Key_F1);
    auto *editorHelp = editor.findChild<THelpWindow *>(QStringLiteral("frmHelp"));
    ASSERT_NE(editorHelp, nullptr);
    EXPECT_EQ(editorHelp->CurrentPage(), QStringLiteral("autosend.html"));

    // F1 in the main window is Help > Content, as its menu shows.
    editor.close();
    help->ShowPage(QStringLiteral("autosend.html"));
    w.activateWindow();
    ASSERT_TRUE(WaitUntil([&w] { return w.isActiveWindow(); }));
    QTest::keyClick(&w, Qt::Key_F1);
    help = w.findChild<THelpWindow *>(QStringLiteral("frmHelp"));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->CurrentPage(), QStringLiteral("contents.html"));
    // A page the manual does not have falls back to its first page.
    EXPECT_EQ(HelpPageFor(&w), QStringLiteral("index.html"));
    EXPECT_EQ(HelpPageFor(&editor), QStringLiteral("autosend.html"));
}

TEST(Desktop, GeometryMaximisedStateAndSplitterComeBackAtTheNextStart)
{
    GuiTestEnv env;
    QList<int> split;
    QSize first;
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        w.show();
        first = w.size();
        w.resize(900, 700);
        ASSERT_TRUE(WaitUntil([&] { return w.size() == QSize(900, 700); }));
        Find<QSplitter>(w, "splitter")->setSizes({380, 150});
        split = Find<QSplitter>(w, "splitter")->sizes();
    }
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        w.show();
        EXPECT_EQ(w.size(), QSize(900, 700));
        EXPECT_EQ(Find<QSplitter>(w, "splitter")->sizes(), split);
        EXPECT_EQ(split[1], 150);
        w.showMaximized();
        ASSERT_TRUE(WaitUntil([&] { return w.isMaximized(); }));
    }
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        EXPECT_TRUE(w.windowState() & Qt::WindowMaximized);
    }

    // A store of an older version has none of these values: the first layout stands.
    env.ClearSettings();
    QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum"))
        .setValue(QStringLiteral("CurrentType"), 1);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    EXPECT_EQ(w.size(), first);
    EXPECT_FALSE(w.isMaximized());
}

TEST(Desktop, TheLogTakesTheRoomTheWindowGains)
{
    GuiTestEnv env;
    env.ClearSettings();
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    auto *log = Find<QWidget>(w, "edData");
    auto *list = Find<QWidget>(w, "lsvSendData");
    const int logBefore = log->height(), listBefore = list->height();
    w.resize(w.width(), w.height() + 400);
    ASSERT_TRUE(WaitUntil([&] { return log->height() >= logBefore + 400; })) << log->height();
    EXPECT_EQ(list->height(), listBefore);

    // The splitter still moves the line between them.
    auto *splitter = Find<QSplitter>(w, "splitter");
    const int total = splitter->sizes()[0] + splitter->sizes()[1];
    splitter->setSizes({total - 300, 300});
    EXPECT_EQ(list->height(), 300);
}

TEST(Desktop, StatusPanelsShowTheirWholeTextOrTheirValueInANarrowWindow)
{
    GuiTestEnv env;
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    // A device path as long as the stable names a USB adapter gets.
    const std::string longPath = env.File("usb-Vantrell_Bench_Adapter_A1B2C3D4-if00-port0");
    ASSERT_EQ(symlink(pty.Path().c_str(), longPath.c_str()), 0);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    Feature<TPortCommands>(w)->Open(Link("Bench", longPath));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    // Two windows fit side by side on a 1280-pixel screen once the layout has settled.
    EXPECT_TRUE(WaitUntil([&w] { return w.minimumSize().width() <= 630; })) << w.minimumSize().width();
    // At the width the window asks for once its layout has settled, every panel shows its whole text
    // but the port's, which gives way first.
    const auto allWhole = [&w] {
        for (int i = 1; i < kStatusPanelCount; ++i) {
            auto *panel =
                Find<QLabel>(w, QStringLiteral("stbComStatusPanel%1").arg(i).toLatin1().constData());
            if (panel->contentsRect().width() < panel->fontMetrics().horizontalAdvance(panel->text()))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(WaitUntil([&] {
        w.resize(w.sizeHint().width(), w.height());
        return allWhole();
    }));
    for (int i = 0; i < kStatusPanelCount; ++i) {
        auto *panel = Find<QLabel>(w, QStringLiteral("stbComStatusPanel%1").arg(i).toLatin1().constData());
        if (i > 0) {
            EXPECT_GE(panel->contentsRect().width(), panel->fontMetrics().horizontalAdvance(panel->text()))
                << panel->text().toStdString();
        }
    }
    // Each link panel says what it shows, however little of it is in sight.
    const QStringList says = {"Port: " + QString::fromStdString(longPath),
                              "Baud rate: 9600",
                              "Data bits: 8",
                              "Parity: None",
                              "Stop bits: 1",
                              "Flow control: None"};
    for (int i = 0; i < says.size(); ++i) {
        auto *panel = Find<QLabel>(w, QStringLiteral("stbComStatusPanel%1").arg(i).toLatin1().constData());
        EXPECT_EQ(Name(panel), says[i]);
        EXPECT_EQ(panel->toolTip(), says[i]);
    }
    EXPECT_TRUE(StatusPanel(w, 0).endsWith(QString::fromStdString(longPath)));

    // Narrowed, the port's panel is cut short; its whole text stays at hand.
    w.resize(630, w.height());
    QApplication::processEvents();
    auto *port = Find<QLabel>(w, "stbComStatusPanel0");
    EXPECT_LT(port->width(), port->fontMetrics().horizontalAdvance(port->text()));
    EXPECT_EQ(port->toolTip(), port->text());
    EXPECT_EQ(port->accessibleDescription(), port->text());
    Feature<TPortCommands>(w)->Close();
    // Closed, the panels may give up the room their first layout had.
    EXPECT_TRUE(WaitUntil([&w] { return w.minimumSize().width() <= 630; })) << w.minimumSize().width();
}

// The first window's size with a long stable device name, the checksum counts and a file send in
// the bar: the link's panels give way, the counts stay whole.
TEST(Desktop, TheCountsStayWholeWhenTheBarIsShortOfRoom)
{
    GuiTestEnv env;
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    std::string name = "usb-Vantrell_Bench_Adapter_";
    name += std::string(120 - name.size() - 11, '7') + "-if00-port0";
    const std::string longPath = env.File(name.c_str());
    ASSERT_EQ(symlink(pty.Path().c_str(), longPath.c_str()), 0);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    w.resize(676, w.height());
    Feature<TPortCommands>(w)->Open(Link("Bench", longPath));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    ModalCatcher answers([&env](QDialog *d) {
        if (d->objectName() == QLatin1String("frmCheckChecksum")) {
            Find<QCheckBox>(d, "chkCheckChecksum")->setChecked(true);
            Find<QPushButton>(d, "btnOK")->click();
            return;
        }
        // More than the terminal holds, and nobody reads it: the send lasts until cancelled.
        Find<QLineEdit>(d, "edFile")->setText(QString::fromStdString(env.File("big.txt")));
        Find<QComboBox>(d, "cboProtocol")->setCurrentIndex(0);
        Find<QPushButton>(d, "btnSend")->click();
    });
    Find<QAction>(w, "mnuViewCheckChecksum")->trigger();
    WriteRaw(env.File("big.txt"), std::string(1 << 20, 'x'));
    Find<QAction>(w, "mnuFileSendFile")->trigger();
    ASSERT_TRUE(SessionOf(w).TransferRunning());
    ASSERT_TRUE(pty.Send("ready\r\n"));
    ASSERT_FALSE(Find<QWidget>(w, "stbChecksumPanel")->isHidden());
    ASSERT_FALSE(Find<QWidget>(w, "pbTransfer")->isHidden());

    auto *rec = Find<QLabel>(w, "stbComStatusPanel6");
    auto *send = Find<QLabel>(w, "stbComStatusPanel7");
    const auto countsWhole = [](QLabel *panel) {
        const QString counts = panel->text().section(QStringLiteral("  - "), 0, 0);
        const QFontMetrics metrics = panel->fontMetrics();
        // A framed label indents its text by half an x.
        return panel->contentsRect().width() >=
               metrics.horizontalAdvance(counts) + metrics.horizontalAdvance(QLatin1Char('x')) / 2;
    };
    EXPECT_TRUE(WaitUntil([&] {
        return w.width() == 676 && rec->text().startsWith(QStringLiteral("Rec:7/")) &&
               send->text().startsWith(QStringLiteral("Send:")) && countsWhole(rec) && countsWhole(send);
    })) << w.width()
        << " " << rec->text().toStdString() << " " << rec->contentsRect().width() << " "
        << send->text().toStdString() << " " << send->contentsRect().width();
    // However narrow, the counters read out whole to a screen reader.
    EXPECT_TRUE(Name(rec).startsWith(QStringLiteral("Received: 7 bytes in "))) << Name(rec).toStdString();
    EXPECT_TRUE(WaitUntil([&] { return Name(send).startsWith(QStringLiteral("Sent: ")); }));
    Find<QPushButton>(w, "btnCancelTransfer")->click();
    EXPECT_TRUE(WaitUntil([&] { return !SessionOf(w).TransferRunning(); }));
}

TEST(Desktop, NoPortPathMakesTheWindowWiderThanTheScreen)
{
    GuiTestEnv env;
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    const std::string folder = env.File("");
    const std::string longPath = folder + std::string(120 - folder.size(), 'p');
    ASSERT_EQ(symlink(pty.Path().c_str(), longPath.c_str()), 0);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    Feature<TPortCommands>(w)->Open(Link("Bench", longPath));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    const int room = w.screen()->availableGeometry().width();
    // A window that takes the size it asks for, as at its first showing, stays on the screen.
    w.adjustSize();
    ASSERT_TRUE(WaitUntil([&] {
        return w.width() <= room && w.minimumWidth() <= room && w.sizeHint().width() <= room &&
               w.minimumSizeHint().width() <= room;
    })) << w.width()
        << " " << w.minimumWidth() << " " << w.sizeHint().width() << " of " << room;
    auto *port = Find<QLabel>(w, "stbComStatusPanel0");
    EXPECT_TRUE(port->text().endsWith(QString::fromStdString(longPath)));
    EXPECT_EQ(port->toolTip(), port->text());
    EXPECT_EQ(port->accessibleDescription(), port->text());
}

// Also run on screens of 1280x800 and 1024x768 (see tests/CMakeLists.txt).
TEST(Desktop, TheFirstWindowFitsTheScreenWithTheLogTheLargerPartAndEveryToolInSight)
{
    GuiTestEnv env;
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    EXPECT_TRUE(w.screen()->availableGeometry().contains(w.geometry())) << w.width() << "x" << w.height();
    EXPECT_GT(Find<QWidget>(w, "edData")->height(), 2 * Find<QWidget>(w, "lsvSendData")->height());
    EXPECT_FALSE(Find<QToolButton>(w, "qt_toolbar_ext_button")->isVisible());
    // With a port open, the counters and the line lamps show whole.
    Feature<TPortCommands>(w)->Open(Link("Bench", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    const auto whole = [](QLabel *label) {
        return label->contentsRect().width() >= label->fontMetrics().horizontalAdvance(label->text());
    };
    for (const char *name : {"stbComStatusPanel6", "stbComStatusPanel7", "lbCTS", "lbDSR", "lbDCD", "lbRI"}) {
        auto *label = Find<QLabel>(w, name);
        EXPECT_TRUE(WaitUntil([&] { return whole(label); })) << name;
    }
    // A received count keeps its panel's size while it fits and widens the panel when it outgrows it.
    auto *received = Find<QLabel>(w, "stbComStatusPanel6");
    for (const size_t size : {size_t{1}, size_t{30000}}) {
        const int64_t total = SessionOf(w).RecBytes() + static_cast<int64_t>(size);
        pty.Send(std::vector<uint8_t>(size, 'x'));
        ASSERT_TRUE(WaitUntil([&] {
            return received->text().startsWith(QStringLiteral("Rec:%1/").arg(total)) && whole(received);
        })) << received->text().toStdString();
    }
}

TEST(Desktop, EveryControlOfEveryWindowHasANameAndNoHeaderIsCut)
{
    GuiTestEnv env;
    TestManual manual(env);
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    w.show();
    TfrmRecDataList recData(&w);
    const std::vector<std::function<QDialog *()>> dialogs = {
        [&] { return new TfrmAbout(&w); },
        [&] { return new TfrmOpenPort(&w); },
        [&] { return new TfrmPortSetting(&w); },
        [&] { return new TfrmSendDataList(&w); },
        [&] { return new TfrmDataEdit(&w); },
        [&] { return new TfrmAscTable(&w, false); },
        [&] { return new TfrmEditSymbol(&w); },
        [&] { return new TfrmAutoSendSetting(&w); },
        [&] { return new TfrmRecordTypeSelect(&w); },
        [&] { return new TfrmSingleRecord(&w); },
        [&] { return new TfrmGroupRecord(&w); },
        [&] { return new TfrmEventEdit(&w); },
        [&] {
            auto *checksum = new TfrmChecksumSetting(&w);
            ST_ChecksumSpec custom;
            custom.Kind = EChecksumKind::Custom; // every field shown
            checksum->SetSpec(custom);
            return checksum;
        },
        [&] { return new TfrmCheckChecksum(&w); },
    };
    QStringList problems = Problems(&w);
    recData.show();
    problems << Problems(&recData);
    recData.hide();
    for (const auto &make : dialogs) {
        std::unique_ptr<QDialog> dialog(make());
        dialog->show();
        problems << Problems(dialog.get());
    }
    w.findChild<QAction *>(QStringLiteral("mnuHelpContent"))->trigger();
    problems << Problems(w.findChild<THelpWindow *>(QStringLiteral("frmHelp")));
    EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();

    // The icon-only toolbar buttons are named by what their tool tip says.
    EXPECT_EQ(Name(Find<QToolButton>(w, "btnStartAutoSend")), QStringLiteral("Start Auto Send"));

    // At the first window size the last buttons, Break among them, sat behind the overflow arrow,
    // which had no name; two view buttons read the same.
    auto *bar = Find<QToolBar>(w, "tbrMain");
    auto *more = Find<QToolButton>(bar, "qt_toolbar_ext_button");
    QStringList names;
    for (QToolButton *button : bar->findChildren<QToolButton *>()) {
        if (button == more)
            continue;
        EXPECT_TRUE(button->isVisible()) << button->objectName().toStdString();
        EXPECT_FALSE(names.contains(Name(button))) << Name(button).toStdString();
        names << Name(button);
    }
    EXPECT_FALSE(more->isVisible());
    EXPECT_EQ(Name(Find<QToolButton>(w, "btnDecimal")), QStringLiteral("Show in Decimal format"));
    // A larger font or another style can still need the arrow.
    EXPECT_EQ(Name(more), QStringLiteral("More tools"));
}

TEST(Desktop, TheLogoWordmarkFitsItsBox)
{
    // The About box shows the logo in its own box; a wordmark running past its right edge is cut
    // off there ("Kestrur"), so the last columns of the picture must stay empty.
    QSvgRenderer logo(QStringLiteral(":/icons/logo.svg"));
    ASSERT_TRUE(logo.isValid());
    QImage image(177, 81, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    logo.render(&painter);
    painter.end();
    for (int x = image.width() - 3; x < image.width(); ++x)
        for (int y = 0; y < image.height(); ++y)
            ASSERT_EQ(qAlpha(image.pixel(x, y)), 0) << "drawn at " << x << "," << y;
}
