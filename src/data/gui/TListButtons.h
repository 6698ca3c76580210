#pragma once
// The button column of the dialogs that edit a list (rules, a group's items, the send list, the
// links, the ASCII table, the received list): the buttons are made here with the names, captions
// and tab order each dialog gives, and the commands that only move rows about (Delete, Delete All,
// Up, Down) are carried out here for a single-selection list, the dialog only changing its data.
#include <QObject>
#include <QString>
#include <functional>
#include <initializer_list>
#include <vector>

class QBoxLayout;
class QHBoxLayout;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;
class QWidget;

enum class EListRole {
    None, // the dialog's own command
    Edit,
    Delete,
    DeleteAll,
    Up,
    Down,
};

struct ST_ListButton
{
    QPushButton **Button;
    QString Caption;
    const char *Name;
    EListRole Role = EListRole::None;
};

class TListButtons : public QObject
{
    Q_OBJECT

public:
    // Makes the buttons in the order given, which is their tab order. With `autoDefault` a button
    // becomes the default one while it has the focus, as a plain QPushButton in a dialog does.
    TListButtons(QWidget *dialog, std::initializer_list<ST_ListButton> buttons, bool autoDefault);

    // A column, or a row, of the buttons in the order given (all of them, in tab order, when none
    // is given); a null entry is a stretch.
    QVBoxLayout *Column(std::initializer_list<QPushButton *> order = {}) const;
    QHBoxLayout *Row(std::initializer_list<QPushButton *> order = {}) const;

    // The list the row commands work on and the dialog's part of each: the data changes and the
    // rows are drawn again; the selection and `changed` (the dialog's button states) follow here.
    // A role without its part is left to the dialog.
    struct ST_Rows
    {
        std::function<void(int row, int other)> Swap;
        std::function<void(int row)> Remove;
        std::function<void()> RemoveAll;
        std::function<void()> Changed;
    };
    void SetRows(QTreeWidget *list, ST_Rows rows);

    // The role buttons' states from the list's selection (EnableRowButtons).
    void UpdateStates() const;

private:
    void Fill(QBoxLayout *box, std::initializer_list<QPushButton *> order) const;
    void Move(int by);
    void Delete();
    void DeleteAll();
    QPushButton *Role(EListRole role) const;

    struct ST_Made
    {
        QPushButton *Button;
        EListRole Role;
    };
    std::vector<ST_Made> m_buttons;
    QTreeWidget *m_list = nullptr;
    ST_Rows m_rows;
};
