#pragma once
// The language of the program's texts. English is the language the texts are written in; German
// and Simplified Chinese come as translations built into the program, with Qt's own for its
// dialogs. The choice made in View > Language is kept in the settings and read at start, before
// the first window; without one the desktop's languages decide, in the order the user put them.
// KESTRUM_LANGUAGE overrides both (the tests force English with it, and "pseudo" stretches and
// accents every text so a cut-off caption shows up in a screenshot).
#include <QString>
#include <QStringList>

class QCoreApplication;
class QSettings;

namespace Language {
// The settings value, and its choices besides a language code: follow the desktop.
inline const QString SettingsKey = QStringLiteral("Language");
inline const QString System = QStringLiteral("system");
inline const QString English = QStringLiteral("en");
inline const QString Pseudo = QStringLiteral("pseudo");
// The codes the program has translations for.
const QStringList &Translated();

// What the settings ask for: System, English or one of Translated().
QString Chosen(const QSettings &settings);
// The code whose translation to load for a choice: English, one of Translated() or Pseudo; for
// System the first of `uiLanguages` that is English or translated (English when none is).
QString Resolve(const QString &choice, const QStringList &uiLanguages);
// Installs the translators for the choice in $KESTRUM_LANGUAGE, else in the settings; returns the
// code in force.
QString Install(QCoreApplication &app, const QSettings &settings);
} // namespace Language
