#include "demo/demodevices.h"
#include "frame/gui/TFramingStore.h"
#include "link/gui/TfrmOpenPort.h"
#include "link/gui/TfrmPortSetting.h"
#include "link/linklist.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/errors.h"
#include "platform/gui/appsettings.h"
#include "platform/textfile.h"
#include "serial/dcb.h"
#include "session/portsession.h"

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"
#include "tempdir.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

// Answers the dialogs a click opens, in order: each action gets the next one and must close it.
// Message boxes are closed by the catcher and their texts kept; a dialog nobody expected fails
// the test and is closed rather than hanging the run.
class ModalScript
{
public:
    void Then(std::function<void(QDialog *)> action) { m_actions.push_back(std::move(action)); }
    QStringList Messages() const
    {
        QStringList texts = m_catcher.Seen();
        texts.removeIf([](const QString &t) { return t == "frmPortSetting" || t.startsWith("dlg"); });
        return texts;
    }
    size_t Pending() const { return m_actions.size(); }

private:
    void Answer(QDialog *dialog)
    {
        if (m_actions.empty()) {
            ADD_FAILURE() << "unexpected dialog " << dialog->objectName().toStdString();
            dialog->reject();
            return;
        }
        auto action = std::move(m_actions.front());
        m_actions.pop_front();
        action(dialog);
    }

    std::deque<std::function<void(QDialog *)>> m_actions;
    ModalCatcher m_catcher{[this](QDialog *dialog) { Answer(dialog); }};
};

void ChooseFile(QFileDialog *files, const QString &path)
{
    SelectFile(files, path);
    EXPECT_EQ(files->selectedFiles().value(0), path);
    static_cast<QDialog *>(files)->accept();
}

void Click(QWidget *parent, const char *name)
{
    Find<QPushButton>(parent, name)->click();
}

QStringList RowTexts(QTreeWidget *list, int row)
{
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c)
        texts << list->topLevelItem(row)->text(c);
    return texts;
}

class LinkDialogs : public testing::Test
{
protected:
    void SetUp() override
    {
        LinkList().Clear();
        TfrmPortSetting::SetPortSource([] {
            return std::vector<ST_PortInfo>{{"ttyS0", "/dev/ttyS0", ""},
                                            {"COM3", "/dev/ttyS2", ""},
                                            {"ttyUSB0", "/dev/ttyUSB0", "FTDI FT232R"}};
        });
    }
    void TearDown() override
    {
        EXPECT_EQ(m_script.Pending(), 0u) << "a dialog the test expected never opened";
        TfrmPortSetting::SetPortSource({});
        LinkList().Clear();
    }
    std::string File(const char *name) const { return m_env.File(name); }
    void SaveDefault(const std::vector<COM_PORT_SETTING> &links)
    {
        std::string text;
        for (const auto &l : links)
            text += LinkToLine(l) + "\r\n";
        WriteRaw(File("Default.cps"), text);
    }

    GuiTestEnv m_env;
    ModalScript m_script;
};

} // namespace

TEST_F(LinkDialogs, EmptyManagerStillWritesTheDefaultFile)
{
    TfrmOpenPort dialog(nullptr);
    EXPECT_EQ(dialog.windowTitle(), "Open Port");
    auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
    ASSERT_EQ(list->columnCount(), 9);
    EXPECT_EQ(list->headerItem()->text(6), "Data Flow Control");
    EXPECT_EQ(list->columnWidth(6), 100);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    for (const char *name : {"btnEdit", "btnDelete", "btnDeleteAll"})
        EXPECT_FALSE(Find<QPushButton>(&dialog, name)->isEnabled()) << name;
    EXPECT_EQ(Find<QPushButton>(&dialog, "btnDeleteAll")->text(), "Delete &All");
    EXPECT_NE(Find<QFileDialog>(&dialog, "dlgLoad"), nullptr);

    Click(&dialog, "btnOK");
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_FALSE(dialog.HasSelectedLink());
    EXPECT_EQ(dialog.SelectedLink(), COM_PORT_SETTING());
    EXPECT_FALSE(FileExists(File("Default.cps")));
    dialog.reject();
    EXPECT_TRUE(FileExists(File("Default.cps")));
    EXPECT_EQ(ReadRaw(File("Default.cps")), "");

    // An empty list says what to do instead of leaving Open silent, and tells apart a machine
    // without ports.
    dialog.show();
    auto *hint = Find<QLabel>(&dialog, "lblNoLink");
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->text().contains("New"));
    EXPECT_TRUE(Find<QPushButton>(&dialog, "btnNew")->isDefault());
    TfrmPortSetting::SetPortSource([] { return std::vector<ST_PortInfo>{}; });
    TfrmOpenPort bare(nullptr);
    bare.show();
    EXPECT_TRUE(Find<QLabel>(&bare, "lblNoLink")->text().contains("kestrum-vport"));
    EXPECT_FALSE(hint->text().contains("kestrum-vport"));
}

