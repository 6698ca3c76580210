#include "mainwindow/features/TLanguageCommands.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/language.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSettings>

TLanguageCommands::TLanguageCommands(QWidget *window, TMenuSlots &menus,
                                     std::function<void(const QString &)> showMessage)
    : QObject(window), m_showMessage(std::move(showMessage)), m_chosen(Language::System)
{
    auto *sub = new QMenu(tr("Lang&uage"), window);
    sub->setObjectName(QStringLiteral("mnuViewLanguage"));
    sub->setAccessibleName(tr("Language"));
    sub->menuAction()->setObjectName(QStringLiteral("mnuViewLanguageAction"));
    menus.AddMenu(sub);
    auto *group = new QActionGroup(sub);
    // Each language is named in itself, so it can be found whatever language is in force.
    const std::pair<const char *, std::pair<QString, QString>> items[] = {
        {"mnuViewLanguageSystem", {Language::System, tr("&System")}},
        {"mnuViewLanguageEnglish", {Language::English, QStringLiteral("&English")}},
        {"mnuViewLanguageGerman", {QStringLiteral("de"), QStringLiteral("&Deutsch")}},
        {"mnuViewLanguageChinese", {QStringLiteral("zh_CN"), QStringLiteral("\u7b80\u4f53\u4e2d\u6587")}}};
    for (const auto &[name, item] : items) {
        QAction *action = sub->addAction(item.second);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        group->addAction(action);
        const QString code = item.first;
        connect(action, &QAction::triggered, this, [this, code] { Choose(code); });
        m_items.emplace_back(code, action);
    }
    ShowChosen();
}

void TLanguageCommands::ShowChosen()
{
    // The choice is the program's: read where every window's store starts, not in a window's group.
    m_chosen = Language::Chosen(OpenAppSettings());
    for (const auto &[code, action] : m_items)
        action->setChecked(code == m_chosen);
}

void TLanguageCommands::Choose(const QString &code)
{
    if (code == m_chosen)
        return;
    m_chosen = code;
    QSettings settings = OpenAppSettings();
    settings.setValue(Language::SettingsKey, code);
    m_showMessage(tr("The language changes at the next start of Kestrum."));
}
