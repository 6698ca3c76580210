#include "platform/gui/language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <algorithm>

namespace Language {

const QStringList &Translated()
{
    static const QStringList codes{QStringLiteral("de"), QStringLiteral("zh_CN")};
    return codes;
}

QString Chosen(const QSettings &settings)
{
    const QString value = settings.value(SettingsKey).toString();
    if (value == English || Translated().contains(value))
        return value;
    return System;
}

namespace {

// A desktop's name for a language ("de-AT", "zh-Hans-CN", "en_GB.UTF-8") as one of ours, or empty.
QString Match(const QString &uiLanguage)
{
    const QString name =
        uiLanguage.section(QLatin1Char('.'), 0, 0).replace(QLatin1Char('-'), QLatin1Char('_'));
    const QString base = name.section(QLatin1Char('_'), 0, 0).toLower();
    if (base == QLatin1String("en") || base == QLatin1String("c") || base == QLatin1String("posix"))
        return English;
    if (base == QLatin1String("de"))
        return QStringLiteral("de");
    // Taiwan's and Hong Kong's Chinese is written in the traditional characters, which this
    // translation is not.
    if (base == QLatin1String("zh") && !name.contains(QLatin1String("Hant")) &&
        !name.endsWith(QLatin1String("_TW")) && !name.endsWith(QLatin1String("_HK")) &&
        !name.endsWith(QLatin1String("_MO")))
        return QStringLiteral("zh_CN");
    return {};
}

// Letters as a wider, accented twin; a caption stays readable while every text shows whether it
// went through the translation and whether its place is wide enough.
QChar Accented(QChar c)
{
    static const QString plain = QStringLiteral("aceinosuyAEIOUCNSY");
    static const QString accented = QStringLiteral("áçéîñöšüýÅÉÎÖÜÇÑŠÝ");
    const int at = plain.indexOf(c);
    return at < 0 ? c : accented.at(at);
}

class TPseudoTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *sourceText, const char *, int) const override
    {
        const QString source = QString::fromUtf8(sourceText);
        if (source.trimmed().isEmpty())
            return source;
        QString out;
        bool inTag = false;
        for (int i = 0; i < source.size(); ++i) {
            const QChar c = source.at(i);
            if (c == QLatin1Char('<'))
                inTag = true;
            // Placeholders, mnemonic letters and markup keep what they mean.
            const bool keep =
                inTag ||
                (i > 0 && (source.at(i - 1) == QLatin1Char('%') || source.at(i - 1) == QLatin1Char('&')));
            out += keep ? c : Accented(c);
            if (c == QLatin1Char('>'))
                inTag = false;
        }
        // About 40 % longer, inside marks that show where the text ends.
        const int extra = std::max(1, static_cast<int>(source.size() * 2 / 5) - 2);
        return QLatin1Char('[') + out + QString(extra, QChar(0x00B7)) + QLatin1Char(']');
    }
};

} // namespace

QString Resolve(const QString &choice, const QStringList &uiLanguages)
{
    if (choice == Pseudo)
        return choice;
    if (choice != System) {
        const QString code = Match(choice);
        if (!code.isEmpty())
            return code;
    }
    for (const QString &ui : uiLanguages) {
        const QString code = Match(ui);
        if (!code.isEmpty())
            return code;
    }
    return English;
}

QString Install(QCoreApplication &app, const QSettings &settings)
{
    const QString forced = qEnvironmentVariable("KESTRUM_LANGUAGE");
    const QString choice = forced.isEmpty() ? Chosen(settings) : forced;
    const QString code = Resolve(choice, QLocale::system().uiLanguages());
    if (code == Pseudo) {
        QCoreApplication::installTranslator(new TPseudoTranslator(&app));
        return code;
    }
    if (code == English)
        return code;
    auto *own = new QTranslator(&app);
    if (own->load(QStringLiteral("kestrum_") + code, QStringLiteral(":/i18n")))
        QCoreApplication::installTranslator(own);
    // Qt's own texts: the buttons of its message boxes and its file dialog.
    auto *qt = new QTranslator(&app);
    if (qt->load(QStringLiteral("qtbase_") + code, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    return code;
}

} // namespace Language
