// Checking received checksums, turned on through View > Check Checksum on a pseudo-terminal.
#include "log/gui/TTrafficLog.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/gui/appsettings.h"
#include "recdata/gui/TfrmCheckChecksum.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QToolButton>
#include <gtest/gtest.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

const std::vector<uint8_t> kGood = {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD};
const std::vector<uint8_t> kBad = {0x01, 0x03, 0x00, 0x10, 0x00, 0x0A, 0xC5, 0xCD};

TTrafficLog *Log(const QWidget &w)
{
    return w.findChild<TTrafficLog *>(QStringLiteral("edData"));
}

bool LogShows(const QMainWindow &w, const std::string &text)
{
    return WaitUntil([&] { return Log(w)->WholeText() == text; });
}

} // namespace

TEST(ChecksumCheck, BadBlocksAreMarkedAndCountedOnceTurnedOn)
{
    GuiTestEnv env;
    CTestPty pty;
    const std::string before = "Rec  :01 03 00 10 00 0A C5 CD \r\n";
    NewMainWindow(); // opened and closed unused
    EXPECT_TRUE(OpenAppSettings().contains(QStringLiteral("SplitReceivedLines")));
    EXPECT_FALSE(OpenAppSettings().contains(QStringLiteral("RecvChecksumOn"))) << "unused, no new value";
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
        Find<QToolButton>(w, "btnHex")->click();
        auto *panel = Find<QLabel>(w, "stbChecksumPanel");
        pty.Send(kBad);
        ASSERT_TRUE(LogShows(w, before)) << "off: the log as it always was";
        EXPECT_TRUE(panel->isHidden());

        ModalCatcher answer([](QDialog *d) {
            EXPECT_EQ(d->objectName(), QStringLiteral("frmCheckChecksum"));
            Find<QCheckBox>(d, "chkCheckChecksum")->setChecked(true);
            Find<QComboBox>(d, "cboChecksumKind")->setCurrentText(QStringLiteral("CRC-16/MODBUS"));
            Find<QRadioButton>(d, "rdCheckBlocks")->setChecked(true);
            Find<QPushButton>(d, "btnOK")->click();
        });
        Find<QAction>(w, "mnuViewCheckChecksum")->trigger();
        pty.Send(kGood);
        ASSERT_TRUE(LogShows(w, before + "Rec  :01 03 00 00 00 0A C5 CD \r\n"));
        pty.Send(kBad);
        ASSERT_TRUE(LogShows(w, before + "Rec  :01 03 00 00 00 0A C5 CD \r\n"
                                         "Rec  :01 03 00 10 00 0A C5 CD [checksum bad]\r\n"))
            << Log(w)->WholeText();
        for (const ST_LogRun &run : Log(w)->LineRuns(2))
            EXPECT_EQ(run.color, kColorChecksumBad) << run.text;
        EXPECT_EQ(Log(w)->LineRuns(1).front().color, Log(w)->LineRuns(0).front().color);
        EXPECT_TRUE(WaitUntil([panel] { return panel->text() == QStringLiteral("Checksum: 1 ok, 1 bad"); }))
            << panel->text().toStdString();
        EXPECT_FALSE(panel->isHidden());
        EXPECT_EQ(panel->accessibleName(), QStringLiteral("Checksum counts"));
    }
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    EXPECT_FALSE(Find<QLabel>(again, "stbChecksumPanel")->isHidden());
    ModalCatcher look([](QDialog *d) {
        EXPECT_TRUE(Find<QCheckBox>(d, "chkCheckChecksum")->isChecked());
        EXPECT_EQ(Find<QComboBox>(d, "cboChecksumKind")->currentText(), QStringLiteral("CRC-16/MODBUS"));
        EXPECT_TRUE(Find<QRadioButton>(d, "rdCheckBlocks")->isChecked());
        Find<QCheckBox>(d, "chkCheckChecksum")->setChecked(false);
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(again, "mnuViewCheckChecksum")->trigger();
    EXPECT_TRUE(Find<QLabel>(again, "stbChecksumPanel")->isHidden());
}

TEST(ChecksumCheck, EachLineTheLogSplitsOffIsMarkedOnItsOwn)
{
    GuiTestEnv env;
    CTestPty pty;
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
    Find<QAction>(w, "mnuViewSplitLines")->trigger();
    ModalCatcher answer([](QDialog *d) {
        Find<QCheckBox>(d, "chkCheckChecksum")->setChecked(true);
        Find<QComboBox>(d, "cboChecksumKind")->setCurrentText(QStringLiteral("XOR-8"));
        Find<QRadioButton>(d, "rdCheckLines")->setChecked(true);
        Find<QPushButton>(d, "btnOK")->click();
    });
    Find<QAction>(w, "mnuViewCheckChecksum")->trigger();
    // 'A' ^ 'B' is 0x03.
    pty.Send("AB\x03\r\nAB\x04\r\nx\r\n");
    EXPECT_TRUE(
        LogShows(w, "Rec  :AB\x03\r\nRec  :AB\x04 [checksum bad]\r\nRec  :x [checksum too short]\r\n"))
        << Log(w)->WholeText();
}

// The check goes with the link it was chosen for: another device's frames are not judged by it.
// A store from before, with one check for the whole window, gives it to the last link alone.
TEST(ChecksumCheck, EachLinkKeepsItsOwnCheck)
{
    GuiTestEnv env;
    CTestPty ptyA, ptyB;
    const COM_PORT_SETTING a = Link("A", ptyA.Path()), b = Link("B", ptyB.Path());
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TPortCommands>(w)->Open(a);
        Find<QToolButton>(w, "btnHex")->click();
    }
    {
        QSettings settings = OpenAppSettings();
        ST_RecvChecksumChoice old;
        old.On = true;
        SaveRecvChecksumChoice(settings, old);
    }
    const std::string bad = "Rec  :01 03 00 10 00 0A C5 CD ";
    const auto receive = [&](QMainWindow &w, CTestPty &pty, const std::string &line) {
        const std::string before = Log(w)->WholeText();
        pty.Send(kBad);
        EXPECT_TRUE(LogShows(w, before + line + "\r\n")) << Log(w)->WholeText();
    };
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        auto *panel = Find<QLabel>(w, "stbChecksumPanel");
        EXPECT_FALSE(panel->isHidden()) << "the last link's check";
        Feature<TPortCommands>(w)->Open(b);
        EXPECT_TRUE(panel->isHidden());
        receive(w, ptyB, bad);
        Feature<TPortCommands>(w)->Open(a);
        EXPECT_FALSE(panel->isHidden());
        receive(w, ptyA, bad + "[checksum bad]");
        Feature<TPortCommands>(w)->Open(b);
        receive(w, ptyB, bad);
    }
    // Read again, the old value is not handed to the link used last.
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    auto *panel = Find<QLabel>(w, "stbChecksumPanel");
    EXPECT_TRUE(panel->isHidden());
    Feature<TPortCommands>(w)->Open(a);
    EXPECT_FALSE(panel->isHidden());
    receive(w, ptyA, bad + "[checksum bad]");
}
