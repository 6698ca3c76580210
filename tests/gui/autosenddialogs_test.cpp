#include "autosend/gui/TfrmAutoSendSetting.h"
#include "autosend/gui/TfrmEventEdit.h"
#include "autosend/gui/TfrmGroupRecord.h"
#include "autosend/gui/TfrmRecordTypeSelect.h"
#include "autosend/gui/TfrmSingleRecord.h"
#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"
#include "platform/textfile.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextEdit>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>

namespace {

// Answers each modal dialog by its objectName; unknown ones are accepted.
using Script = std::map<QString, std::function<void(QDialog *)>>;
std::function<void(QDialog *)> Answer(Script script)
{
    return [script](QDialog *dialog) {
        auto found = script.find(dialog->objectName());
        if (found != script.end())
            found->second(dialog);
        else
            dialog->accept();
    };
}

QStringList Column(QTreeWidget *view, int column)
{
    QStringList texts;
    for (int i = 0; i < view->topLevelItemCount(); ++i)
        texts << view->topLevelItem(i)->text(column);
    return texts;
}

CRuleList TwoRules()
{
    CRuleList rules;
    for (const char *name : {"first", "second"}) {
        auto rule = std::make_unique<CSingleRule>();
        rule->Name = name;
        rule->Event = std::make_unique<CReceiveAnythingEvent>();
        rules.Add(std::move(rule));
    }
    return rules;
}

// Clicks the button and answers the dialog named `dialog` that it opens.
void ClickAnswering(QWidget *parent, const char *button, const QString &dialog,
                    std::function<void(QDialog *)> answer)
{
    ModalCatcher catcher(Answer({{dialog, std::move(answer)}}));
    Find<QPushButton>(parent, button)->click();
}

} // namespace

TEST(EventEditDialog, ChoicesStatesAndEvents)
{
    TfrmEventEdit dialog(nullptr);
    dialog.show();
    auto *rdTime = Find<QRadioButton>(&dialog, "rdTime");
    auto *rdAction = Find<QRadioButton>(&dialog, "rdAction");
    auto *rdFixLength = Find<QRadioButton>(&dialog, "rdFixLength");
    auto *edLength = Find<QLineEdit>(&dialog, "edLength");
    auto *cbo = Find<QComboBox>(&dialog, "cboTimeEventType");
    EXPECT_TRUE(Find<QRadioButton>(&dialog, "rdReceive")->isChecked());
    EXPECT_EQ(cbo->currentIndex(), 5);
    EXPECT_EQ(dialog.Event()->ClassName(), "CReceiveAnythingEvent");

    rdTime->click();
    EXPECT_FALSE(rdFixLength->isEnabled());
    EXPECT_FALSE(Find<QGroupBox>(&dialog, "rdgAction")->isEnabled());
    EXPECT_TRUE(cbo->isEnabled());
    EXPECT_EQ(dialog.Event()->SaveText(), "Time=00:00:01.000,TimeType=5");

    CTimeEvent time("00:00:02.500", TIME_FROM_SEND_END);
    dialog.SetEvent(&time);
    EXPECT_EQ(cbo->currentText(), "From Last Send End");
    EXPECT_EQ(dialog.Event()->Description(), time.Description());

    CActionEvent resume(ACTION_RESUME);
    dialog.SetEvent(&resume);
    EXPECT_TRUE(rdAction->isChecked());
    EXPECT_FALSE(Find<QLineEdit>(&dialog, "edTime")->isEnabled());
    EXPECT_EQ(dialog.Event()->Description(), "Action : Resume");

    CReceiveFixLengthEvent eight(8);
    dialog.SetEvent(&eight);
    EXPECT_TRUE(edLength->isEnabled());
    EXPECT_EQ(dialog.Event()->Description(), "Receive Fixed Length : 8");
    CReceiveSpecDataEvent spec(CCommData(Bytes{0x41}));
    dialog.SetEvent(&spec);
    EXPECT_FALSE(edLength->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edData")->text(), "Hex,\"41 \"");

    // A length that is no integer is reported and the dialog stays open.
    dialog.SetEvent(&eight);
    edLength->setText("eight");
    ModalCatcher catcher;
    Find<QPushButton>(&dialog, "btnOK")->click();
    EXPECT_EQ(catcher.Seen(), QStringList{"'eight' is not a valid integer value"});
    EXPECT_TRUE(dialog.isVisible());
}

