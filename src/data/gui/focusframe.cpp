#include "data/gui/focusframe.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPointer>
#include <QToolButton>

namespace {

// Drawn over its control, which it follows in size; the mouse goes through it.
class CFocusFrame : public QWidget
{
public:
    explicit CFocusFrame(QWidget *control) : QWidget(control)
    {
        setObjectName(QStringLiteral("qt_focusframe_overlay"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(control->rect());
        control->installEventFilter(this);
        raise();
        show();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QPen pen(parentWidget()->palette().color(QPalette::Active, QPalette::Highlight), 2);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

class CFocusFrames : public QObject
{
public:
    explicit CFocusFrames(QObject *parent) : QObject(parent)
    {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { Follow(now); });
    }

private:
    void Follow(QWidget *now)
    {
        const bool show =
            now && TakesFocusFrame(now) && now->window()->testAttribute(Qt::WA_KeyboardFocusChange);
        if (m_frame && (!show || m_frame->parentWidget() != now))
            delete m_frame;
        if (show && !m_frame)
            m_frame = new CFocusFrame(now);
    }

    QPointer<CFocusFrame> m_frame;
};

} // namespace

bool TakesFocusFrame(const QWidget *widget)
{
    if (widget->window()->windowType() == Qt::Popup)
        return false;
    return qobject_cast<const QToolButton *>(widget) || qobject_cast<const QAbstractScrollArea *>(widget);
}

void InstallFocusFrames()
{
    static QPointer<CFocusFrames> installed;
    if (installed || !qApp)
        return;
    installed = new CFocusFrames(qApp);
}
