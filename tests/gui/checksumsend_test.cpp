// The checksum on instant sends and Append Checksum, driven through their controls on a
// pseudo-terminal.
#include "data/gui/TChecksumEdit.h"
#include "mainwindow/features/TInstantSend.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/gui/appsettings.h"
#include "senddata/gui/TfrmDataEdit.h"
#include "session/portsession.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>
#include <utility>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

// As a user picks an entry from the list.
void Choose(QComboBox *combo, const QString &text)
{
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

// Answers the checksum dialog with `kind`, or with Cancel for an empty name.
std::function<void(QDialog *)> AnswerChecksum(const QString &kind)
{
    return [kind](QDialog *dialog) {
        EXPECT_EQ(dialog->objectName(), QStringLiteral("frmChecksumSetting"));
        if (kind.isEmpty()) {
            dialog->reject();
            return;
        }
        auto *combo = Find<QComboBox>(dialog, "cboChecksumKind");
        combo->setCurrentIndex(combo->findText(kind));
        Find<QPushButton>(dialog, "btnOK")->click();
    };
}

} // namespace

TEST(ChecksumSend, InstantSendsCarryTheChosenChecksumWhereChosenAndTheChoiceIsKept)
{
    GuiTestEnv env;
    CTestPty pty;
    {
        const auto made = NewMainWindow();
        QMainWindow &w = *made;
        Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
        ASSERT_TRUE(SessionOf(w).IsOpen());
        auto *checksum = Find<QComboBox>(w, "cboChecksum");
        auto *place = Find<QComboBox>(w, "cboChecksumPlace");
        EXPECT_EQ(checksum->accessibleName(), QStringLiteral("Checksum"));
        EXPECT_EQ(place->accessibleName(), QStringLiteral("Checksum place"));
        EXPECT_EQ(checksum->currentText(), QStringLiteral("None"));
        Choose(checksum, QStringLiteral("CRC-16/MODBUS"));
        Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_HEX);
        TypeAndSend(w, QStringLiteral("01 03 00 00 00 0A"));
        EXPECT_EQ(pty.ReceiveText(8), std::string("\x01\x03\x00\x00\x00\x0A\xC5\xCD", 8));
        EXPECT_EQ(SessionOf(w).SendBytes(), 8) << "the checksum is counted as sent";

        Find<QComboBox>(w, "cboFormat")->setCurrentIndex(FMT_STRING);
        Find<QComboBox>(w, "cboLineEnding")->setCurrentIndex(3);
        TypeAndSend(w, QStringLiteral("AB"));
        EXPECT_EQ(pty.ReceiveText(6), "AB\r\n\xB1\xD1") << "the checksum covers the typed bytes only";
        Choose(place, QStringLiteral("Before line ending"));
        TypeAndSend(w, QStringLiteral("AB"));
        EXPECT_EQ(pty.ReceiveText(6), "AB\xB1\xD1\r\n");

        // A custom CRC cancelled keeps the choice before it.
        {
            ModalCatcher catcher(AnswerChecksum(QString()));
            Choose(checksum, QStringLiteral("Custom CRC..."));
        }
        EXPECT_EQ(checksum->currentText(), QStringLiteral("CRC-16/MODBUS"));
    }
    const auto againMade = NewMainWindow();
    QMainWindow &again = *againMade;
    EXPECT_EQ(Find<QComboBox>(again, "cboChecksum")->currentText(), QStringLiteral("CRC-16/MODBUS"));
    EXPECT_EQ(Find<QComboBox>(again, "cboChecksumPlace")->currentText(),
              QStringLiteral("Before line ending"));
}

