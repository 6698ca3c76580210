#include "data/symboltable.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "senddata/gui/TfrmDataEdit.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class DataEditTest : public testing::Test
{
protected:
    void SetUp() override
    {
        dialog = std::make_unique<TfrmDataEdit>(nullptr);
        dialog->show();
        edSendData = dialog->findChild<QTextEdit *>("edSendData");
        edName = dialog->findChild<QLineEdit *>("edName");
        btnInsertSymbol = dialog->findChild<QPushButton *>("btnInsertSymbol");
        btnOK = dialog->findChild<QPushButton *>("btnOK");
        ASSERT_TRUE(edSendData && edName && btnInsertSymbol && btnOK);
    }
    void TearDown() override { dialog.reset(); }

    QRadioButton *Format(int format) const
    {
        return dialog->findChild<QGroupBox *>("rdgFormat")->findChildren<QRadioButton *>().at(format);
    }
    void Choose(int format) { QTest::mouseClick(Format(format), Qt::LeftButton); }
    void Type(const QString &text)
    {
        edSendData->setFocus();
        edSendData->selectAll();
        QTest::keyClicks(edSendData, text);
    }

    GuiTestEnv m_env;
    std::unique_ptr<TfrmDataEdit> dialog;
    QTextEdit *edSendData = nullptr;
    QLineEdit *edName = nullptr;
    QPushButton *btnInsertSymbol = nullptr;
    QPushButton *btnOK = nullptr;
};

} // namespace

TEST_F(DataEditTest, FormatSwitchKeepsTheBytes)
{
    Choose(FMT_HEX);
    Type("41 42");
    Choose(FMT_STRING);
    EXPECT_EQ(edSendData->toPlainText(), "AB");
    Choose(FMT_HEX);
    EXPECT_EQ(edSendData->toPlainText(), "41 42 ");
    Choose(FMT_DEC);
    EXPECT_EQ(edSendData->toPlainText(), "65 66 ");

    Type("300");
    Choose(FMT_HEX);
    EXPECT_EQ(edSendData->toPlainText(), "");
    EXPECT_EQ(dialog->Item().GetLength(), 0);
}

TEST_F(DataEditTest, LeavingHexWithBadTextIsRefused)
{
    Choose(FMT_HEX);
    Type("41 4");
    {
        ModalCatcher catcher;
        Choose(FMT_DEC);
        EXPECT_EQ(catcher.Seen(), QStringList{"Wrong data, please check"});
    }
    EXPECT_TRUE(Format(FMT_HEX)->isChecked());
    EXPECT_FALSE(Format(FMT_DEC)->isChecked());
    EXPECT_EQ(dialog->CurrentFormat(), FMT_HEX);
    EXPECT_EQ(edSendData->toPlainText(), "41 4");
    EXPECT_TRUE(btnInsertSymbol->isEnabled());

    // Fixed text leaves Hex normally.
    Type("41 0D");
    Choose(FMT_DEC);
    EXPECT_EQ(edSendData->toPlainText(), "65 13 ");
}

TEST_F(DataEditTest, SymbolFormatKeepsHiddenBytesAndRendersSymbols)
{
    CSymbolTable table;
    table.Reset();
    table.SetEntry(0x0D, ST_Symbol{true, false, "CR"});
    table.SetEntry(0x0A, ST_Symbol{true, true, ""});
    table.Save(CSymbolTable::DefaultPath());
    dialog = std::make_unique<TfrmDataEdit>(nullptr);
    dialog->show();
    edSendData = dialog->findChild<QTextEdit *>("edSendData");
    btnInsertSymbol = dialog->findChild<QPushButton *>("btnInsertSymbol");

    CCommData item{Bytes{0x41, 0x0D, 0x0A, 0x00, 0x42}, FMT_STR_SYMBOL};
    item.SetName("sym");
    dialog->SetItem(item);
    EXPECT_EQ(edSendData->toPlainText(), "ACRB");
    EXPECT_TRUE(edSendData->isReadOnly());
    EXPECT_FALSE(btnInsertSymbol->isEnabled());

    // "A" normal, "CR" navy.
    const QTextBlock block = edSendData->document()->firstBlock();
    QTextCursor cursor(block);
    cursor.setPosition(1);
    EXPECT_NE(cursor.charFormat().foreground().color(), QColor(0, 0, 0x80));
    cursor.setPosition(2);
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0, 0, 0x80));

    EXPECT_EQ(dialog->Item(), item);

    // Leaving the symbol form shows the held bytes, not the rendered text.
    Choose(FMT_HEX);
    EXPECT_EQ(edSendData->toPlainText(), "41 0D 0A 00 42 ");
    EXPECT_FALSE(edSendData->isReadOnly());
    EXPECT_TRUE(btnInsertSymbol->isEnabled());
    Choose(FMT_STR_SYMBOL);
    Choose(FMT_HEX);
    EXPECT_EQ(edSendData->toPlainText(), "41 0D 0A 00 42 ");
}

