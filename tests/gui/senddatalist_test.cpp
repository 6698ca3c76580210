#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "platform/textfile.h"
#include "senddata/gui/TfrmSendDataList.h"
#include "senddata/senddatalist.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

CCommData Item(const char *name, Bytes bytes, DATA_FORMAT format)
{
    CCommData item{std::move(bytes), format};
    item.SetName(name);
    return item;
}

class SendDataListTest : public testing::Test
{
protected:
    void TearDown() override { dialog.reset(); }

    void WriteDefault(const std::vector<CCommData> &items)
    {
        CSendDataList list;
        for (const CCommData &item : items)
            list.Append(item);
        list.Save(CSendDataList::DefaultPath());
    }
    void Open()
    {
        dialog = std::make_unique<TfrmSendDataList>(nullptr);
        dialog->show();
        list = dialog->findChild<QTreeWidget *>("lsvSendData");
        ASSERT_NE(list, nullptr);
    }
    QPushButton *Button(const char *name) const { return dialog->findChild<QPushButton *>(name); }
    void Click(const char *name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
    int SelectedRow() const
    {
        const auto selected = list->selectedItems();
        return selected.size() == 1 ? list->indexOfTopLevelItem(selected.first()) : -1;
    }
    QString Cell(int row, int column) const { return list->topLevelItem(row)->text(column); }

    GuiTestEnv m_env;
    std::unique_ptr<TfrmSendDataList> dialog;
    QTreeWidget *list = nullptr;
};

} // namespace

