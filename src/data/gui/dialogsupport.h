#pragma once
// Small pieces the dialogs share: named widgets, the OK/Cancel row and row lists they are built
// from, the glyph a byte is shown with, the error box a failed command ends in, file dialogs built
// from the filter strings of the list files, and writing an item with its symbols into a text edit.
#include "data/commdata.h"
#include "data/symboltable.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <string>

class QFileDialog;
class QHBoxLayout;
class QPushButton;
class QTextCursor;
class QToolButton;
class QTextCharFormat;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

template <typename T> T *Named(T *widget, const char *name)
{
    widget->setObjectName(name);
    return widget;
}

// A button that does not become the default one while it has the focus, so Enter keeps its
// meaning in dialogs with many buttons.
QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption);

// A flat tool button with a text, whose tooltip is also its accessible name.
QToolButton *MakeToolButton(QWidget *parent, const char *name, const QString &text, const QString &tip);

// Creates `btnOK` ("&OK", the default button) and `btnCancel` ("&Cancel") and returns the row
// that shows them at its right end.
QHBoxLayout *MakeOkCancelRow(QWidget *dialog, QPushButton *&ok, QPushButton *&cancel);
QHBoxLayout *RightAlignedRow(QPushButton *first, QPushButton *second);

// A flat list whose rows are selected whole and never edited in place.
QTreeWidget *MakeRowList(QWidget *parent, const char *name, const QStringList &headers);
// The one selected row, or -1 when none or several are.
int SingleSelectedRow(const QTreeWidget *list);
// Edit and Delete need a selected row, Delete All any row, Up and Down a neighbour to swap with; a
// dialog without one of them passes null.
void EnableRowButtons(int selected, int count, QPushButton *edit, QPushButton *remove, QPushButton *removeAll,
                      QPushButton *up, QPushButton *down);

// The character a byte value stands for in the table views: the old terminal glyphs for the
// control codes (so each row shows something), Latin-1 above; nothing for 0x00.
QString ByteGlyph(uint8_t value);

// 8-bit text is shown as Latin-1, one character per byte.
QString FromLatin1(const std::string &text);
std::string ToLatin1(const QString &text);
// A list row is one line: line breaks in the data are shown as the visible CR and LF signs
// rather than breaking the row into several lines.
QString RowText(const std::string &text);
// The three columns every item list shows: name, format name and the item in its own format.
void SetItemRow(QTreeWidgetItem *row, const CCommData &item);

QColor ToQColor(uint32_t windowsColor);

// The box a file or number error ends a command with.
void ShowErrorBox(QWidget *parent, const std::exception &error);

// A plain message with an OK button.
void ShowMessage(QWidget *parent, const QString &text);

// Where a dialog for the user's own files (a saved log, a capture) starts: the documents folder
// when it exists, else the home folder. Never the app folder, whose first log file on offer would
// be the diagnostic log.
QString UserFilesFolder();

// `filter` lists descriptions and patterns as "Desc (*.x)|*.x|Other(*.y)|*.y". A save dialog asks
// before it replaces an existing file.
QFileDialog *MakeFileDialog(QWidget *parent, const QString &objectName, bool save, const QString &filter,
                            const QString &defaultSuffix);
// Shows the dialog modally; the chosen path, or the empty text when cancelled.
QString RunFileDialog(QFileDialog *dialog);
// A file dialog made, shown and disposed of for one question.
QString AskFilePath(QWidget *parent, const QString &objectName, bool save, const QString &filter,
                    const QString &defaultSuffix);

// Writes the bytes one piece at a time at the cursor: a shown symbol as its string in `symbol`,
// a hidden one not at all, any other byte as its character in the cursor's own format.
void WriteSymbolText(QTextCursor &cursor, const CCommData &item, const CSymbolTable &table,
                     const QTextCharFormat &symbol);