TEST(RuleEditors, SingleAndGroupTakeOverTheirFields)
{
    GuiTestEnv env;
    TfrmSingleRecord single(nullptr);
    single.show();
    EXPECT_EQ(Find<QLineEdit>(&single, "edEvent")->text(), "Empty");
    EXPECT_FALSE(Find<QLineEdit>(&single, "edDelayTime")->isEnabled());
    {
        // The event editor opened from the rule editor: choose On Action, Pause.
        ModalCatcher catcher(
            Answer({{"frmEventEdit", [](QDialog *d) {
                         Find<QRadioButton>(d, "rdAction")->click();
                         Find<QGroupBox>(d, "rdgAction")->findChildren<QRadioButton *>()[1]->click();
                         d->accept();
                     }}}));
        Find<QPushButton>(&single, "btnEventEdit")->click();
    }
    EXPECT_EQ(Find<QLineEdit>(&single, "edEvent")->text(), "Action : Pause");
    Find<QLineEdit>(&single, "edName")->setText("Pinger");
    Find<QCheckBox>(&single, "chkAlways")->setChecked(true);
    Find<QCheckBox>(&single, "chkDelay")->setChecked(true);
    Find<QLineEdit>(&single, "edDelayTime")->setText("x");
    {
        ModalCatcher catcher;
        single.accept();
        EXPECT_EQ(catcher.Seen(), QStringList{"'x' is not a valid integer value"});
    }
    EXPECT_TRUE(single.isVisible());
    Find<QLineEdit>(&single, "edDelayTime")->setText("250");
    single.accept();
    EXPECT_EQ(single.result(), QDialog::Accepted);
    EXPECT_EQ(single.Rule().Name, "Pinger");
    EXPECT_TRUE(single.Rule().Always);
    EXPECT_EQ(single.Rule().Delay, 250);
    EXPECT_EQ(single.Rule().TypeText(), "Single:Always");

    // Unchecking "Set Stop Event" drops the stop event and its delay, whatever the fields held.
    CGroupRule group;
    group.StartEvent = std::make_unique<CActionEvent>(ACTION_BEGIN);
    group.StopEvent = std::make_unique<CActionEvent>(ACTION_PAUSE);
    group.StopDelay = 40;
    group.StepDelay = 15;
    group.Items = {CCommData(Bytes{1}), CCommData(Bytes{2})};
    TfrmGroupRecord editor(nullptr);
    editor.SetRule(group);
    editor.show();
    EXPECT_TRUE(Find<QCheckBox>(&editor, "chkStopValid")->isChecked());
    EXPECT_TRUE(Find<QLineEdit>(&editor, "edStepDelayTime")->isEnabled());
    EXPECT_EQ(Find<QLineEdit>(&editor, "edStepEvent")->text(), "Empty");
    auto *items = Find<QTreeWidget>(&editor, "lsvSendData");
    EXPECT_EQ(Column(items, 1), (QStringList{"Hex", "Hex"}));
    EXPECT_EQ(Column(items, 2), (QStringList{"01 ", "02 "}));
    items->topLevelItem(0)->setSelected(true);
    Find<QPushButton>(&editor, "btnDown")->click();
    EXPECT_EQ(Column(items, 2), (QStringList{"02 ", "01 "}));
    Find<QLineEdit>(&editor, "edStopDelayTime")->setText("later"); // not read once the box is off
    Find<QCheckBox>(&editor, "chkStopValid")->setChecked(false);
    EXPECT_FALSE(Find<QPushButton>(&editor, "btnEndEvent")->isEnabled());
    EXPECT_FALSE(Find<QLineEdit>(&editor, "edStopDelayTime")->isEnabled());
    editor.accept();
    EXPECT_EQ(editor.result(), QDialog::Accepted);
    EXPECT_EQ(editor.Rule().StopEvent, nullptr);
    EXPECT_EQ(editor.Rule().StopDelay, 0);
    EXPECT_EQ(editor.Rule().StepDelay, 15);
    EXPECT_EQ(editor.Rule().Items[0].Data(), Bytes{2});
}

