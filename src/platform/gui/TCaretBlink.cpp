#include "platform/gui/TCaretBlink.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QStyleHints>

#include <algorithm>

TCaretBlink::TCaretBlink(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &TCaretBlink::Rest);
    QCoreApplication::instance()->installEventFilter(this);
    SetTimeoutMs(m_timeoutMs);
}

TCaretBlink &TCaretBlink::Instance()
{
    // A child of the application, so it goes with it and a test's next application gets its own.
    static QPointer<TCaretBlink> instance;
    if (!instance)
        instance = new TCaretBlink(QCoreApplication::instance());
    return *instance;
}

void TCaretBlink::SetTimeoutMs(int ms)
{
    m_timeoutMs = std::max(ms, 0);
    Woken();
}

bool TCaretBlink::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::FocusIn:
    case QEvent::WindowActivate:
        Woken();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void TCaretBlink::Woken()
{
    if (m_resting) {
        m_resting = false;
        // Every edit that shows a caret restarts its blink from this.
        QGuiApplication::styleHints()->setCursorFlashTime(m_flashMs);
    }
    if (m_timeoutMs > 0)
        m_timer.start(m_timeoutMs);
    else
        m_timer.stop();
}

void TCaretBlink::Rest()
{
    QStyleHints *hints = QGuiApplication::styleHints();
    m_flashMs = hints->cursorFlashTime();
    if (m_flashMs <= 0)
        return; // the desktop wants no blinking at all
    m_resting = true;
    // Below two the edits start no blink timer and keep their caret drawn.
    hints->setCursorFlashTime(0);
}
