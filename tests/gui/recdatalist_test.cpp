#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "platform/textfile.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "senddata/senddatalist.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

namespace {

bool FileHoldsTheList(const TfrmRecDataList &window)
{
    const QTemporaryDir dir;
    const std::string expected = dir.filePath(QStringLiteral("expected")).toStdString();
    window.Entries().Save(expected);
    std::string content;
    std::string wanted;
    return ReadWholeFile(CRecDataList::FilePath(), content) && ReadWholeFile(expected, wanted) &&
           content == wanted;
}

CCommData Block(std::initializer_list<uint8_t> bytes, const std::string &name)
{
    CCommData item{Bytes(bytes)};
    item.SetName(name);
    return item;
}

class RecDataListTest : public testing::Test
{
protected:
    void SetUp() override { Open(); }
    void TearDown() override { window.reset(); }

    void Open()
    {
        window = std::make_unique<TfrmRecDataList>(nullptr);
        window->show();
        list = window->findChild<QTreeView *>("lsvRecData");
        ASSERT_NE(list, nullptr);
    }
    QPushButton *Button(const char *name) const { return window->findChild<QPushButton *>(name); }
    void Click(const char *name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
    int Rows() const { return list->model()->rowCount(); }
    std::vector<int> Selected() const
    {
        std::vector<int> rows;
        for (int i = 0; i < Rows(); ++i)
            if (list->selectionModel()->isRowSelected(i))
                rows.push_back(i);
        return rows;
    }
    void Select(int row)
    {
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QString Cell(int row, int column) const { return list->model()->index(row, column).data().toString(); }

    GuiTestEnv m_env;
    std::unique_ptr<TfrmRecDataList> window;
    QTreeView *list = nullptr;
};

} // namespace

// A new row never joins the user's selection, shown or hidden, so Delete takes only what the
// user picked.
TEST_F(RecDataListTest, NewBlocksNeverJoinTheSelection)
{
    window->AddRecData(Block({0x41}, "10:00:00"));
    window->AddRecData(Block({0x42}, "10:00:01"));
    window->AddRecData(Block({0x43, 0x0A}, "10:00:02"));
    ASSERT_EQ(Rows(), 3);
    EXPECT_EQ(Cell(2, 0), "10:00:02");
    EXPECT_EQ(Cell(2, 1), "Hex");
    EXPECT_EQ(Cell(2, 2), "43 0A ");
    EXPECT_TRUE(Selected().empty());
    EXPECT_FALSE(Button("btnDelete")->isEnabled());

    ClickRow(list, 1);
    window->AddRecData(Block({0x44}, "e"));
    window->hide();
    window->AddRecData(Block({0x45}, "f"));
    window->show();
    EXPECT_EQ(Selected(), (std::vector<int>{1}));
    EXPECT_TRUE(Button("btnEdit")->isEnabled());
    Click("btnDelete");
    EXPECT_EQ(Rows(), 4);
    EXPECT_EQ(Cell(1, 0), "10:00:02");
}

TEST_F(RecDataListTest, ListIsEmptiedWhenTheBoundIsPassed)
{
    for (int i = 0; i < CRecDataList::kCapacity; ++i)
        window->AddRecData(Block({static_cast<uint8_t>(i)}, std::to_string(i)));
    EXPECT_EQ(Rows(), 1025);
    EXPECT_EQ(window->Entries().Count(), 1025);

    window->AddRecData(Block({0xEE}, "overflow"));
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(Cell(0, 0), "overflow");
    EXPECT_EQ(window->Entries().At(0).Data(), Bytes({0xEE}));
}

// The editor holds on to its block: rows that arrive meanwhile move it, and when the list is
// emptied by the bound, OK changes nothing and says so.
TEST_F(RecDataListTest, EditFollowsItsBlockAndSurvivesItsLeaving)
{
    window->AddRecData(Block({0x41}, "one"));
    window->AddRecData(Block({0x42}, "two"));
    auto rename = [this](int arriving) {
        return [this, arriving](QDialog *editor) {
            if (editor->objectName() != QStringLiteral("frmDataEdit"))
                return editor->reject();
            for (int i = 0; i < arriving; ++i)
                window->AddRecData(Block({0x30}, "new"));
            editor->findChild<QLineEdit *>("edName")->setText("renamed");
            QTest::mouseClick(editor->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        };
    };
    ClickRow(list, 1);
    {
        ModalCatcher catcher(rename(3));
        Click("btnEdit");
        EXPECT_EQ(catcher.Seen(), QStringList{"frmDataEdit"});
    }
    ASSERT_EQ(window->Entries().Count(), 5);
    EXPECT_EQ(window->Entries().At(1).GetName(), "renamed");
    EXPECT_EQ(window->Entries().At(4).GetName(), "new");

    ClickRow(list, 0);
    {
        ModalCatcher catcher(rename(CRecDataList::kCapacity));
        Click("btnEdit");
        ASSERT_EQ(catcher.Seen().size(), 2);
        EXPECT_EQ(catcher.Seen()[1], "The edited block is no longer in the list; nothing was changed.");
    }
    EXPECT_EQ(window->Entries().Count(), 5); // 1020 filled it, the next emptied it
    for (int i = 0; i < window->Entries().Count(); ++i)
        ASSERT_EQ(window->Entries().At(i).GetName(), "new");
}

TEST_F(RecDataListTest, DeleteSelectsTheNeighbour)
{
    for (const char *name : {"a", "b", "c"})
        window->AddRecData(Block({1}, name));
    ClickRow(list, 2);
    Click("btnDelete");
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Selected(), (std::vector<int>{1}));
    EXPECT_EQ(Cell(1, 0), "b");

    ClickRow(list, 0);
    Click("btnDelete");
    EXPECT_EQ(Selected(), (std::vector<int>{0}));
    EXPECT_EQ(Cell(0, 0), "b");
    Click("btnDelete");
    EXPECT_EQ(Rows(), 0);
    EXPECT_TRUE(Selected().empty());
    EXPECT_FALSE(Button("btnDelete")->isEnabled());
}

TEST_F(RecDataListTest, MergeUpJoinsIntoTheUpperEntry)
{
    window->AddRecData(Block({0x0D}, "upper"));
    window->AddRecData(Block({0x41, 0x42}, "lower"));
    window->AddRecData(Block({0x43}, "third"));
    ClickRow(list, 0);
    EXPECT_FALSE(Button("btnMerge")->isEnabled());
    ClickRow(list, 1);
    EXPECT_TRUE(Button("btnMerge")->isEnabled());
    Click("btnMerge");
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(Cell(0, 0), "upper");
    EXPECT_EQ(Cell(0, 2), "0D 41 42 ");
    EXPECT_EQ(Cell(1, 0), "third");
    EXPECT_EQ(window->Entries().At(0).Data(), Bytes({0x0D, 0x41, 0x42}));
    EXPECT_EQ(Selected(), (std::vector<int>{0}));
    EXPECT_FALSE(Button("btnMerge")->isEnabled());
}

TEST_F(RecDataListTest, EditReplacesTheEntryAndAddToSendDataCopies)
{
    window->AddRecData(Block({0x41}, "one"));
    window->AddRecData(Block({0x42}, "two"));
    window->AddRecData(Block({0x43}, "three"));
    ClickRow(list, 1);
    {
        ModalCatcher catcher([](QDialog *editor) {
            auto *name = editor->findChild<QLineEdit *>("edName");
            ASSERT_NE(name, nullptr);
            name->setText("renamed");
            QTest::mouseClick(editor->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
        });
        Click("btnEdit");
    }
    EXPECT_EQ(Cell(1, 0), "renamed");
    EXPECT_EQ(window->Entries().At(1).GetName(), "renamed");
    EXPECT_EQ(window->Entries().At(1).Data(), Bytes({0x42}));
    EXPECT_EQ(Selected(), (std::vector<int>{1}));

    std::vector<std::string> sent;
    window->SetAddToSendData([&sent](const CCommData &item) { sent.push_back(item.GetName()); });
    Select(2);
    Select(0);
    Click("btnAddtoSendData");
    EXPECT_EQ(sent, (std::vector<std::string>{"one", "renamed", "three"}));
    EXPECT_EQ(window->Entries().Count(), 3);
}

TEST_F(RecDataListTest, EntriesSurviveARestartAndSaveAsSendData)
{
    window->AddRecData(Block({0x41, 0x00}, "12:00:00.001"));
    CCommData text{Bytes{0x48, 0x69}, FMT_STRING};
    text.SetName("a, \"b\"");
    window->AddRecData(text);

    const QString saved = m_env.FilePath("saved.sds");
    {
        ModalCatcher catcher([&](QDialog *files) { TypeFileName(files, saved); });
        Click("btnSave");
        EXPECT_EQ(catcher.Seen(), QStringList{"dlgSave"});
    }
    CSendDataList asSendData;
    ASSERT_TRUE(asSendData.Load(saved.toStdString()));
    ASSERT_EQ(asSendData.Count(), 2);
    EXPECT_EQ(asSendData.At(0), window->Entries().At(0));
    EXPECT_EQ(asSendData.At(1), window->Entries().At(1));

    window.reset();
    Open();
    ASSERT_EQ(Rows(), 2);
    EXPECT_EQ(window->Entries().At(0).GetName(), "12:00:00.001");
    EXPECT_EQ(window->Entries().At(1), text);
    EXPECT_EQ(Cell(1, 1), "String");
    EXPECT_EQ(Cell(1, 2), "Hi");

    Click("btnDeleteAll");
    window.reset();
    std::string content = "unchanged";
    ASSERT_TRUE(ReadWholeFile(CRecDataList::FilePath(), content));
    EXPECT_EQ(content, "");
}

TEST_F(RecDataListTest, NewBlocksReachTheFileWithinSeconds)
{
    window->AddRecData(Block({0x01}, "x"));
    window->AddRecData(Block({0x02}, "y"));
    CRecDataList onDisk;
    EXPECT_TRUE(WaitUntil([&] { return onDisk.Load(CRecDataList::FilePath()) && onDisk.Count() == 2; },
                          TfrmRecDataList::kFlushDelayMs + 2000));
    ASSERT_EQ(onDisk.Count(), 2);
    EXPECT_EQ(onDisk.At(1).GetName(), "y");

    // Later blocks are added to the file; a deletion rewrites it, after the additions.
    window->AddRecData(Block({0x03}, "z"));
    EXPECT_TRUE(WaitUntil([&] { return onDisk.Load(CRecDataList::FilePath()) && onDisk.Count() == 3; },
                          TfrmRecDataList::kFlushDelayMs + 2000));
    window->AddRecData(Block({0x04}, "w"));
    ClickRow(list, 0);
    Click("btnDelete");
    EXPECT_TRUE(WaitUntil([&] { return FileHoldsTheList(*window); }, TfrmRecDataList::kFlushDelayMs + 2000));
    EXPECT_EQ(window->Entries().Count(), 3);
}

// A block big enough for a write of its own, just after the full list emptied, waits for the
// timer; the file still comes to hold the list.
TEST_F(RecDataListTest, AListThatJustEmptiedReachesTheFileByTheTimer)
{
    for (int i = 0; i <= CRecDataList::kCapacity; ++i)
        window->AddRecData(Block({static_cast<uint8_t>(i)}, "small"));
    CCommData big{Bytes(TfrmRecDataList::kFlushBytes, 0xA5)};
    window->AddRecData(big);
    ASSERT_EQ(window->Entries().Count(), 2);
    EXPECT_TRUE(WaitUntil([&] { return FileHoldsTheList(*window); }, TfrmRecDataList::kFlushDelayMs + 2000));
}

// Runs in a child process only: receives blocks, then waits to be killed.
TEST(RecDataListCrashChild, ReceiveAndWait)
{
    if (qgetenv("KESTRUM_REC_CHILD") != "1")
        GTEST_SKIP() << "only run as the child of the kill test";
    TfrmRecDataList window(nullptr);
    for (int i = 0; i < 5; ++i)
        window.AddRecData(Block({static_cast<uint8_t>(i)}, "child" + std::to_string(i)));
    fputs("ready\n", stdout);
    fflush(stdout);
    Pump(60000);
}

TEST(RecDataListCrash, KilledProgramKeepsTheBlocks)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const std::string file = home.filePath("TempRec.tmp").toStdString();
    WriteFileAtomic(file, "\"earlier\",Hex,\"FF \"\r\n");

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("KESTRUM_HOME", home.path());
    env.insert("KESTRUM_REC_CHILD", "1");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=RecDataListCrashChild.*"});
    ASSERT_TRUE(child.waitForStarted(10000));
    QByteArray output;
    ASSERT_TRUE(WaitUntil(
        [&] {
            child.waitForReadyRead(50);
            output += child.readAllStandardOutput();
            return output.contains("ready\n");
        },
        30000));
    // The child's timer writes the blocks; the kill comes once they are on disk.
    CRecDataList onDisk;
    ASSERT_TRUE(WaitUntil([&] { return onDisk.Load(file) && onDisk.Count() == 6; },
                          TfrmRecDataList::kFlushDelayMs + 30000))
        << onDisk.Count();
    child.kill();
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    ASSERT_TRUE(onDisk.Load(file));
    ASSERT_EQ(onDisk.Count(), 6);
    EXPECT_EQ(onDisk.At(0).GetName(), "earlier");
    EXPECT_EQ(onDisk.At(5).GetName(), "child4");
    EXPECT_EQ(onDisk.At(5).Data(), Bytes({4}));
}