TEST_F(DataEditTest, UntouchedStringTextReadsBackItsOwnBytes)
{
    CCommData item{Bytes{0x41, 0x54, 0x0D, 0x00, 0x5A}, FMT_STRING};
    dialog->SetItem(item);
    EXPECT_EQ(dialog->Item(), item);
    Choose(FMT_HEX);
    EXPECT_EQ(edSendData->toPlainText(), "41 54 0D 00 5A ");

    // Typed text is taken as typed; a CR the edit shows survives the text round trip.
    Choose(FMT_HEX);
    Type("41 0D 42");
    Choose(FMT_STRING);
    QTest::keyClick(edSendData, Qt::Key_End);
    QTest::keyClicks(edSendData, "C");
    EXPECT_EQ(dialog->Item().Data(), Bytes({0x41, 0x0D, 0x42, 0x43}));
}

TEST_F(DataEditTest, InsertSymbolPicksARowFromTheTable)
{
    auto insertRow = [this](int row) {
        ModalCatcher catcher([row](QDialog *table) {
            auto *list = table->findChild<QTreeWidget *>("lsvAscTable");
            auto *insert = table->findChild<QPushButton *>("btnOK");
            ASSERT_TRUE(list && insert);
            EXPECT_EQ(insert->text(), "&Insert");
            list->setCurrentItem(list->topLevelItem(row));
            QTest::mouseClick(insert, Qt::LeftButton);
        });
        QTest::mouseClick(btnInsertSymbol, Qt::LeftButton);
        EXPECT_EQ(catcher.Seen(), QStringList{"frmAscTable"});
    };

    Choose(FMT_HEX);
    Type("41 ");
    insertRow(13);
    EXPECT_EQ(edSendData->toPlainText(), "41 0D ");

    Choose(FMT_DEC);
    EXPECT_EQ(edSendData->toPlainText(), "65 13 ");
    QTest::keyClick(edSendData, Qt::Key_End);
    insertRow(72);
    EXPECT_EQ(edSendData->toPlainText(), "65 13 72 ");

    Choose(FMT_STRING);
    QTest::keyClick(edSendData, Qt::Key_Home);
    insertRow(0);
    insertRow(65);
    EXPECT_EQ(dialog->Item().Data(), Bytes({0x41, 0x41, 0x0D, 0x48}));
}

TEST_F(DataEditTest, AQuotedNameOrDataThatDoesNotParseKeepsTheDialogOpen)
{
    CCommData item{Bytes{1, 2}, FMT_DEC};
    item.SetName("old");
    dialog->SetItem(item);
    EXPECT_EQ(edSendData->toPlainText(), "1 2 ");
    edName->setText("a\"b");
    {
        ModalCatcher catcher;
        QTest::mouseClick(btnOK, Qt::LeftButton);
        EXPECT_EQ(catcher.Seen(), QStringList{"Wrong Name. There are should no \" in name"});
    }
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    edName->setText("a, b");
    QTest::mouseClick(btnOK, Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const CCommData back = dialog->Item();
    EXPECT_EQ(back.GetName(), "a, b");
    EXPECT_EQ(back.GetFormat(), FMT_DEC);
    EXPECT_EQ(back.Data(), Bytes({1, 2}));

    // Text that does not parse would be kept as an item without bytes.
    dialog->show();
    for (const char *bad : {"1 256", "1,,2"}) {
        Type(bad);
        ModalCatcher catcher;
        QTest::mouseClick(btnOK, Qt::LeftButton);
        EXPECT_EQ(catcher.Seen(), QStringList{"Wrong data, please check"}) << bad;
        EXPECT_TRUE(dialog->isVisible()) << bad;
        EXPECT_EQ(edSendData->toPlainText(), bad);
    }

    dialog->SetItem(item, true);
    EXPECT_FALSE(edName->isEnabled());
    EXPECT_TRUE(edName->isReadOnly());
}

// Only the bytes typed around change: every byte value, CR LF, a lone CR and a lone LF survive
// an edit elsewhere and the format switch after it; Enter breaks the line with CR LF.
TEST_F(DataEditTest, EditingStringTextChangesOnlyTheTypedBytes)
{
    Bytes all{'A', 0x0D, 0x0A, 'B', 0x0D, 'C', 0x0A, 'D', 0x0D, 0x0D, 0x0A, 0x0A};
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<uint8_t>(b));
    dialog->SetItem(CCommData(all, FMT_STRING));
    edSendData->setFocus();
    QTest::keyClick(edSendData, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(edSendData, "x");
    Bytes expected = all;
    expected.push_back('x');
    EXPECT_EQ(dialog->Item().Data(), expected);

    QTest::keyClick(edSendData, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(edSendData, Qt::Key_Right);
    QTest::keyClick(edSendData, Qt::Key_Return);
    QTest::keyClick(edSendData, Qt::Key_Delete);
    expected.erase(expected.begin() + 1, expected.begin() + 3);
    expected.insert(expected.begin() + 1, {0x0D, 0x0A});
    EXPECT_EQ(dialog->Item().Data(), expected) << "Enter gave CR LF; Delete took the shown line break";

    Choose(FMT_HEX);
    EXPECT_EQ(dialog->Item().Data(), expected);
    Choose(FMT_STRING);
    QTest::keyClick(edSendData, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(edSendData, Qt::Key_Backspace);
    expected.pop_back();
    EXPECT_EQ(dialog->Item().Data(), expected);
}
