#include "data/gui/windowpolish.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPointer>
#include <QTreeView>

namespace {

// The layout below `root` that places `widget` itself.
QLayout *LayoutHolding(QLayout *root, QWidget *widget)
{
    if (!root)
        return nullptr;
    if (root->indexOf(widget) >= 0)
        return root;
    for (int i = 0; i < root->count(); ++i)
        if (QLayout *found = LayoutHolding(root->itemAt(i)->layout(), widget))
            return found;
    return nullptr;
}

// The label, or the radio button or check box, that stands just before `widget` in its layout.
QWidget *LabelBefore(QWidget *widget)
{
    QWidget *parent = widget->parentWidget();
    QLayout *layout = parent ? LayoutHolding(parent->layout(), widget) : nullptr;
    if (!layout)
        return nullptr;
    if (auto *form = qobject_cast<QFormLayout *>(layout))
        return form->labelForField(widget);
    const int index = layout->indexOf(widget);
    if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
        int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        QLayoutItem *left = column > 0 ? grid->itemAtPosition(row, column - 1) : nullptr;
        return left ? left->widget() : nullptr;
    }
    QLayoutItem *before = index > 0 ? layout->itemAt(index - 1) : nullptr;
    return before ? before->widget() : nullptr;
}

QString LabelText(QWidget *widget)
{
    if (auto *label = qobject_cast<QLabel *>(widget))
        return label->text();
    if (auto *button = qobject_cast<QAbstractButton *>(widget); button && button->isCheckable())
        return button->text();
    return QString();
}

QString CleanLabel(QString text)
{
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}

// Qt's own parts of a compound control (a combo box's edit, a scroll area's viewport) are named
// through the control that holds them.
bool IsInnerPart(const QWidget *widget)
{
    const QWidget *parent = widget->parentWidget();
    return widget->objectName().startsWith(QLatin1String("qt_")) ||
           qobject_cast<const QHeaderView *>(widget) || qobject_cast<const QComboBox *>(parent) ||
           qobject_cast<const QAbstractSpinBox *>(parent) || qobject_cast<const QLineEdit *>(parent);
}

void FillAccessibleName(QWidget *widget)
{
    if (!widget->accessibleName().isEmpty() || IsInnerPart(widget) || qobject_cast<QLabel *>(widget))
        return;
    // A button's caption or a buddy label already reads as the name, and follows later changes.
    if (QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget))
        if (!face->text(QAccessible::Name).isEmpty())
            return;
    QString name = widget->toolTip();
    if (name.isEmpty())
        if (QWidget *before = LabelBefore(widget)) {
            name = CleanLabel(LabelText(before));
            if (auto *label = qobject_cast<QLabel *>(before); label && !label->buddy())
                label->setBuddy(widget);
        }
    // A list with no label of its own is what its window shows.
    if (name.isEmpty() && qobject_cast<QAbstractItemView *>(widget))
        name = widget->window()->windowTitle();
    if (!name.isEmpty())
        widget->setAccessibleName(name);
}

void FitHeaderTexts(QTreeView *view)
{
    QHeaderView *header = view->header();
    if (!header || header->isHidden())
        return;
    for (int i = 0; i < header->count(); ++i) {
        const int needed = header->sectionSizeHint(i);
        if (!header->isSectionHidden(i) && header->sectionSize(i) < needed)
            header->resizeSection(i, needed);
    }
}

// Wider headers can grow a fixed-size dialog after it was placed over its owner: centre it again.
void KeepCentred(QWidget *window, QSize placed)
{
    QWidget *owner = window->parentWidget();
    if (!owner || !qobject_cast<QDialog *>(window))
        return;
    if (QLayout *layout = window->layout())
        layout->activate();
    if (window->size() == placed)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(owner->window()->frameGeometry().center());
    window->move(frame.topLeft());
}

class CWindowPolish : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto *widget = static_cast<QWidget *>(watched);
            const Qt::WindowType type = widget->windowType();
            if (widget->isWindow() && (type == Qt::Window || type == Qt::Dialog)) {
                const QSize placed = widget->size();
                PolishWindow(widget);
                KeepCentred(widget, placed);
            }
        }
        return false;
    }
};

} // namespace

void PolishWindow(QWidget *window)
{
    for (QWidget *widget : window->findChildren<QWidget *>())
        FillAccessibleName(widget);
    for (QTreeView *view : window->findChildren<QTreeView *>())
        FitHeaderTexts(view);
}

void InstallWindowPolish()
{
    static QPointer<CWindowPolish> installed;
    if (installed || !qApp)
        return;
    installed = new CWindowPolish(qApp);
    qApp->installEventFilter(installed);
}