TEST_F(LinkDialogs, NewProposesCountedNamesAndCancelKeepsTheLinks)
{
    TfrmOpenPort dialog(nullptr);
    QString first, second;
    auto fill = [](QString &seen, const char *baud) {
        return [&seen, baud](QDialog *w) {
            auto *setting = qobject_cast<TfrmPortSetting *>(w);
            ASSERT_NE(setting, nullptr);
            EXPECT_EQ(setting->windowTitle(), "Port Setting");
            seen = Find<QLineEdit>(w, "edLinkName")->text();
            // The adapter, though the board's UART is listed first.
            EXPECT_EQ(Find<QComboBox>(w, "cboPortName")->currentText(), "ttyUSB0");
            EXPECT_EQ(Find<QComboBox>(w, "cboParity")->currentText(), "None");
            EXPECT_EQ(Find<QLineEdit>(w, "edInputBufferLen")->text(), "1024");
            auto *rate = Find<QComboBox>(w, "cboBaudRate");
            EXPECT_EQ(rate->count(), 22);
            EXPECT_EQ(rate->currentText(), "9600");
            rate->setCurrentText(baud);
            Click(w, "btnOK");
        };
    };
    m_script.Then(fill(first, "115200"));
    Click(&dialog, "btnNew");
    m_script.Then(fill(second, "300"));
    Click(&dialog, "btnNew");

    ASSERT_TRUE(first.startsWith("Link"));
    EXPECT_EQ(second, "Link" + QString::number(first.mid(4).toInt() + 1));
    auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(RowTexts(list, 0),
              (QStringList{first, "ttyUSB0", "115200", "8", "None", "1", "None", "1024", "1024"}));
    EXPECT_TRUE(list->topLevelItem(1)->isSelected());
    EXPECT_TRUE(Find<QPushButton>(&dialog, "btnEdit")->isEnabled());

    // A cancelled proposal adds nothing but still uses up a name.
    m_script.Then([](QDialog *w) { Click(w, "btnCancel"); });
    Click(&dialog, "btnNew");
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(QString::fromStdString(NewLinkName()), "Link" + QString::number(first.mid(4).toInt() + 3));

    Click(&dialog, "btnCancel");
    COM_PORT_SETTING a = Link(first.toStdString(), "ttyUSB0"), b = Link(second.toStdString(), "ttyUSB0");
    a.Baud = 115200;
    b.Baud = 300;
    EXPECT_EQ(ReadRaw(File("Default.cps")), LinkToLine(a) + "\r\n" + LinkToLine(b) + "\r\n");

    // A machine that lists no port still gets a name of its kind.
    TfrmPortSetting::SetPortSource([] { return std::vector<ST_PortInfo>{}; });
    TfrmOpenPort bare(nullptr);
    m_script.Then([](QDialog *w) {
        EXPECT_EQ(Find<QComboBox>(w, "cboPortName")->currentText(), "ttyS0");
        Click(w, "btnCancel");
    });
    Click(&bare, "btnNew");
    Click(&bare, "btnCancel");
}

