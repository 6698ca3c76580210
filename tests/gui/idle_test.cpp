// A focused window with nothing arriving sleeps once its caret stops blinking: no timer of the
// window runs then, in the text, hex and console views, with a capture, a script, the dark theme,
// a zoom and reconnecting in use. A key wakes the caret again.
#include "mainwindow/features/TScriptCommands.h"
#include "platform/gui/TAppTheme.h"
#include "platform/gui/TCaretBlink.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QSet>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "guiwait.h"
#include "guiwidgets.h"
#include "guiwindow.h"
#include "tempdir.h"

namespace {

QString Describe(const QObject *o)
{
    QString d = QString::fromLatin1(o->metaObject()->className()) + QLatin1Char(' ') + o->objectName();
    if (const auto *t = qobject_cast<const QTimer *>(o))
        d += QStringLiteral(" every %1 ms").arg(t->interval());
    if (o->parent())
        d += QStringLiteral(" in ") + Describe(o->parent());
    return d;
}

// The objects under `roots` that hold a timer: QTimers, and Qt's own that are none (a caret's).
QStringList RunningTimers(const QList<QObject *> &roots)
{
    QStringList running;
    const QAbstractEventDispatcher *dispatcher = QAbstractEventDispatcher::instance();
    for (QObject *root : roots) {
        QList<QObject *> all = root->findChildren<QObject *>();
        all.prepend(root);
        for (const QObject *o : all)
            if (!dispatcher->registeredTimers(const_cast<QObject *>(o)).isEmpty())
                running << Describe(o);
    }
    return running;
}

// Every timer that fires, on any object, while it lives: also those of no object's tree.
class CTimerEvents : public QObject
{
public:
    CTimerEvents()
    {
        m_since.start();
        qApp->installEventFilter(this);
    }
    // Those of the last `ms`; none while the process sleeps.
    QStringList FiredWithin(qint64 ms) const
    {
        QStringList recent;
        for (const auto &[at, name] : m_fired)
            if (at >= m_since.elapsed() - ms)
                recent << name;
        return recent;
    }
    bool QuietFor(qint64 ms) const { return m_since.elapsed() >= ms && FiredWithin(ms).isEmpty(); }
    void Restart()
    {
        m_fired.clear();
        m_since.restart();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            m_fired.emplace_back(m_since.elapsed(), Describe(watched));
        return false;
    }

private:
    QElapsedTimer m_since;
    std::vector<std::pair<qint64, QString>> m_fired;
};

// Longer than a caret's blink and than any look of the window's at something that may change.
constexpr qint64 kQuietMs = 1200;

enum class EView { Text, Hex, Console };

} // namespace

TEST(Idle, AFocusedWindowRunsNoTimerOnceItsCaretRests)
{
    TempDir dir;
    const std::string script = dir.File("wait.lua");
    WriteRaw(script, "expect('never sent')");
    for (EView view : {EView::Text, EView::Hex, EView::Console}) {
        SCOPED_TRACE(static_cast<int>(view));
        COpenWindow c([](GuiTestEnv &) {
            QSettings(QStringLiteral("Vantrell"), QStringLiteral("Kestrum"))
                .setValue(QStringLiteral("CaretBlinkTimeout"), 300);
        });
        QMainWindow &w = *c.w;
        {
            ModalCatcher dialog([&](QDialog *d) {
                Find<QLineEdit>(d, "edCaptureFile")->setText(c.env.FilePath("capture.log"));
                Find<QRadioButton>(d, "rdCaptureText")->setChecked(true);
                d->accept();
            });
            Find<QAction>(w, "mnuFileCapture")->trigger();
        }
        Find<QAction>(w, "mnuOpReconnect")->trigger();
        Find<QAction>(w, "mnuViewThemeDark")->trigger();
        Find<QAction>(w, "mnuViewZoomIn")->trigger();
        if (view == EView::Hex)
            Find<QAction>(w, "mnuViewHex")->trigger();
        if (view == EView::Console)
            Find<QAction>(w, "mnuViewConsole")->trigger();
        ASSERT_TRUE(w.findChild<TScriptCommands *>()->Run(QString::fromStdString(script)));
        w.show();
        QApplication::setActiveWindow(&w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
        QWidget *typing = QApplication::focusWidget();
        ASSERT_NE(typing, nullptr);
        EXPECT_EQ(typing->objectName(), view == EView::Console ? "console" : "edSendItem");
        c.pty.Send("traffic before the rest\r\n");
        QTest::keyClick(typing, Qt::Key_A);
        ASSERT_FALSE(TCaretBlink::Instance().Resting());

        const QList<QObject *> roots = {&w, qApp};
        QStringList running;
        CTimerEvents fired;
        const bool slept = WaitUntil(
            [&] {
                if (!TCaretBlink::Instance().Resting()) {
                    fired.Restart();
                    return false;
                }
                running = RunningTimers(roots) + fired.FiredWithin(kQuietMs);
                return running.isEmpty() && fired.QuietFor(kQuietMs);
            },
            10000);
        EXPECT_TRUE(slept) << running.join(QLatin1String(", ")).toStdString();

        // The next key shows the caret blinking again.
        QTest::keyClick(typing, Qt::Key_B);
        EXPECT_FALSE(TCaretBlink::Instance().Resting());
        if (view != EView::Console) {
            EXPECT_FALSE(RunningTimers({typing}).isEmpty());
        }
        Find<QAction>(w, "mnuOpStopScript")->trigger();
        EXPECT_TRUE(WaitUntil([&] { return !w.findChild<TScriptCommands *>()->Running(); }));
        TAppTheme::Instance().SetTheme(EAppTheme::System);
    }
}