TEST(RuleSettingDialog, NewRuleWithoutEventIsShownButNotWritten)
{
    GuiTestEnv env;
    TfrmAutoSendSetting dialog(nullptr);
    dialog.show();
    auto *view = Find<QTreeWidget>(&dialog, "lsvSendRule");
    EXPECT_EQ(view->topLevelItemCount(), 0);
    EXPECT_FALSE(Find<QPushButton>(&dialog, "btnDeleteAll")->isEnabled());
    {
        // Esc in the chooser confirms its preselected Single choice.
        ModalCatcher catcher(
            Answer({{"frmRecordTypeSelect", [](QDialog *d) { QTest::keyClick(d, Qt::Key_Escape); }}}));
        Find<QPushButton>(&dialog, "btnNew")->click();
        EXPECT_EQ(catcher.Seen(), (QStringList{"frmRecordTypeSelect", "frmSingleRecord"}));
    }
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(2), "Single");
    EXPECT_EQ(view->topLevelItem(0)->text(3), "Empty");
    EXPECT_TRUE(Find<QPushButton>(&dialog, "btnEdit")->isEnabled());
    dialog.accept();
    std::string content = "x";
    ASSERT_TRUE(ReadWholeFile(env.File("Default.ass"), content));
    EXPECT_EQ(content, "");

    TfrmAutoSendSetting reopened(nullptr);
    EXPECT_EQ(Find<QTreeWidget>(&reopened, "lsvSendRule")->topLevelItemCount(), 0);
}

TEST(RuleSettingDialog, MoveDeleteAndEditKeepRowsInStep)
{
    GuiTestEnv env;
    TwoRules().SaveToFile(env.File("Default.ass"));
    TfrmAutoSendSetting dialog(nullptr);
    dialog.show();
    auto *view = Find<QTreeWidget>(&dialog, "lsvSendRule");
    ASSERT_EQ(Column(view, 1), (QStringList{"first", "second"}));
    // The last row written is the one selected, so the commands that need a selection are ready.
    ASSERT_EQ(view->selectedItems().size(), 1);
    EXPECT_EQ(view->selectedItems()[0]->text(1), "second");
    EXPECT_TRUE(Find<QPushButton>(&dialog, "btnEdit")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(&dialog, "btnUp")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(&dialog, "btnDown")->isEnabled());

    view->clearSelection();
    view->topLevelItem(0)->setSelected(true);
    EXPECT_FALSE(Find<QPushButton>(&dialog, "btnUp")->isEnabled());
    Find<QPushButton>(&dialog, "btnDown")->click();
    EXPECT_EQ(Column(view, 0), (QStringList{"1", "2"}));
    EXPECT_EQ(Column(view, 1), (QStringList{"second", "first"}));

    // Edit renames the selected rule ("first", now at row 2); Cancel would leave it alone.
    {
        ModalCatcher catcher(Answer({{"frmSingleRecord", [](QDialog *d) {
                                          Find<QLineEdit>(d, "edName")->setText("renamed");
                                          d->accept();
                                      }}}));
        Find<QPushButton>(&dialog, "btnEdit")->click();
    }
    EXPECT_EQ(Column(view, 1), (QStringList{"second", "renamed"}));
    dialog.accept();
    CRuleList written;
    ASSERT_TRUE(written.LoadFromFile(env.File("Default.ass")));
    EXPECT_EQ(written.At(0)->Name, "second");
    EXPECT_EQ(written.At(1)->Name, "renamed");

    Find<QPushButton>(&dialog, "btnDelete")->click();
    EXPECT_EQ(Column(view, 0), QStringList{"1"});
    EXPECT_EQ(view->selectedItems().size(), 1);
    Find<QPushButton>(&dialog, "btnDelete")->click();
    EXPECT_EQ(view->topLevelItemCount(), 0);
    EXPECT_TRUE(view->selectedItems().isEmpty());
    EXPECT_FALSE(Find<QPushButton>(&dialog, "btnDeleteAll")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(&dialog, "btnDelete")->isEnabled());
}

