#include "data/gui/dialogsupport.h"

#include "platform/gui/coretext.h"
#include "platform/gui/startnotices.h"

#include "platform/appfolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QToolButton>
#include <QTreeWidget>

namespace {

// Code page 437 glyphs for 0x01-0x1F.
const char16_t kControlGlyphs[32] = {0,      0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022,
                                     0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640, 0x266A, 0x266B, 0x263C,
                                     0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8,
                                     0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

} // namespace

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = Named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    return button;
}

QToolButton *MakeToolButton(QWidget *parent, const char *name, const QString &text, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setAutoRaise(true);
    return button;
}

QHBoxLayout *MakeOkCancelRow(QWidget *dialog, QPushButton *&ok, QPushButton *&cancel)
{
    ok = Named(new QPushButton(QCoreApplication::translate("Dialog", "&OK"), dialog), "btnOK");
    ok->setDefault(true);
    cancel = Named(new QPushButton(QCoreApplication::translate("Dialog", "&Cancel"), dialog), "btnCancel");
    return RightAlignedRow(ok, cancel);
}

QHBoxLayout *RightAlignedRow(QPushButton *first, QPushButton *second)
{
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(first);
    row->addWidget(second);
    return row;
}

QTreeWidget *MakeRowList(QWidget *parent, const char *name, const QStringList &headers)
{
    auto *list = Named(new QTreeWidget(parent), name);
    list->setRootIsDecorated(false);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setHeaderLabels(headers);
    return list;
}

int SingleSelectedRow(const QTreeWidget *list)
{
    const QList<QTreeWidgetItem *> selected = list->selectedItems();
    return selected.size() == 1 ? list->indexOfTopLevelItem(selected.front()) : -1;
}

void EnableRowButtons(int selected, int count, QPushButton *edit, QPushButton *remove, QPushButton *removeAll,
                      QPushButton *up, QPushButton *down)
{
    const auto enable = [](QPushButton *button, bool on) {
        if (button)
            button->setEnabled(on);
    };
    enable(edit, selected >= 0);
    enable(remove, selected >= 0);
    enable(removeAll, count > 0);
    enable(up, selected > 0 && count >= 2);
    enable(down, selected >= 0 && selected < count - 1 && count >= 2);
}

QString ByteGlyph(uint8_t value)
{
    if (value == 0)
        return QString();
    if (value < 0x20)
        return QString(QChar(kControlGlyphs[value]));
    if (value == 0x7F)
        return QString(QChar(0x2302));
    return QString(QChar(value));
}

QString FromLatin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString RowText(const std::string &text)
{
    QString row = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    for (QChar &c : row)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            c = QChar(0x2400 + c.unicode());
    return row;
}

void SetItemRow(QTreeWidgetItem *row, const CCommData &item)
{
    row->setText(0, FromLatin1(item.GetName()));
    row->setText(1, FromLatin1(CCommData::FormatName(item.GetFormat())));
    row->setText(2, RowText(item.ToText()));
}

std::string ToLatin1(const QString &text)
{
    return text.toLatin1().toStdString();
}

QColor ToQColor(uint32_t windowsColor)
{
    return QColor(windowsColor & 0xFF, (windowsColor >> 8) & 0xFF, (windowsColor >> 16) & 0xFF);
}

namespace {
QString BoxTitle()
{
    const QString name = QApplication::applicationName();
    return name.isEmpty() ? QString("Kestrum") : name;
}
} // namespace

void ShowErrorBox(QWidget *parent, const std::exception &error)
{
    TellProblem(parent, CoreErrorText(error));
}

void ShowMessage(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, BoxTitle(), text, QMessageBox::Ok, parent);
    box.exec();
}

QString UserFilesFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

namespace {

// A file dialog kept hidden with its window would go on watching its folder, and the app folder
// changes every few seconds while blocks arrive (the received list's file): each change had every
// such dialog list the folder again and read the head of each file in it on the GUI thread.
void WatchFolder(QFileDialog *dialog, bool watch)
{
    if (auto *model = dialog->findChild<QFileSystemModel *>())
        model->setOption(QFileSystemModel::DontWatchForChanges, !watch);
}

} // namespace

QFileDialog *MakeFileDialog(QWidget *parent, const QString &objectName, bool save, const QString &filter,
                            const QString &defaultSuffix)
{
    auto *dialog = new QFileDialog(parent);
    dialog->setObjectName(objectName);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList parts = filter.split('|');
    QStringList names;
    for (int i = 0; i < parts.size(); i += 2)
        names << parts[i];
    dialog->setNameFilters(names);
    dialog->setDefaultSuffix(defaultSuffix);
    dialog->setDirectory(QString::fromStdString(AppFolder()));
    WatchFolder(dialog, false);
    return dialog;
}

QString RunFileDialog(QFileDialog *dialog)
{
    WatchFolder(dialog, true);
    // The folder is read again: what changed while the dialog was hidden went unseen.
    const QString folder = dialog->directory().absolutePath();
    dialog->setDirectory(QDir::rootPath());
    dialog->setDirectory(folder);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    WatchFolder(dialog, false);
    return accepted ? dialog->selectedFiles().value(0) : QString();
}

QString AskFilePath(QWidget *parent, const QString &objectName, bool save, const QString &filter,
                    const QString &defaultSuffix)
{
    QFileDialog *dialog = MakeFileDialog(parent, objectName, save, filter, defaultSuffix);
    const QString path = RunFileDialog(dialog);
    dialog->deleteLater();
    return path;
}

void WriteSymbolText(QTextCursor &cursor, const CCommData &item, const CSymbolTable &table,
                     const QTextCharFormat &symbol)
{
    const QTextCharFormat normal = cursor.charFormat();
    for (uint8_t b : item.Data()) {
        std::string text;
        if (table.Lookup(b, text)) {
            if (!text.empty())
                cursor.insertText(FromLatin1(text), symbol);
        } else if (b != 0) {
            cursor.insertText(QString(QChar(b)), normal);
        }
    }
    cursor.setCharFormat(normal);
}
