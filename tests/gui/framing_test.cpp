// View > Framing... on a pseudo-terminal: a profile made in the dialog, chosen for the open link,
// cuts what the device sends, and the choice outlives the window.
#include "frame/framechoices.h"
#include "frame/gui/TFramingStore.h"
#include "mainwindow/features/TPortCommands.h"
#include "platform/textfile.h"
#include "session/portsession.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "guilink.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "ptypair.h"

namespace {

QDialog *OpenFramingDialog(QMainWindow &w)
{
    w.findChild<QAction *>(QStringLiteral("mnuViewFraming"))->trigger();
    auto *dialog = w.findChild<QDialog *>(QStringLiteral("frmFramingProfiles"));
    EXPECT_NE(dialog, nullptr);
    return dialog;
}

void Retype(QLineEdit *edit, const QString &text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

} // namespace

TEST(Framing, AProfileMadeInTheDialogFramesTheOpenLinkAndStaysItsChoice)
{
    GuiTestEnv env;
    CTestPty pty;
    auto made = NewMainWindow();
    QMainWindow *w = made.get();
    w->show();
    Feature<TPortCommands>(*w)->Open(Link("Pty", pty.Path()));
    ASSERT_TRUE(SessionOf(*w).IsOpen());
    EXPECT_FALSE(SessionOf(*w).Frames().On()) << "a link without a profile frames nothing";
    pty.Send("ab;c");
    ASSERT_TRUE(WaitUntil([&] { return SessionOf(*w).RecBytes() == 4; }));

    QDialog *dialog = OpenFramingDialog(*w);
    ASSERT_NE(dialog, nullptr);
    for (QWidget *control : dialog->findChildren<QWidget *>()) {
        // A spin box's own edit is named by the spin box.
        if (control->focusPolicy() != Qt::NoFocus &&
            !control->objectName().startsWith(QStringLiteral("qt_"))) {
            EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
        }
    }
    Find<QPushButton>(dialog, "btnNewProfile")->click();
    Retype(Find<QLineEdit>(dialog, "edtProfileName"), QStringLiteral("Semicolons"));
    auto *end = Find<QLineEdit>(dialog, "edtDelimiterEnd");
    auto *ok = Find<QPushButton>(dialog, "btnOK");
    // A half hex byte is shown at the field and cannot be saved.
    Retype(end, QStringLiteral("3B 0"));
    EXPECT_TRUE(Find<QLabel>(dialog, "lblEndError")->isVisible());
    EXPECT_FALSE(ok->isEnabled());
    Find<QComboBox>(dialog, "cmbDelimiterAs")->setCurrentIndex(1);
    Retype(end, QStringLiteral(";"));
    EXPECT_FALSE(Find<QLabel>(dialog, "lblEndError")->isVisible());
    EXPECT_TRUE(ok->isEnabled());
    Find<QCheckBox>(dialog, "chkKeepDelimiters")->click();

    // The preview cuts what was received by the profile as it stands.
    auto *preview = Find<QTableWidget>(dialog, "tblFramingPreview");
    ASSERT_EQ(preview->rowCount(), 2);
    EXPECT_TRUE(preview->item(0, 2)->text().startsWith(QStringLiteral("61 62 ")))
        << preview->item(0, 2)->text().toStdString();

    Find<QCheckBox>(dialog, "chkUseForLink")->click();
    ok->click();
    EXPECT_FALSE(dialog->isVisible());

    // Applied to the open link at once.
    ASSERT_TRUE(SessionOf(*w).Frames().On());
    std::vector<std::string> frames;
    SessionOf(*w).Frames().SetObserver("test", [&](const ST_Frame &f) {
        const std::vector<uint8_t> payload = f.Payload();
        frames.emplace_back(payload.begin(), payload.end());
    });
    pty.Send("one;two;");
    ASSERT_TRUE(WaitUntil([&] { return frames.size() >= 2; }));
    EXPECT_EQ(frames, (std::vector<std::string>{"one", "two"}));

    // The next window frames the link by it when it opens it, and the file names it.
    made.reset();
    made = NewMainWindow();
    w = made.get();
    Feature<TPortCommands>(*w)->Open(Link("Pty", pty.Path()));
    ASSERT_TRUE(SessionOf(*w).Frames().On());
    EXPECT_EQ(SessionOf(*w).Frames().Profile()->Name, "Semicolons");
    TFramingStore::Instance().WaitWritten();
    EXPECT_EQ(ReadFramingChoices(FramingFilePath(env.Dir().toStdString())).Links.at("Pty"), "Semicolons");
}

TEST(Framing, ADamagedProfilesFileIsShownAndNeverWrittenOver)
{
    GuiTestEnv env;
    const std::string path = FramingFilePath(env.Dir().toStdString());
    const std::string damaged = "# Kestrum framing profiles 1\r\n[Mine]\r\nmode = sideways\r\n";
    WriteFileAtomic(path, damaged);
    auto made = NewMainWindow();
    QDialog *dialog = OpenFramingDialog(*made);
    ASSERT_NE(dialog, nullptr);
    auto *error = Find<QLabel>(dialog, "lblFramingError");
    EXPECT_TRUE(error->isVisible());
    EXPECT_TRUE(error->text().contains(QStringLiteral("line 3"))) << error->text().toStdString();
    // Editing a profile of one's own does not make the file savable.
    Find<QPushButton>(dialog, "btnNewProfile")->click();
    EXPECT_FALSE(Find<QPushButton>(dialog, "btnOK")->isEnabled());
    std::string text;
    ASSERT_TRUE(ReadWholeFile(path, text));
    EXPECT_EQ(text, damaged);
}

TEST(Framing, ACopyOfABuiltInKeepsItsDecoderAndTakesAnAnswerTimeOut)
{
    GuiTestEnv env;
    auto made = NewMainWindow();
    QDialog *dialog = OpenFramingDialog(*made);
    ASSERT_NE(dialog, nullptr);
    auto *list = Find<QListWidget>(dialog, "lstProfiles");
    list->setCurrentItem(list->findItems(QStringLiteral("Modbus RTU"), Qt::MatchStartsWith).value(0));
    EXPECT_EQ(Find<QComboBox>(dialog, "cmbDecoder")->currentText(), "Modbus RTU");
    Find<QPushButton>(dialog, "btnCopyProfile")->click();
    Find<QSpinBox>(dialog, "spnAnswerTimeout")->setValue(250);
    Find<QPushButton>(dialog, "btnOK")->click();
    TFramingStore::Instance().WaitWritten();

    const ST_FramingChoices saved = ReadFramingChoices(FramingFilePath(env.Dir().toStdString()));
    ASSERT_EQ(saved.Profiles.size(), 1u);
    // Only the built-in's own name stands for its decoder: the copy names it.
    EXPECT_EQ(saved.Profiles[0].Decoder, "modbus-rtu");
    const auto &keys = saved.Profiles[0].Unknown;
    EXPECT_NE(std::find(keys.begin(), keys.end(),
                        std::make_pair(std::string("answer_timeout_ms"), std::string("250"))),
              keys.end());
}