TEST_F(LinkDialogs, EditShowsTheLinkAndKeepsAnUnlistedPort)
{
    COM_PORT_SETTING odd = Link("odd", "COM9");
    odd.ParityCode = 3;
    odd.FlowControl = 2;
    odd.StopBitsCode = 7;
    SaveDefault({odd, Link("plain", "ttyusb0")});
    TfrmOpenPort dialog(nullptr);
    auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_EQ(RowTexts(list, 0)[4], "Mark");
    EXPECT_EQ(RowTexts(list, 0)[5], "");

    m_script.Then([](QDialog *w) {
        auto *port = Find<QComboBox>(w, "cboPortName");
        EXPECT_EQ(port->currentIndex(), -1);
        EXPECT_EQ(port->currentText(), "COM9");
        EXPECT_EQ(Find<QComboBox>(w, "cboParity")->currentText(), "Mark");
        EXPECT_EQ(Find<QComboBox>(w, "cboDataFlowControl")->currentText(), "HardWare");
        EXPECT_EQ(Find<QComboBox>(w, "cboStopBits")->currentIndex(), -1);
        Find<QLineEdit>(w, "edLinkName")->setText("renamed");
        Click(w, "btnOK");
    });
    Click(&dialog, "btnEdit");
    COM_PORT_SETTING expected = odd;
    expected.LinkName = "renamed";
    EXPECT_EQ(LinkList().At(0), expected);
    EXPECT_EQ(RowTexts(list, 0)[0], "renamed");

    // The port list is matched ignoring letter case; choosing it stores the listed spelling.
    list->setCurrentItem(list->topLevelItem(1));
    m_script.Then([](QDialog *w) {
        EXPECT_EQ(Find<QComboBox>(w, "cboPortName")->currentIndex(), 0); // an adapter comes first
        Click(w, "btnOK");
    });
    Click(&dialog, "btnEdit");
    EXPECT_EQ(LinkList().At(1).PortName, "ttyUSB0");
    dialog.reject();
}

TEST_F(LinkDialogs, NonIntegerFieldsAbandonTheEdit)
{
    SaveDefault({Link("a")});
    TfrmOpenPort dialog(nullptr);
    m_script.Then([](QDialog *w) {
        Find<QLineEdit>(w, "edLinkName")->setText("changed");
        Find<QLineEdit>(w, "edOutputBufferLen")->setText("12x");
        Click(w, "btnOK");
    });
    Click(&dialog, "btnEdit");
    EXPECT_EQ(m_script.Messages(), QStringList{"'12x' is not a valid integer value"});
    EXPECT_EQ(LinkList().At(0), Link("a"));

    m_script.Then([](QDialog *w) {
        Find<QComboBox>(w, "cboBaudRate")->setCurrentIndex(-1);
        Click(w, "btnOK");
    });
    Click(&dialog, "btnNew");
    EXPECT_EQ(m_script.Messages().value(1), "'' is not a valid integer value");
    EXPECT_EQ(LinkList().Count(), 1);
    dialog.reject();
}

TEST_F(LinkDialogs, DeleteMovesTheSelectionAndDeleteAllEmptiesTheFile)
{
    SaveDefault({Link("a"), Link("b"), Link("c")});
    TfrmOpenPort dialog(nullptr);
    auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
    list->setCurrentItem(list->topLevelItem(1));
    Click(&dialog, "btnDelete");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "c");
    EXPECT_TRUE(list->topLevelItem(1)->isSelected());
    Click(&dialog, "btnDelete");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    EXPECT_EQ(LinkList().At(0).LinkName, "a");

    SaveDefault({Link("a"), Link("b"), Link("c")}); // the manager's copy is what gets written
    Click(&dialog, "btnDeleteAll");
    EXPECT_EQ(list->topLevelItemCount(), 0);
    for (const char *name : {"btnEdit", "btnDelete", "btnDeleteAll", "btnOK"})
        EXPECT_FALSE(Find<QPushButton>(&dialog, name)->isEnabled()) << name;
    Click(&dialog, "btnCancel");
    EXPECT_EQ(ReadRaw(File("Default.cps")), "");
}

TEST_F(LinkDialogs, AFramingChoiceFollowsItsLinksRenameAndGoesWithItsDelete)
{
    const std::string framing = FramingFilePath(m_env.Dir().toStdString());
    ST_FramingChoices choices;
    choices.Links = {{"a", "Lines"}, {"b", "SLIP"}, {"c", "COBS"}};
    WriteFramingChoices(framing, choices);
    SaveDefault({Link("a"), Link("b"), Link("c")});
    TfrmOpenPort dialog(nullptr);
    auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
    m_script.Then([](QDialog *w) {
        Find<QLineEdit>(w, "edLinkName")->setText("a renamed");
        Click(w, "btnOK");
    });
    Click(&dialog, "btnEdit");
    list->setCurrentItem(list->topLevelItem(1));
    Click(&dialog, "btnDelete");
    const std::map<std::string, std::string> expected = {{"a renamed", "Lines"}, {"c", "COBS"}};
    EXPECT_EQ(TFramingStore::Instance().Choices().Links, expected);
    TFramingStore::Instance().WaitWritten();
    EXPECT_EQ(ReadFramingChoices(framing).Links, expected);
    dialog.reject();
}

