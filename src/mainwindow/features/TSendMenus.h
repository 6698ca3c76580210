#pragma once
// Operate > Line Ending and Operate > Send Format: the instant send's line ending and format
// reachable from the menu bar. Each submenu stands for its list beside the send box, item for
// item; a choice in either shows in the other.
#include <QObject>

class QComboBox;
class QMenu;
class QWidget;
class TMenuSlots;

class TSendMenus : public QObject
{
    Q_OBJECT
public:
    TSendMenus(QWidget *window, TMenuSlots &menus, QComboBox *format, QComboBox *lineEnding);

private:
    struct ST_Item
    {
        const char *Name;
        QString Text;
    };
    QMenu *Mirror(QWidget *window, TMenuSlots &menus, const char *name, const QString &title, QComboBox *list,
                  const std::initializer_list<ST_Item> &items);
};