TEST(RuleSettingDialog, UnreadableDefaultFileShowsTheErrorAndKeepsEarlierRules)
{
    GuiTestEnv env;
    std::vector<std::string> lines = TwoRules().SaveToLines();
    lines[13] = "Delay=soon";
    WriteTextLines(env.File("Default.ass"), lines);
    ModalCatcher catcher;
    TfrmAutoSendSetting dialog(nullptr);
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return !catcher.Seen().isEmpty(); }));
    EXPECT_EQ(catcher.Seen(), QStringList{"'soon' is not a valid integer value"});
    EXPECT_EQ(Column(Find<QTreeWidget>(&dialog, "lsvSendRule"), 1), QStringList{"first"});
}

namespace {

// Fills the data edit dialog with a String item and confirms it.
std::function<void(QDialog *)> TypeString(const QString &text, const QString &name = QString())
{
    return [text, name](QDialog *d) {
        Find<QRadioButton>(d, "rdgFormat0")->click();
        if (!name.isEmpty())
            Find<QLineEdit>(d, "edName")->setText(name);
        auto *edit = Find<QTextEdit>(d, "edSendData");
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        d->accept();
    };
}

std::function<void(QDialog *)> ChooseFile(const QString &path, QStringList *filters = nullptr)
{
    return [path, filters](QDialog *d) {
        auto *files = qobject_cast<QFileDialog *>(d);
        ASSERT_NE(files, nullptr);
        if (filters)
            *filters = files->nameFilters();
        SelectFile(files, path);
        d->accept();
    };
}

} // namespace

TEST(EventEditDialog, TimesOfDayOnlyAndSpecDataThroughTheDataEditor)
{
    GuiTestEnv env;
    TfrmEventEdit dialog(nullptr);
    dialog.show();
    Find<QRadioButton>(&dialog, "rdTime")->click();
    auto *edTime = Find<QLineEdit>(&dialog, "edTime");
    for (const char *bad : {"24:00:00.000", "00:60:00.000", "00:00:61.000"}) {
        edTime->setText(bad);
        ModalCatcher catcher;
        Find<QPushButton>(&dialog, "btnOK")->click();
        EXPECT_EQ(catcher.Seen(),
                  QStringList{QString("'%1' is not a valid time of day (hh:mm:ss.sss)").arg(bad)});
        EXPECT_TRUE(dialog.isVisible()) << bad;
    }
    edTime->setText("23:59:59.999");
    Find<QPushButton>(&dialog, "btnOK")->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Event()->SaveText(), "Time=23:59:59.999,TimeType=5");

    // Spec data: edited as "Spec Data" with the name locked, taken over when confirmed.
    TfrmEventEdit spec(nullptr);
    spec.show();
    Find<QRadioButton>(&spec, "rdSpecData")->click();
    QString lockedName;
    bool nameLocked = false;
    {
        ModalCatcher catcher([&](QDialog *d) {
            lockedName = Find<QLineEdit>(d, "edName")->text();
            nameLocked = Find<QLineEdit>(d, "edName")->isReadOnly();
            TypeString("Q?")(d);
        });
        Find<QPushButton>(&spec, "btnEdit")->click();
        EXPECT_EQ(catcher.Seen(), QStringList{"frmDataEdit"});
    }
    EXPECT_EQ(lockedName, "Spec Data");
    EXPECT_TRUE(nameLocked);
    EXPECT_EQ(Find<QLineEdit>(&spec, "edData")->text(), "String,\"Q?\"");
    const std::unique_ptr<CEvent> built = spec.Event();
    auto *event = dynamic_cast<CReceiveSpecDataEvent *>(built.get());
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->SpecData.Data(), (Bytes{'Q', '?'}));
    {
        // Cancelled, the data editor leaves the spec data alone.
        ModalCatcher catcher([](QDialog *d) { d->reject(); });
        Find<QPushButton>(&spec, "btnEdit")->click();
    }
    EXPECT_EQ(Find<QLineEdit>(&spec, "edData")->text(), "String,\"Q?\"");
}