TEST_F(LinkDialogs, SaveAsAndLoad)
{
    SaveDefault({Link("a"), Link("b, \"quoted\"")});
    TfrmOpenPort dialog(nullptr);
    const QString exported = QString::fromStdString(File("export.cps"));
    m_script.Then([&exported](QDialog *w) {
        auto *files = qobject_cast<QFileDialog *>(w);
        ASSERT_NE(files, nullptr);
        EXPECT_EQ(files->objectName(), "dlgSave");
        EXPECT_EQ(files->nameFilters().value(0), "Port Setting(*.cps)");
        EXPECT_EQ(files->defaultSuffix(), "cps");
        ChooseFile(files, exported);
    });
    Click(&dialog, "btnSaveAs");
    EXPECT_EQ(ReadRaw(File("export.cps")), ReadRaw(File("Default.cps")));

    Click(&dialog, "btnDeleteAll");
    auto pick = [](const QString &path) {
        return [path](QDialog *w) {
            auto *files = qobject_cast<QFileDialog *>(w);
            ASSERT_NE(files, nullptr);
            EXPECT_EQ(files->objectName(), "dlgLoad");
            ChooseFile(files, path);
        };
    };
    m_script.Then(pick(exported));
    Click(&dialog, "btnLoad");
    auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "b, \"quoted\"");
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());

    dialog.reject();
}

TEST_F(LinkDialogs, AFileThatStopsLoadingIsNotCutShortOnClose)
{
    const std::string bad = "\"b\", \"COM2\", fast, 8, 0, 0, 0, 1024, 1024";
    const std::string rest = LinkToLine(Link("c"));
    WriteRaw(File("Default.cps"), LinkToLine(Link("a")) + "\r\n" + bad + "\r\n" + rest + "\r\n");
    {
        TfrmOpenPort dialog(nullptr);
        EXPECT_EQ(m_script.Messages(), QStringList{"'fast' is not a valid integer value"});
        auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
        ASSERT_EQ(list->topLevelItemCount(), 1);
        EXPECT_EQ(list->topLevelItem(0)->text(0), "a");
        Click(&dialog, "btnCancel");
    }
    EXPECT_EQ(ReadRaw(File("Default.cps")), LinkToLine(Link("a")) + "\r\n" + bad + "\r\n" + rest + "\r\n");
}

