#include "data/gui/textkeys.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTextEdit>

namespace {

class CTabKeys : public QObject
{
public:
    explicit CTabKeys(QTextEdit *edit) : QObject(edit), m_edit(edit) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_edit || event->type() != QEvent::KeyPress)
            return false;
        const auto *press = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers mods = press->modifiers() & ~Qt::KeypadModifier;
        const int key = press->key();
        if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && (mods & Qt::ControlModifier)) {
            // A text edit would type Ctrl+Tab as a TAB; it leaves the edit as Tab does.
            const bool back = key == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
            QKeyEvent tab(QEvent::KeyPress, back ? Qt::Key_Backtab : Qt::Key_Tab,
                          back ? Qt::ShiftModifier : Qt::NoModifier);
            QCoreApplication::sendEvent(m_edit, &tab);
            return true;
        }
        if (key == Qt::Key_I && mods == Qt::ControlModifier) {
            if (!m_edit->isReadOnly())
                m_edit->textCursor().insertText(QStringLiteral("\t"));
            return true;
        }
        return false;
    }

private:
    QTextEdit *m_edit;
};

} // namespace

void TypeTabWithCtrlI(QTextEdit *edit)
{
    edit->setTabChangesFocus(true);
    edit->installEventFilter(new CTabKeys(edit));
}
