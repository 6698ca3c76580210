#include "app/language.h"
#include "mainwindow/TfrmMain.h"
#include "platform/gui/appsettings.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QTranslator>
#include <gtest/gtest.h>

#include "guitestenv.h"
#include "guiwait.h"

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
        TfrmMain first;
        auto *german = first.findChild<QAction *>(QStringLiteral("mnuViewLanguageGerman"));
        ASSERT_NE(german, nullptr);
        EXPECT_EQ(first.findChild<QMenu *>(QStringLiteral("mnuFile"))->title(), "&File");
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

    TfrmMain window;
    EXPECT_EQ(window.findChild<QMenu *>(QStringLiteral("mnuFile"))->title(), "&Datei");
    EXPECT_EQ(window.findChild<QMenu *>(QStringLiteral("mnuHelp"))->title(), "&Hilfe");
    EXPECT_EQ(window.findChild<QAction *>(QStringLiteral("mnuOpOpenPort"))->text(),
              QString::fromUtf8("Port ö&ffnen"));
    EXPECT_TRUE(window.findChild<QAction *>(QStringLiteral("mnuViewLanguageGerman"))->isChecked());
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Abbrechen");
}