TEST_F(LinkDialogs, OpenAndDoubleClickChooseTheSelectedLink)
{
    COM_PORT_SETTING second = Link("second", "COM3");
    second.Baud = 57600;
    SaveDefault({Link("first"), second});
    {
        TfrmOpenPort dialog(nullptr);
        Click(&dialog, "btnOK");
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.SelectedLink(), Link("first"));
    }
    TfrmOpenPort dialog(nullptr);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto *list = Find<QTreeWidget>(&dialog, "lstLinkList");
    const QPoint at = list->visualItemRect(list->topLevelItem(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(dialog.HasSelectedLink());
    EXPECT_EQ(dialog.SelectedLink(), second);
}

// The demo devices are always offered, set apart after the machine's ports, and one opens from
// the link manager without a link being made for it.
TEST_F(LinkDialogs, DemoDevicesFollowTheMachinesPortsAndOpenWithoutALink)
{
    demo::InstallDemoPorts();
    struct Unregister
    {
        ~Unregister() { RegisterDemoPorts(nullptr); }
    } unregister;
    TfrmPortSetting::SetPortSource([] {
        std::vector<ST_PortInfo> ports = DemoPortList();
        ports.push_back({"ttyS0", "/dev/ttyS0", ""});
        ports.push_back({"ttyUSB0", "/dev/ttyUSB0", ""});
        return ports;
    });
    {
        TfrmPortSetting dialog(nullptr);
        auto *port = Find<QComboBox>(&dialog, "cboPortName");
        const int first = port->findText("demo://", Qt::MatchStartsWith);
        ASSERT_GT(first, 1);
        EXPECT_TRUE(port->itemText(first - 1).isEmpty()) << "no separator before the demo devices";
        EXPECT_LT(std::max(port->findText("ttyS0"), port->findText("ttyUSB0")), first - 1);
        const int echo = port->findText("demo://echo");
        EXPECT_GE(echo, first);
        EXPECT_EQ(port->itemData(echo, Qt::ToolTipRole).toString(), "Demo echo (simulated)");
        COM_PORT_SETTING link = Link("new");
        dialog.ProposeListedPort(link);
        EXPECT_EQ(link.PortName, "ttyUSB0");
    }

    // With no link yet, Enter would make one; on a chosen demo device it opens that instead.
    SaveDefault({});
    TfrmOpenPort dialog(nullptr);
    dialog.show();
    auto *demos = Find<QListWidget>(&dialog, "lstDemoDevices");
    const QList<QListWidgetItem *> echo = demos->findItems("Demo echo (simulated)", Qt::MatchExactly);
    ASSERT_EQ(echo.size(), 1);
    demos->setCurrentItem(echo.first());
    QTest::keyClick(demos, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(dialog.HasSelectedLink());
    EXPECT_EQ(dialog.SelectedLink().PortName, "demo://echo");
    EXPECT_EQ(LinkList().Count(), 0);
}

TEST_F(LinkDialogs, PortSettingReadsBackWhatItWasFilledWith)
{
    TfrmPortSetting dialog(nullptr);
    auto *port = Find<QComboBox>(&dialog, "cboPortName");
    EXPECT_EQ(port->count(), 3);
    EXPECT_EQ(port->currentIndex(), 0);
    EXPECT_EQ(Find<QComboBox>(&dialog, "cboParity")->currentIndex(), -1);

    COM_PORT_SETTING link = Link("x", "COM3");
    link.Baud = 921600;
    link.DataBits = 5;
    link.ParityCode = 4;
    link.StopBitsCode = 1;
    link.FlowControl = 1;
    link.InputBufferLen = 4096;
    link.OutputBufferLen = 16;
    dialog.FillFromLink(link);
    COM_PORT_SETTING back;
    dialog.ReadToLink(back);
    EXPECT_EQ(back, link);

    // Unknown codes show no choice and keep their value; a typed device path is the port.
    link.ParityCode = 9;
    link.FlowControl = 5;
    dialog.FillFromLink(link);
    EXPECT_EQ(Find<QComboBox>(&dialog, "cboParity")->currentIndex(), -1);
    EXPECT_EQ(Find<QComboBox>(&dialog, "cboDataFlowControl")->currentIndex(), -1);
    port->setEditText("/dev/pts/7");
    back = link;
    dialog.ReadToLink(back);
    EXPECT_EQ(back.ParityCode, 9);
    EXPECT_EQ(back.FlowControl, 5);
    EXPECT_EQ(back.PortName, "/dev/pts/7");

    TfrmPortSetting::SetPortSource([] { return std::vector<ST_PortInfo>{}; });
    TfrmPortSetting none(nullptr);
    none.FillFromLink(Link("y", ""));
    back = Link("y");
    none.ReadToLink(back);
    EXPECT_EQ(back.PortName, "");
}

// A typed 300 used to be stored as 44, the low eight bits.
TEST_F(LinkDialogs, AByteSizeNoLineHasIsRefusedAtOk)
{
    TfrmPortSetting dialog(nullptr);
    dialog.FillFromLink(Link("x"));
    QLineEdit *size = Find<QComboBox>(&dialog, "cboByteSize")->lineEdit();
    ASSERT_NE(size, nullptr);
    COM_PORT_SETTING back = Link("x");
    QStringList told;
    for (const char *typed : {"300", "9", "4", "x"}) {
        size->setText(typed);
        dialog.accept();
        told << QString("'%1' is not a valid integer value").arg(typed);
        EXPECT_EQ(m_script.Messages(), told);
        EXPECT_NE(dialog.result(), QDialog::Accepted) << typed;
        EXPECT_THROW(dialog.ReadToLink(back), EConvertError) << typed;
    }
    EXPECT_EQ(back, Link("x"));
    size->setText("7");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    dialog.ReadToLink(back);
    EXPECT_EQ(back.DataBits, 7);
}

TEST_F(LinkDialogs, ATypedRateIsStoredShownAgainAndAppliedToTheLine)
{
    CTestPty pty;
    ASSERT_TRUE(pty.Ok());
    COM_PORT_SETTING link = Link("fast", pty.Path());
    link.Baud = 74880; // not one of the listed rates
    SaveDefault({link});
    {
        TfrmOpenPort dialog(nullptr);
        m_script.Then([](QDialog *w) {
            EXPECT_EQ(Find<QComboBox>(w, "cboBaudRate")->currentText(), "74880");
            Click(w, "btnOK");
        });
        Click(&dialog, "btnEdit");
        EXPECT_EQ(LinkList().At(0), link) << "an unlisted rate survives an untouched edit";
        m_script.Then([](QDialog *w) {
            QLineEdit *edit = Find<QComboBox>(w, "cboBaudRate")->lineEdit();
            ASSERT_NE(edit, nullptr) << "the rate can be typed";
            edit->selectAll();
            QTest::keyClicks(edit, "250000");
            Click(w, "btnOK");
        });
        Click(&dialog, "btnEdit");
        Click(&dialog, "btnCancel");
    }
    link.Baud = 250000;
    EXPECT_EQ(ReadRaw(File("Default.cps")), LinkToLine(link) + "\r\n");

    TfrmOpenPort again(nullptr);
    m_script.Then([](QDialog *w) {
        EXPECT_EQ(Find<QComboBox>(w, "cboBaudRate")->currentText(), "250000");
        Click(w, "btnCancel");
    });
    Click(&again, "btnEdit");
    Click(&again, "btnOK");
    ASSERT_EQ(again.SelectedLink(), link);

    const auto windowMade = NewMainWindow();
    QMainWindow &window = *windowMade;
    Feature<TPortCommands>(window)->Open(again.SelectedLink());
    ASSERT_TRUE(SessionOf(window).IsOpen()) << m_script.Messages().join("; ").toStdString();
    KTermios line;
    ASSERT_TRUE(GetKernelTermios(pty.Slave(), &line));
    EXPECT_EQ(line.c_ospeed, 250000u);
    EXPECT_EQ(line.c_ispeed, 250000u);
}

TEST_F(LinkDialogs, ANetworkAddressIsKeptAndOfferedAfterTheLocalPorts)
{
    const auto typePort = [](const QString &name) {
        return [name](QDialog *w) {
            QLineEdit *edit = Find<QComboBox>(w, "cboPortName")->lineEdit();
            edit->selectAll();
            QTest::keyClicks(edit, name);
            Click(w, "btnOK");
        };
    };
    const QString rfc = "rfc2217://Lab-Pi:7000", raw = "socket://[fe80::1]:7001";
    {
        TfrmOpenPort dialog(nullptr);
        m_script.Then(typePort("ttyUSB0"));
        Click(&dialog, "btnNew");
        EXPECT_FALSE(OpenAppSettings().contains("NetworkPorts")) << "a local port writes no new value";
        m_script.Then(typePort(rfc));
        Click(&dialog, "btnNew");
        m_script.Then(typePort(raw));
        Click(&dialog, "btnNew");
        dialog.reject();
    }

    // Read back from Default.cps as typed; the most recent address is offered first, and a link
    // whose spelling differs from the remembered one keeps its own.
    LinkList().Clear();
    TfrmOpenPort again(nullptr);
    EXPECT_EQ(LinkList().At(1).PortName, rfc.toStdString());
    EXPECT_EQ(LinkList().At(2).PortName, raw.toStdString());
    LinkList().Replace(2, Link("other", "RFC2217://lab-pi:7000"));
    auto *list = Find<QTreeWidget>(&again, "lstLinkList");
    list->setCurrentItem(list->topLevelItem(1));
    m_script.Then([&](QDialog *w) {
        auto *port = Find<QComboBox>(w, "cboPortName");
        ASSERT_EQ(port->count(), 5);
        EXPECT_EQ(port->itemText(3), raw);
        EXPECT_EQ(port->itemText(4), rfc);
        EXPECT_EQ(port->currentIndex(), 4);
        Click(w, "btnOK");
    });
    Click(&again, "btnEdit");
    list->setCurrentItem(list->topLevelItem(2));
    m_script.Then([](QDialog *w) {
        EXPECT_EQ(Find<QComboBox>(w, "cboPortName")->currentIndex(), -1);
        Click(w, "btnOK");
    });
    Click(&again, "btnEdit");
    EXPECT_EQ(LinkList().At(2).PortName, "RFC2217://lab-pi:7000");
    // Confirmed again, it replaces the older spelling at the top; the list keeps ten.
    EXPECT_EQ(TfrmPortSetting::RememberedNetworkPorts(), (QStringList{"RFC2217://lab-pi:7000", raw}));
    for (int i = 0; i < 12; ++i)
        TfrmPortSetting::RememberNetworkPort("socket://host:" + std::to_string(i));
    EXPECT_EQ(TfrmPortSetting::RememberedNetworkPorts().size(), 10);
    EXPECT_EQ(TfrmPortSetting::RememberedNetworkPorts().front(), "socket://host:11");
    again.reject();
}
