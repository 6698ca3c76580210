// The console view on its own: what keys send, the chords that stay the window's, what it paints,
// what assistive tools read, and pasting.
#include "console/gui/TConsoleView.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <gtest/gtest.h>

#include "guiwait.h"

namespace {

struct ConsoleSetup
{
    ConsoleSetup()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(&edit);
        layout->addWidget(&view);
        window.resize(640, 400);
        QObject::connect(&view, &TConsoleView::ToDevice,
                         [this](const std::vector<uint8_t> &bytes, bool typed) {
                             (typed ? sent : answered).append(bytes.begin(), bytes.end());
                             ++signals_;
                         });
        window.show();
        view.setFocus();
        EXPECT_TRUE(WaitUntil([this] { return view.hasFocus(); }));
    }
    void Feed(const std::string &bytes)
    {
        view.Feed(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::string Take()
    {
        std::string out;
        out.swap(sent);
        return out;
    }

    QWidget window;
    QLineEdit edit{&window};
    TConsoleView view{&window};
    std::string sent, answered;
    int signals_ = 0;
};

} // namespace

TEST(ConsoleView, KeysGoToTheDeviceAndNotToTheWindowsShortcuts)
{
    ConsoleSetup c;
    int finds = 0;
    auto *find = new QShortcut(QKeySequence(QStringLiteral("Ctrl+F")), &c.window);
    QObject::connect(find, &QShortcut::activated, [&finds] { ++finds; });

    QTest::keyClicks(&c.view, QStringLiteral("ls"));
    EXPECT_EQ(c.Take(), "ls");
    QTest::keyClick(&c.view, Qt::Key_Return);
    EXPECT_EQ(c.Take(), "\r");
    QTest::keyClick(&c.view, Qt::Key_Tab);
    EXPECT_EQ(c.Take(), "\t");
    EXPECT_TRUE(c.view.hasFocus());
    QTest::keyClick(&c.view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(c.Take(), "\x03");
    QTest::keyClick(&c.view, Qt::Key_Backspace);
    EXPECT_EQ(c.Take(), "\x7f");
    QTest::keyClick(&c.view, Qt::Key_F1);
    EXPECT_EQ(c.Take(), "\x1bOP");
    QTest::keyClick(&c.view, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(c.Take(), "\x06");
    EXPECT_EQ(finds, 0);

    // Arrows follow the cursor mode the device sets.
    QTest::keyClick(&c.view, Qt::Key_Up);
    EXPECT_EQ(c.Take(), "\x1b[A");
    c.Feed("\x1b[?1h");
    QTest::keyClick(&c.view, Qt::Key_Up);
    EXPECT_EQ(c.Take(), "\x1bOA");
    QTest::keyClick(&c.view, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(c.Take(), "\x1b[1;5A");

    // The chords stay the window's and send nothing.
    QSignalSpy leave(&c.view, &TConsoleView::LeaveAsked), findAsked(&c.view, &TConsoleView::FindAsked);
    QTest::keyClick(&c.view, Qt::Key_T, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&c.view, Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(leave.count(), 1);
    EXPECT_EQ(findAsked.count(), 1);
    EXPECT_EQ(c.Take(), "");

    // Elsewhere in the window the shortcut works: the console is what keeps it away.
    c.edit.setFocus();
    ASSERT_TRUE(WaitUntil([&c] { return c.edit.hasFocus(); }));
    QTest::keyClick(&c.edit, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(finds, 1);
}

TEST(ConsoleView, ScreenIsPaintedAndReadAndAnswersGoBack)
{
    ConsoleSetup c;
    ASSERT_GT(c.view.Rows(), 5);
    EXPECT_EQ(c.view.Screen().Rows(), c.view.Rows());
    EXPECT_EQ(c.view.Screen().Cols(), c.view.Cols());

    c.Feed("hello\r\n\x1b[41m  \x1b[0m world\x1b[6n");
    EXPECT_EQ(c.answered, "\x1b[2;9R");
    EXPECT_EQ(c.sent, "");

    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&c.view);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::Terminal);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Console"));
    QAccessibleTextInterface *text = iface->textInterface();
    ASSERT_NE(text, nullptr);
    QStringList rows;
    for (int row = 0; row < c.view.Screen().Rows(); ++row)
        rows << QString::fromStdString(c.view.Screen().RowText(row));
    const QString all = text->text(0, text->characterCount());
    EXPECT_EQ(all, rows.join(QLatin1Char('\n')));
    EXPECT_TRUE(all.startsWith(QStringLiteral("hello\n   world\n")));
    // The caret is the cursor, and its line is the one under it.
    EXPECT_EQ(text->cursorPosition(), 6 + 8);
    int start = 0, end = 0;
    EXPECT_EQ(text->textAtOffset(text->cursorPosition(), QAccessible::LineBoundary, &start, &end),
              QStringLiteral("   world"));

    // The red cells are painted red, the others in the palette's base colour.
    const QFontMetricsF fm(c.view.font());
    const QImage image = c.view.viewport()->grab().toImage();
    const int y = static_cast<int>(fm.height() * 1.5);
    EXPECT_EQ(image.pixelColor(static_cast<int>(fm.horizontalAdvance('M') * 0.5), y), QColor(205, 0, 0));
    EXPECT_EQ(image.pixelColor(static_cast<int>(fm.horizontalAdvance('M') * 30.5), y),
              c.view.palette().color(QPalette::Base));

    // Once drawn, nothing runs until something changes.
    EXPECT_TRUE(WaitUntil([&c] {
        for (const QTimer *t : c.view.findChildren<QTimer *>())
            if (t->isActive())
                return false;
        return true;
    }));
}

TEST(ConsoleView, CopyFindAndPaste)
{
    ConsoleSetup c;
    for (int i = 0; i < 100; ++i)
        c.Feed("line " + std::to_string(i) + "\r\n");
    ASSERT_GT(c.view.Screen().ScrollbackLines(), 0u);
    // Found in the scrollback, which the view then shows.
    ASSERT_TRUE(c.view.Find(QStringLiteral("LINE 42"), false, false));
    EXPECT_EQ(c.view.SelectedText(), QStringLiteral("line 42"));
    EXPECT_LT(c.view.verticalScrollBar()->value(), c.view.verticalScrollBar()->maximum());
    EXPECT_FALSE(c.view.Find(QStringLiteral("LINE 42"), true, true));
    QTest::keyClick(&c.view, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("line 42"));
    EXPECT_EQ(c.Take(), "");

    // Several lines are pasted only when the user agrees; with delays, a character at a time.
    QApplication::clipboard()->setText(QStringLiteral("ab\ncd\n"));
    c.view.SetPasteDelays(1, 3);
    ModalCatcher catcher;
    const int before = c.signals_;
    QTest::keyClick(&c.view, Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(WaitUntil([&c] { return c.sent.size() == 6; }));
    EXPECT_EQ(c.Take(), "ab\rcd\r");
    EXPECT_EQ(c.signals_ - before, 6);
    EXPECT_EQ(catcher.Seen().size(), 1);
}

// The mouse selects here as in the log: Shift+click extends, a double click takes a word, a triple
// click the line, and a drag held below the view keeps scrolling while the mouse rests.
TEST(ConsoleView, MouseSelectsAsInTheLog)
{
    ConsoleSetup c;
    for (int i = 0; i < 100; ++i)
        c.Feed("line " + std::to_string(i) + " of many\r\n");
    QScrollBar *bar = c.view.verticalScrollBar();
    ASSERT_TRUE(WaitUntil([bar] { return bar->maximum() > 0; })); // the next frame shows the scrollback
    bar->setValue(0);
    QFont font = c.view.font();
    font.setKerning(false);
    const QFontMetricsF fm(font);
    const qreal cw = fm.horizontalAdvance(QLatin1Char('M'));
    const int ch = static_cast<int>(std::ceil(fm.height()));
    const auto at = [&](int row, int col) {
        return QPoint(static_cast<int>((col + 0.5) * cw), row * ch + ch / 2);
    };
    QWidget *vp = c.view.viewport();

    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, at(0, 5));
    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, at(1, 4));
    EXPECT_EQ(c.view.SelectedText().toStdString(), "0 of many\nline");

    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, at(2, 8));
    QTest::mouseDClick(vp, Qt::LeftButton, Qt::NoModifier, at(2, 8));
    EXPECT_EQ(c.view.SelectedText().toStdString(), "of");
    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, at(2, 8));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, at(2, 8));
    EXPECT_EQ(c.view.SelectedText().toStdString(), "line 2 of many");

    QTest::mousePress(vp, Qt::LeftButton, Qt::NoModifier, at(0, 0));
    const QPoint below(10, vp->height() + 10);
    QTest::mouseMove(vp, below);
    EXPECT_TRUE(WaitUntil([bar] { return bar->value() >= 3; }));
    QTest::mouseRelease(vp, Qt::LeftButton, Qt::NoModifier, below);
    const QStringList lines = c.view.SelectedText().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.front().toStdString(), "line 0 of many");
    EXPECT_GT(lines.size(), c.view.Rows());
}