TEST_F(SendDataListTest, NewEntryAndOkWriteTheDefaultFile)
{
    Open();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    for (const char *name : {"btnEdit", "btnDelete", "btnDeleteAll", "btnUp", "btnDown"})
        EXPECT_FALSE(Button(name)->isEnabled()) << name;

    {
        ModalCatcher catcher([](QDialog *editor) {
            EXPECT_EQ(editor->objectName(), "frmDataEdit");
            QTest::mouseClick(editor->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        });
        Click("btnNew");
    }
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(Cell(0, 0), "NoName");
    EXPECT_EQ(Cell(0, 1), "String");
    EXPECT_EQ(Cell(0, 2), "");
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_TRUE(Button("btnDeleteAll")->isEnabled());
    EXPECT_FALSE(FileExists(CSendDataList::DefaultPath()));

    Click("btnOK");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    std::string content;
    ASSERT_TRUE(ReadWholeFile(CSendDataList::DefaultPath(), content));
    EXPECT_EQ(content, "\"NoName\",String,\"\"\r\n");
}

TEST_F(SendDataListTest, CancelAfterDeleteAllLeavesTheFile)
{
    WriteDefault({Item("a", {0x0A, 0x0B}, FMT_DEC), Item("b", {0x41}, FMT_STRING)});
    std::string before;
    ASSERT_TRUE(ReadWholeFile(CSendDataList::DefaultPath(), before));
    Open();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(Cell(0, 1), "Dec");
    EXPECT_EQ(Cell(0, 2), "10 11 ");
    EXPECT_EQ(SelectedRow(), 1);

    Click("btnDeleteAll");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(Button("btnDeleteAll")->isEnabled());
    Click("btnCancel");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    std::string after;
    ASSERT_TRUE(ReadWholeFile(CSendDataList::DefaultPath(), after));
    EXPECT_EQ(after, before);

    // The emptied list written by OK is an empty file.
    Open();
    Click("btnDeleteAll");
    Click("btnOK");
    ASSERT_TRUE(ReadWholeFile(CSendDataList::DefaultPath(), after));
    EXPECT_EQ(after, "");
}

TEST_F(SendDataListTest, UpDownEnablingAndMoves)
{
    WriteDefault({Item("one", {1}, FMT_HEX)});
    Open();
    ClickRow(list, 0);
    EXPECT_FALSE(Button("btnUp")->isEnabled());
    EXPECT_FALSE(Button("btnDown")->isEnabled());

    WriteDefault({Item("one", {1}, FMT_HEX), Item("two", {2}, FMT_HEX), Item("three", {3}, FMT_HEX)});
    Open();
    ClickRow(list, 0);
    EXPECT_FALSE(Button("btnUp")->isEnabled());
    EXPECT_TRUE(Button("btnDown")->isEnabled());
    ClickRow(list, 2);
    EXPECT_TRUE(Button("btnUp")->isEnabled());
    EXPECT_FALSE(Button("btnDown")->isEnabled());

    ClickRow(list, 1);
    Click("btnDown");
    EXPECT_EQ(Cell(2, 0), "two");
    EXPECT_EQ(Cell(1, 0), "three");
    EXPECT_EQ(SelectedRow(), 2);
    EXPECT_EQ(dialog->At(2).Data(), Bytes({2}));
    Click("btnUp");
    Click("btnUp");
    EXPECT_EQ(SelectedRow(), 0);
    EXPECT_EQ(Cell(0, 0), "two");
    EXPECT_FALSE(Button("btnUp")->isEnabled());

    // Delete keeps a row selected: the same place, or the new last row.
    Click("btnDelete");
    EXPECT_EQ(Cell(0, 0), "one");
    EXPECT_EQ(SelectedRow(), 0);
    ClickRow(list, 1);
    Click("btnDelete");
    EXPECT_EQ(SelectedRow(), 0);
    Click("btnDelete");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(Button("btnDelete")->isEnabled());
    EXPECT_FALSE(Button("btnEdit")->isEnabled());
}

TEST_F(SendDataListTest, EditReplacesInPlaceAndLoadReadsTextFiles)
{
    WriteDefault({Item("a", {0x41}, FMT_STRING), Item("b", {0x42}, FMT_STRING)});
    Open();
    ClickRow(list, 0);
    {
        ModalCatcher catcher([](QDialog *editor) {
            auto *name = editor->findChild<QLineEdit *>("edName");
            ASSERT_NE(name, nullptr);
            EXPECT_TRUE(name->isEnabled());
            name->setText("first, renamed");
            QTest::mouseClick(editor->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        });
        Click("btnEdit");
    }
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(Cell(0, 0), "first, renamed");
    EXPECT_EQ(dialog->At(0).Data(), Bytes({0x41}));
    EXPECT_EQ(SelectedRow(), 0);

    const QString text = m_env.FilePath("LIST.TxT");
    WriteFileAtomic(text.toStdString(), "AT\r\n\r\n");
    {
        ModalCatcher catcher([&](QDialog *files) { TypeFileName(files, text); });
        Click("btnLoad");
        EXPECT_EQ(catcher.Seen(), QStringList{"dlgLoad"});
    }
    ASSERT_EQ(dialog->Count(), 2);
    EXPECT_EQ(Cell(0, 0), "LN1");
    EXPECT_EQ(dialog->At(0).Data(), Bytes({0x41, 0x54}));
    EXPECT_EQ(Cell(1, 0), "LN2");
    EXPECT_EQ(SelectedRow(), 1);

    const QString saved = m_env.FilePath("saved.sds");
    {
        ModalCatcher catcher([&](QDialog *files) { TypeFileName(files, saved); });
        Click("btnSaveAs");
        EXPECT_EQ(catcher.Seen(), QStringList{"dlgSave"});
    }
    std::string content;
    ASSERT_TRUE(ReadWholeFile(saved.toStdString(), content));
    EXPECT_EQ(content, "\"LN1\",String,\"41 54 \"\r\n\"LN2\",String,\"\"\r\n");
    std::string defaultFile;
    ASSERT_TRUE(ReadWholeFile(CSendDataList::DefaultPath(), defaultFile));
    EXPECT_EQ(defaultFile, "\"a\",String,\"41 \"\r\n\"b\",String,\"42 \"\r\n");
}
