#pragma once
// Named places in the window's menus and tool bar where features put their commands. The shell
// declares the slots once, in the layout of its menus; a feature adds to a slot by name with a
// rank, and the items of a slot stand in rank order whatever order the features were made in. A
// slot with a separator shows it only once it holds an item.
#include <QObject>
#include <QString>
#include <map>
#include <vector>

class QAction;
class QMenu;
class QWidget;

class TMenuSlots : public QObject
{
    Q_OBJECT
public:
    explicit TMenuSlots(QObject *parent = nullptr);

    // Declares `name` in `container` (a QMenu or a QToolBar) before `before`, or at its end.
    void Declare(const QString &name, QWidget *container, QAction *before = nullptr, bool separator = false);
    // Items of equal rank stand in the order they were added.
    void Add(const QString &slot, QAction *action, int rank = 0);
    // A new action owned by `owner`, named `name` for the tests and the screen reader, added.
    QAction *AddNew(const QString &slot, QObject *owner, const char *name, const QString &text, int rank = 0,
                    bool checkable = false);
    // A submenu; returns its menu action.
    QAction *AddMenu(const QString &slot, QMenu *menu, int rank = 0);
    // A widget on a tool bar slot (a tool button); returns the action that stands for it.
    QAction *AddWidget(const QString &slot, QWidget *widget, int rank = 0);

private:
    struct ST_Slot
    {
        QWidget *Container = nullptr;
        QAction *End = nullptr;       // an invisible mark after the slot's last item
        QAction *Separator = nullptr; // shown once the slot has an item
        std::vector<std::pair<int, QAction *>> Items;
    };
    ST_Slot &Find(const QString &name);
    // The item an item of `rank` goes before, and the noting of it there.
    static QAction *Before(ST_Slot &slot, int rank);
    static void Note(ST_Slot &slot, int rank, QAction *action);

    std::map<QString, ST_Slot> m_slots;
};

// The slots the main window declares.
namespace MenuSlot {
inline const QString FileTools = QStringLiteral("file.tools");       // before the separator above Exit
inline const QString ViewReceived = QStringLiteral("view.received"); // after Show SendData
inline const QString ViewWindows = QStringLiteral("view.windows");   // at the end of View
inline const QString ViewLook = QStringLiteral("view.look");         // after the windows
inline const QString EditFind = QStringLiteral("edit.find");         // at the end of Edit
inline const QString OperateSend = QStringLiteral("operate.send");   // after Send and Go Next
inline const QString OperateLines = QStringLiteral("operate.lines"); // at the end of Operate
inline const QString OperateReconnect = QStringLiteral("operate.reconnect"); // after the lines
inline const QString OperateScripts = QStringLiteral("operate.scripts");     // at the end of Operate
inline const QString ToolbarLines = QStringLiteral("toolbar.lines");         // at the end of the tool bar
} // namespace MenuSlot