TEST(RuleEditors, GroupItemsAreEditedSavedAndLoaded)
{
    GuiTestEnv env;
    TfrmGroupRecord editor(nullptr);
    editor.show();
    auto *items = Find<QTreeWidget>(&editor, "lsvSendData");
    EXPECT_FALSE(Find<QPushButton>(&editor, "btnDeleteAll")->isEnabled());
    bool nameLocked = true;
    {
        ModalCatcher catcher(Answer({{"frmDataEdit", [&](QDialog *d) {
                                          nameLocked = Find<QLineEdit>(d, "edName")->isReadOnly();
                                          TypeString("one", "first")(d);
                                      }}}));
        Find<QPushButton>(&editor, "btnNew")->click();
    }
    EXPECT_FALSE(nameLocked) << "a new item's name is free";
    ClickAnswering(&editor, "btnNew", "frmDataEdit", TypeString("two", "second"));
    EXPECT_EQ(Column(items, 0), (QStringList{"first", "second"}));
    EXPECT_EQ(Column(items, 2), (QStringList{"one", "two"}));
    // Edit works on the selected row (the one just added).
    ClickAnswering(&editor, "btnEdit", "frmDataEdit", TypeString("TWO"));
    EXPECT_EQ(Column(items, 2), (QStringList{"one", "TWO"}));

    const QString saved = env.FilePath("items.sds");
    QStringList filters;
    ClickAnswering(&editor, "btnSave", "dlgSave", ChooseFile(saved, &filters));
    EXPECT_EQ(filters, (QStringList{"SendDataSetting (*.sds)", "Text File(*.txt)", "All Files(*.*)"}));
    Find<QPushButton>(&editor, "btnDeleteAll")->click();
    EXPECT_EQ(items->topLevelItemCount(), 0);
    ClickAnswering(&editor, "btnLoad", "dlgOpen", ChooseFile(saved));
    EXPECT_EQ(Column(items, 0), (QStringList{"first", "second"}));
    EXPECT_EQ(Column(items, 2), (QStringList{"one", "TWO"}));

    // A text file gives one String item per line, named by its line number.
    WriteTextLines(env.File("lines.TXT"), {"alpha", "beta", "gamma"});
    ClickAnswering(&editor, "btnLoad", "dlgOpen", ChooseFile(env.FilePath("lines.TXT")));
    EXPECT_EQ(Column(items, 0), (QStringList{"LN1", "LN2", "LN3"}));
    EXPECT_EQ(Column(items, 1), (QStringList{"String", "String", "String"}));
    items->clearSelection();
    items->topLevelItem(2)->setSelected(true);
    Find<QPushButton>(&editor, "btnDelete")->click();
    EXPECT_EQ(Column(items, 0), (QStringList{"LN1", "LN2"}));
    ASSERT_EQ(items->selectedItems().size(), 1);
    EXPECT_EQ(items->selectedItems()[0]->text(0), "LN2") << "the previous row when the last was deleted";
    Find<QPushButton>(&editor, "btnUp")->click();
    EXPECT_EQ(Column(items, 0), (QStringList{"LN2", "LN1"}));
    editor.accept();
    ASSERT_EQ(editor.Rule().Items.size(), 2u);
    EXPECT_EQ(editor.Rule().Items[0].Data(), (Bytes{'b', 'e', 't', 'a'}));
}

