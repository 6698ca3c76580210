#include "data/gui/dialogsupport.h"

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "tempdir.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

struct RowButtons
{
    QWidget owner;
    QPushButton edit{&owner}, remove{&owner}, removeAll{&owner}, up{&owner}, down{&owner};

    // Edit, Delete, Delete All, Up, Down as '+' (enabled) or '-'.
    std::string For(int selected, int count)
    {
        EnableRowButtons(selected, count, &edit, &remove, &removeAll, &up, &down);
        std::string states;
        for (const QPushButton *b : {&edit, &remove, &removeAll, &up, &down})
            states += b->isEnabled() ? '+' : '-';
        return states;
    }
};

} // namespace

TEST(DialogSupport, RowButtonsFollowTheSelectionAndItsNeighbours)
{
    RowButtons buttons;
    EXPECT_EQ(buttons.For(-1, 0), "-----");
    EXPECT_EQ(buttons.For(-1, 3), "--+--");
    EXPECT_EQ(buttons.For(0, 1), "+++--") << "a lone row has nothing to swap with";
    EXPECT_EQ(buttons.For(0, 3), "+++-+");
    EXPECT_EQ(buttons.For(1, 3), "+++++");
    EXPECT_EQ(buttons.For(2, 3), "++++-");
}

TEST(DialogSupport, RowListSelectsWholeRowsAndNamesOnlyASingleSelection)
{
    QWidget owner;
    QTreeWidget *list = MakeRowList(&owner, "lsvRows", {"Name", "Content"});
    EXPECT_EQ(list->objectName(), "lsvRows");
    EXPECT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(1), "Content");
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(list->rootIsDecorated());

    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (int i = 0; i < 3; ++i)
        list->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::number(i)}));
    EXPECT_EQ(SingleSelectedRow(list), -1);
    list->topLevelItem(2)->setSelected(true);
    EXPECT_EQ(SingleSelectedRow(list), 2);
    list->topLevelItem(0)->setSelected(true);
    EXPECT_EQ(SingleSelectedRow(list), -1) << "two rows are no single row";
}

TEST(DialogSupport, RowTextKeepsEveryByteOnOneLine)
{
    const QString row = RowText(std::string("OK\r\n\xE9\t", 6));
    EXPECT_EQ(row, QString::fromUtf8("OK\u240D\u240A\u00E9\t"));
    EXPECT_FALSE(row.contains(QLatin1Char('\n')) || row.contains(QLatin1Char('\r')));
}

TEST(DialogSupport, TheListSaveDialogsAskBeforeReplacingAFile)
{
    GuiTestEnv env;
    const QString existing = env.FilePath("list.sds");
    WriteRaw(existing.toStdString(), "kept");
    int shown = 0;
    ModalCatcher catcher([&](QDialog *files) {
        if (shown++ == 0)
            TypeFileNameLater(files, existing);
        else
            files->reject();
    });
    // The catcher answers the question with neither Yes nor No: anything but Yes keeps the file.
    EXPECT_EQ(AskFilePath(nullptr, "dlgSave", true, "SendDataSetting (*.sds)|*.sds", "sds"), QString());
    ASSERT_EQ(catcher.Seen().size(), 3) << catcher.Seen().join('|').toStdString();
    EXPECT_TRUE(catcher.Seen()[1].contains("already exists"));
}

// A file dialog kept with its window does not watch its folder while hidden, so it lists what
// changed meanwhile when it is run, and what changes while it is open.
TEST(DialogSupport, AKeptFileDialogListsFilesMadeWhileItWasHidden)
{
    GuiTestEnv env;
    QWidget owner;
    QFileDialog *dialog = MakeFileDialog(&owner, "dlgLoad", false, "All Files(*)|*", "");
    dialog->setDirectory(env.FilePath(""));
    WriteRaw(env.FilePath("before.sds").toStdString(), "x");
    bool listed = false;
    ModalCatcher catcher([&](QDialog *) {
        auto *model = dialog->findChild<QFileSystemModel *>();
        auto lists = [&](const QString &name) {
            const QModelIndex folder = model->index(model->rootPath());
            for (int row = 0; row < model->rowCount(folder); ++row)
                if (model->index(row, 0, folder).data().toString() == name)
                    return true;
            return false;
        };
        listed = WaitUntil([&] { return lists("before.sds"); }, 10000);
        WriteRaw(env.FilePath("during.sds").toStdString(), "x");
        listed = listed && WaitUntil([&] { return lists("during.sds"); }, 10000);
        dialog->reject();
    });
    RunFileDialog(dialog);
    EXPECT_TRUE(listed);
}