TEST(ChecksumSend, CustomCrcFromItsParametersAndNothingStoredUntilChosen)
{
    GuiTestEnv env;
    CTestPty pty;
    NewMainWindow(); // closing writes the settings
    EXPECT_FALSE(OpenAppSettings().contains(QStringLiteral("SendChecksumKind")));
    auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TPortCommands>(w)->Open(Link("Pty", pty.Path()));
    ASSERT_TRUE(SessionOf(w).IsOpen());
    // CRC-16/ARC: its check value BB3D, high byte first as a custom CRC starts.
    bool answered = false;
    ModalCatcher catcher([&answered](QDialog *dialog) {
        if (std::exchange(answered, true))
            return;
        auto *kind = Find<QComboBox>(dialog, "cboChecksumKind");
        EXPECT_EQ(kind->currentText(), QStringLiteral("Custom CRC"));
        EXPECT_TRUE(Find<QLineEdit>(dialog, "edCrcPoly")->isVisible());
        Find<QComboBox>(dialog, "cboCrcWidth")->setCurrentText(QStringLiteral("16"));
        Find<QLineEdit>(dialog, "edCrcPoly")->setText(QStringLiteral("8005"));
        Find<QLineEdit>(dialog, "edCrcInit")->setText(QStringLiteral("0"));
        Find<QLineEdit>(dialog, "edCrcXorOut")->setText(QStringLiteral("10000"));
        Find<QCheckBox>(dialog, "chkCrcRefIn")->setChecked(true);
        Find<QCheckBox>(dialog, "chkCrcRefOut")->setChecked(true);
        // Once the catcher has returned, so that the refusal's message box reaches it.
        QTimer::singleShot(0, dialog, [dialog] {
            Find<QPushButton>(dialog, "btnOK")->click(); // refused: the final XOR is too wide
            Find<QLineEdit>(dialog, "edCrcXorOut")->setText(QStringLiteral("0"));
            Find<QPushButton>(dialog, "btnOK")->click();
        });
    });
    Choose(Find<QComboBox>(w, "cboChecksum"), QStringLiteral("Custom CRC..."));
    EXPECT_TRUE(catcher.Seen().contains(QStringLiteral("A value is wider than the CRC.")))
        << catcher.Seen().join(QStringLiteral(" | ")).toStdString();
    TypeAndSend(w, QStringLiteral("123456789"));
    EXPECT_EQ(pty.ReceiveText(11), "123456789\xBB\x3D");
    made.reset();
    QSettings settings = OpenAppSettings();
    EXPECT_EQ(settings.value(QStringLiteral("SendChecksumCrcPoly")).toString(), QStringLiteral("8005"));
    const ST_ChecksumSpec kept = LoadChecksumSpec(settings, QStringLiteral("SendChecksum"));
    EXPECT_EQ(kept.Kind, EChecksumKind::Custom);
    EXPECT_TRUE(kept.Custom.RefIn && kept.Custom.RefOut && kept.Custom.Poly == 0x8005);

    // Values that make no checksum read as the defaults.
    settings.setValue(QStringLiteral("BadKind"), 99);
    settings.setValue(QStringLiteral("BadCrcWidth"), 8);
    settings.setValue(QStringLiteral("BadCrcPoly"), QStringLiteral("8005"));
    settings.setValue(QStringLiteral("BadOrder"), QStringLiteral("sideways"));
    const ST_ChecksumSpec bad = LoadChecksumSpec(settings, QStringLiteral("Bad"));
    EXPECT_EQ(bad.Kind, EChecksumKind::None);
    EXPECT_EQ(bad.Custom.Width, ST_CrcParams{}.Width);
    EXPECT_EQ(bad.Custom.Poly, ST_CrcParams{}.Poly);
    EXPECT_EQ(bad.Order, EByteOrder::BigEndian);
}

TEST(ChecksumSend, AppendChecksumAddsItToTheItemInItsOwnFormat)
{
    GuiTestEnv env;
    {
        TfrmDataEdit dialog(nullptr);
        dialog.SetItem(CCommData(std::string("01 03 00 00 00 0A"), FMT_HEX));
        ModalCatcher catcher(AnswerChecksum(QStringLiteral("CRC-16/MODBUS")));
        Find<QPushButton>(dialog, "btnAppendChecksum")->click();
        EXPECT_EQ(dialog.Item().Data(), (Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
        EXPECT_EQ(Find<QTextEdit>(dialog, "edSendData")->toPlainText().simplified(),
                  QStringLiteral("01 03 00 00 00 0A C5 CD"));
    }
    // The last choice is offered again; a frame with its own CRC-16/MODBUS sums to zero.
    const auto made = NewMainWindow();
    QMainWindow &w = *made;
    Feature<TInstantSend>(w)->SetItem(CCommData(std::string("01 03 00 00 00 0A C5 CD"), FMT_HEX));
    ModalCatcher catcher([](QDialog *dialog) {
        EXPECT_EQ(Find<QComboBox>(dialog, "cboChecksumKind")->currentText(), QStringLiteral("CRC-16/MODBUS"));
        dialog->accept();
    });
    Find<QAction>(w, "mnuAppendChecksum")->trigger();
    EXPECT_EQ(Find<QTextEdit>(w, "edSendItem")->toPlainText().simplified(),
              QStringLiteral("01 03 00 00 00 0A C5 CD 00 00"));
}