TEST(RuleSettingDialog, SaveAndLoadRuleFiles)
{
    GuiTestEnv env;
    TwoRules().SaveToFile(env.File("Default.ass"));
    TfrmAutoSendSetting dialog(nullptr);
    dialog.show();
    auto *view = Find<QTreeWidget>(&dialog, "lsvSendRule");
    const QString other = env.FilePath("other.ass");
    QStringList filters;
    ClickAnswering(&dialog, "btnSaveAs", "dlgSave", ChooseFile(other, &filters));
    EXPECT_EQ(filters, (QStringList{"Auto Send Setting (*.ass)", "Text File(*.txt)", "All Files(*.*)"}));
    std::string written, expected;
    ASSERT_TRUE(ReadWholeFile(other.toStdString(), written));
    ASSERT_TRUE(ReadWholeFile(env.File("Default.ass"), expected));
    EXPECT_EQ(written, expected);

    Find<QPushButton>(&dialog, "btnDeleteAll")->click();
    EXPECT_EQ(view->topLevelItemCount(), 0);
    ClickAnswering(&dialog, "btnLoad", "dlgOpen", ChooseFile(other));
    EXPECT_EQ(Column(view, 0), (QStringList{"1", "2"}));
    EXPECT_EQ(Column(view, 1), (QStringList{"first", "second"}));
    EXPECT_TRUE(view->topLevelItem(1)->isSelected());
    EXPECT_TRUE(Find<QPushButton>(&dialog, "btnDelete")->isEnabled());

    // A file without a readable rule empties the list and the view.
    WriteTextLines(env.File("junk.ass"), {"no rules here"});
    ClickAnswering(&dialog, "btnLoad", "dlgOpen", ChooseFile(env.FilePath("junk.ass")));
    EXPECT_EQ(view->topLevelItemCount(), 0);
    EXPECT_EQ(dialog.Rules().Count(), 0);
    EXPECT_FALSE(Find<QPushButton>(&dialog, "btnDeleteAll")->isEnabled());
}

TEST(EventEditDialog, WhatTheChoicesCannotOfferIsShownAndKeptAsItIs)
{
    const std::pair<const char *, const char *> handEdited[] = {
        {"CActionEvent", "ActionType=3"},
        {"CActionEvent", "ActionType=200"},
        {"CTimeEvent", "Time=00:00:02.000,TimeType=9"},
        {"CTimeEvent", "Time=1:2:3.4,TimeType=1"},
        {"CTimeEvent", "Time=00:75:00.000,TimeType=0"},
        {"CTimeEvent", "Time=123:00:00.000000,TimeType=2"},
    };
    TfrmEventEdit dialog(nullptr);
    ModalCatcher catcher;
    for (const auto &[className, text] : handEdited) {
        std::unique_ptr<CEvent> event = CreateEvent(className);
        ASSERT_TRUE(event->LoadText(text)) << text;
        dialog.SetEvent(event.get());
        dialog.show();
        Find<QPushButton>(&dialog, "btnOK")->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << text;
        EXPECT_EQ(dialog.Event()->SaveText(), text);
    }
    EXPECT_TRUE(catcher.Seen().isEmpty());

    // Shown as it is (a choice of its own, the raw time, a type entry); a changed time is checked.
    CActionEvent stop(ACTION_STOP);
    dialog.SetEvent(&stop);
    EXPECT_TRUE(Find<QRadioButton>(&dialog, "rdActionUnlisted")->isChecked());
    EXPECT_EQ(Find<QRadioButton>(&dialog, "rdActionUnlisted")->text(), "Stop");
    CTimeEvent odd("1:2:3.4", 9);
    dialog.SetEvent(&odd);
    EXPECT_EQ(Find<QLineEdit>(&dialog, "edTime")->displayText(), "1:2:3.4");
    EXPECT_EQ(Find<QComboBox>(&dialog, "cboTimeEventType")->currentText(), "Type 9");
    Find<QLineEdit>(&dialog, "edTime")->setText("1:2:99.4");
    dialog.show();
    Find<QPushButton>(&dialog, "btnOK")->click();
    EXPECT_EQ(catcher.Seen(), QStringList{"'1:2:99.4' is not a valid time of day (hh:mm:ss.sss)"});
}
