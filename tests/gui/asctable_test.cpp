#include "data/gui/TfrmAscTable.h"
#include "data/gui/TfrmEditSymbol.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "platform/textfile.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// Clicks a check box or radio button on its indicator, where a user would.
void Toggle(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

std::vector<std::string> SymFileLines()
{
    std::vector<std::string> lines;
    EXPECT_TRUE(ReadTextLines(CSymbolTable::DefaultPath(), lines));
    return lines;
}

class AscTableTest : public testing::Test
{
protected:
    void TearDown() override { dialog.reset(); }

    void Open(bool insertMode)
    {
        dialog = std::make_unique<TfrmAscTable>(nullptr, insertMode);
        dialog->show();
        list = dialog->findChild<QTreeWidget *>("lsvAscTable");
        ASSERT_NE(list, nullptr);
    }
    void Click(const char *name)
    {
        QTest::mouseClick(dialog->findChild<QPushButton *>(name), Qt::LeftButton);
    }
    void Select(int row) { list->setCurrentItem(list->topLevelItem(row)); }

    GuiTestEnv m_env;
    std::unique_ptr<TfrmAscTable> dialog;
    QTreeWidget *list = nullptr;
};

} // namespace

TEST_F(AscTableTest, EveryCloseWritesTheTable)
{
    Open(false);
    ASSERT_EQ(list->topLevelItemCount(), 128);
    EXPECT_EQ(list->topLevelItem(65)->text(0), "65");
    EXPECT_EQ(list->topLevelItem(65)->text(1), "41");
    EXPECT_EQ(list->topLevelItem(65)->text(2), "A");
    EXPECT_EQ(list->topLevelItem(0)->text(2), "");
    EXPECT_EQ(dialog->findChild<QPushButton *>("btnOK")->text(), "&OK");
    // Without a file the control characters start under their standard names.
    EXPECT_EQ(list->topLevelItem(0)->text(3), "<NUL>");
    EXPECT_EQ(list->topLevelItem(13)->text(3), "<CR>");
    EXPECT_EQ(list->topLevelItem(31)->text(3), "<US>");
    EXPECT_EQ(list->topLevelItem(127)->text(3), "<DEL>");
    for (int i = 32; i < 127; ++i)
        EXPECT_EQ(list->topLevelItem(i)->text(3), "");
    dialog->close();
    std::vector<std::string> lines = SymFileLines();
    ASSERT_EQ(lines.size(), 128u);
    EXPECT_EQ(lines[10], "1,0,\"<LF>\"");
    EXPECT_EQ(lines[65], "0,1,\"\"");

    // A file saved empty rules as it is. Symbol edits survive Cancel.
    CSymbolTable empty;
    empty.Save(CSymbolTable::DefaultPath());
    Open(false);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(list->topLevelItem(i)->text(3), "");
    Select(13);
    {
        ModalCatcher editCr([](QDialog *editor) {
            auto *use = editor->findChild<QCheckBox *>("chkUseSymbol");
            auto *asString = editor->findChild<QRadioButton *>("rdShowAsString");
            auto *text = editor->findChild<QLineEdit *>("edString");
            ASSERT_TRUE(use && asString && text);
            EXPECT_EQ(editor->findChild<QLabel *>("lbHexValue")->text(), "0D");
            EXPECT_FALSE(text->isEnabled());
            Toggle(use);
            Toggle(asString);
            EXPECT_TRUE(text->isEnabled());
            text->setText("CR");
            QTest::mouseClick(editor->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        });
        Click("btnEditSymbol");
        EXPECT_EQ(editCr.Seen(), QStringList{"frmEditSymbol"});
    }
    EXPECT_EQ(list->topLevelItem(13)->text(3), "CR");
    Click("btnCancel");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(SymFileLines().at(13), "1,0,\"CR\"");

    // A hidden byte shows nothing in the Symbol column; the next opening reads the file back.
    Open(false);
    EXPECT_EQ(list->topLevelItem(13)->text(3), "CR");
    Select(10);
    ModalCatcher hide([](QDialog *editor) {
        auto *use = editor->findChild<QCheckBox *>("chkUseSymbol");
        ASSERT_NE(use, nullptr);
        Toggle(use);
        EXPECT_TRUE(editor->findChild<QRadioButton *>("rdShowNothing")->isChecked());
        QTest::mouseClick(editor->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    });
    const QPoint row10 = list->visualItemRect(list->topLevelItem(10)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row10);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row10);
    EXPECT_EQ(list->topLevelItem(10)->text(3), "");
    EXPECT_TRUE(dialog->Table().IsSymbol(10));
    dialog->close();
    EXPECT_EQ(SymFileLines().at(10), "1,1,\"\"");
}

TEST_F(AscTableTest, InsertModePicksTheSelectedRow)
{
    Open(true);
    EXPECT_EQ(dialog->findChild<QPushButton *>("btnOK")->text(), "&Insert");
    Select(65);
    Click("btnOK");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->PickedValue(), 65);

    Open(true);
    Click("btnOK");
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->PickedValue(), 0);
}

