#include "autosend/gui/ruleeditsupport.h"
#include "monitor/gui/monitorerrors.h"
#include "platform/errors.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/coretext.h"
#include "platform/gui/language.h"
#include "transfer/filetransfer.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTranslator>
#include <gtest/gtest.h>

#include "guitestenv.h"
#include "guiwait.h"
#include "guiwidgets.h"

namespace {

// The translators a test put in go again, so the tests after it read English.
struct TranslatorsRemoved
{
    ~TranslatorsRemoved()
    {
        for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
};

} // namespace

// The desktop's languages in the user's order: the first one the program has (English counts) wins.
TEST(Language, SystemChoiceTakesTheFirstLanguageThereIs)
{
    const QString system = Language::System;
    EXPECT_EQ(Language::Resolve(system, {"fr-FR", "de-AT", "en-US"}), "de");
    EXPECT_EQ(Language::Resolve(system, {"en-GB", "de-DE"}), "en");
    EXPECT_EQ(Language::Resolve(system, {"zh-Hans-CN"}), "zh_CN");
    EXPECT_EQ(Language::Resolve(system, {"zh-TW", "fr"}), "en");
    EXPECT_EQ(Language::Resolve(system, {}), "en");
    EXPECT_EQ(Language::Resolve("de", {"zh-CN"}), "de");
    EXPECT_EQ(Language::Resolve("de_CH.UTF-8", {"en"}), "de");
}

// German chosen in View > Language is in force from the next start: the menu bar, the window's
// own texts and Qt's buttons read in German.
TEST(Language, GermanChosenInTheMenuIsSpokenAtTheNextStart)
{
    GuiTestEnv env;
    env.ClearSettings();
    {
        const auto first = NewMainWindow();
        auto *german = first->findChild<QAction *>(QStringLiteral("mnuViewLanguageGerman"));
        ASSERT_NE(german, nullptr);
        EXPECT_EQ(first->findChild<QMenu *>(QStringLiteral("mnuFile"))->title(), "&File");
        ModalCatcher boxes;
        german->trigger();
        // The choice tells the user when it applies.
        EXPECT_EQ(boxes.Seen(), QStringList{"The language changes at the next start of Kestrum."});
    }
    EXPECT_EQ(OpenAppSettings().value(Language::SettingsKey).toString(), "de");

    TranslatorsRemoved removed;
    const QByteArray forced = qgetenv("KESTRUM_LANGUAGE");
    qunsetenv("KESTRUM_LANGUAGE");
    EXPECT_EQ(Language::Install(*qApp, OpenAppSettings()), "de");
    qputenv("KESTRUM_LANGUAGE", forced);

    const auto window = NewMainWindow();
    EXPECT_EQ(window->findChild<QMenu *>(QStringLiteral("mnuFile"))->title(), "&Datei");
    EXPECT_EQ(window->findChild<QMenu *>(QStringLiteral("mnuHelp"))->title(), "&Hilfe");
    EXPECT_EQ(window->findChild<QAction *>(QStringLiteral("mnuOpOpenPort"))->text(),
              QString::fromUtf8("Port ö&ffnen"));
    EXPECT_TRUE(window->findChild<QAction *>(QStringLiteral("mnuViewLanguageGerman"))->isChecked());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
}

// The core words its messages in English for files and scripts; where a German window shows them
// they read in German, with the names and the system's reasons in them as they are.
TEST(Language, TheCoresMessagesReadInGermanInTheWindow)
{
    GuiTestEnv env;
    TranslatorsRemoved removed;
    const QByteArray forced = qgetenv("KESTRUM_LANGUAGE");
    qputenv("KESTRUM_LANGUAGE", "de");
    ASSERT_EQ(Language::Install(*qApp, OpenAppSettings()), "de");
    qputenv("KESTRUM_LANGUAGE", forced);

    EXPECT_EQ(CoreErrorText(EConvertError("12a")),
              QString::fromUtf8("\u201e12a\u201c ist keine gültige Ganzzahl"));
    // A '%' in a file's name is no place holder.
    EXPECT_EQ(CoreErrorText(EFCreateError("/tmp/100%1.sds")),
              "Datei /tmp/100%1.sds kann nicht angelegt werden");
    EXPECT_EQ(CoreErrorText(EFOpenError("/tmp/a%2.sds", "Permission denied")),
              QString::fromUtf8("Datei /tmp/a%2.sds kann nicht geöffnet werden: Permission denied"));
    EXPECT_EQ(CoreText(TransferEndText(ETransferEnd::NoAnswer)),
              QString::fromUtf8("Der Empfänger antwortet nicht"));
    EXPECT_EQ(MonitorErrorText("Can not Open /dev/ttyNONE: no such port"),
              QString::fromUtf8("/dev/ttyNONE kann nicht geöffnet werden: diesen Port gibt es nicht"));
    EXPECT_EQ(MonitorErrorText("connection refused by bench:4000"), "connection refused by bench:4000");

    CSingleRule single;
    single.Always = true;
    single.Event = std::make_unique<CTimeEvent>("00:00:01.000", TIME_FROM_START);
    EXPECT_EQ(RuleTypeText(single), "Einzeln:Immer");
    EXPECT_TRUE(RuleComment(single).startsWith("Zeit ab Start: Wert 00:00:01.000 | "))
        << RuleComment(single).toStdString();
    EXPECT_EQ(EventText(std::make_unique<CActionEvent>(ACTION_STOP)), "Aktion: Stopp");
    CGroupRule group;
    group.Items.resize(2);
    EXPECT_EQ(RuleComment(group), QString::fromUtf8("Anzahl der Einträge: 2"));
}