TEST_F(AscTableTest, LoadAndSaveAs)
{
    Open(false);
    const QString shortFile = m_env.FilePath("short.sym");
    std::vector<std::string> lines(100, "1,0,\"X\"");
    WriteTextLines(shortFile.toStdString(), lines);
    {
        ModalCatcher catcher([&](QDialog *files) { TypeFileName(files, shortFile); });
        Click("btnLoad");
        EXPECT_EQ(catcher.Seen(), QStringList{"dlgLoad"});
    }
    EXPECT_EQ(list->topLevelItem(5)->text(3), "<ENQ>") << "a short file leaves the table as it was";

    const QString full = m_env.FilePath("full.sym");
    lines.resize(128, "0,1,\"\"");
    lines[66] = "1,0,\"a, \"\"b\"\"\"";
    WriteTextLines(full.toStdString(), lines);
    {
        ModalCatcher catcher([&](QDialog *files) { TypeFileName(files, full); });
        Click("btnLoad");
    }
    EXPECT_EQ(list->topLevelItem(5)->text(3), "X");
    EXPECT_EQ(list->topLevelItem(66)->text(3), "a, \"b\"");
    EXPECT_EQ(list->topLevelItem(127)->text(3), "");

    const QString copy = m_env.FilePath("copy");
    {
        ModalCatcher catcher([&](QDialog *files) { TypeFileName(files, copy); });
        Click("btnSaveAs");
        EXPECT_EQ(catcher.Seen(), QStringList{"dlgSave"});
    }
    CSymbolTable back;
    back.Reset();
    ASSERT_TRUE(back.Load((copy + ".sym").toStdString()));
    EXPECT_EQ(back, dialog->Table());
}

TEST(EditSymbolTest, ControlsFollowTheEntry)
{
    TfrmEditSymbol editor(nullptr);
    editor.show();
    auto *use = editor.findChild<QCheckBox *>("chkUseSymbol");
    auto *nothing = editor.findChild<QRadioButton *>("rdShowNothing");
    auto *asString = editor.findChild<QRadioButton *>("rdShowAsString");
    auto *text = editor.findChild<QLineEdit *>("edString");
    ASSERT_TRUE(use && nothing && asString && text);

    editor.SetByteValue(0x41);
    EXPECT_EQ(editor.findChild<QLabel *>("lbChar")->text(), "A");
    EXPECT_EQ(editor.findChild<QLabel *>("lbHexValue")->text(), "41");

    editor.LoadEntry(ST_Symbol{true, false, "ESC"});
    EXPECT_TRUE(nothing->isEnabled());
    EXPECT_TRUE(text->isEnabled());
    EXPECT_EQ(text->text(), "ESC");
    Toggle(nothing);
    EXPECT_FALSE(text->isEnabled());
    Toggle(use);
    EXPECT_FALSE(nothing->isEnabled());
    EXPECT_FALSE(asString->isEnabled());
    // The string stays even while its edit is off.
    EXPECT_EQ(editor.StoreEntry(), (ST_Symbol{false, true, "ESC"}));
}
