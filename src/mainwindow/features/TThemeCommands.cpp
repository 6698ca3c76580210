#include "mainwindow/features/TThemeCommands.h"

#include "platform/gui/settingvalue.h"
#include "shell/TMenuSlots.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QSettings>
#include <QSignalBlocker>
#include <QWidget>

namespace {

const TSettingValue<int> kTheme("Theme", -1);

} // namespace

TThemeCommands::TThemeCommands(QWidget *window, TMenuSlots &menus) : QObject(window)
{
    auto *menu = new QMenu(tr("Th&eme"), window);
    menu->setObjectName(QStringLiteral("mnuViewTheme"));
    menu->setAccessibleName(tr("Theme"));
    menu->menuAction()->setObjectName(QStringLiteral("mnuViewThemeItem"));
    auto *group = new QActionGroup(this);
    group->setExclusive(true);
    const std::array<std::pair<const char *, QString>, 3> items = {{
        {"mnuViewThemeSystem", tr("&System")},
        {"mnuViewThemeLight", tr("&Light")},
        {"mnuViewThemeDark", tr("&Dark")},
    }};
    for (size_t i = 0; i < items.size(); ++i) {
        QAction *item = menu->addAction(items[i].second);
        item->setObjectName(QString::fromLatin1(items[i].first));
        item->setCheckable(true);
        group->addAction(item);
        const auto theme = static_cast<EAppTheme>(i);
        connect(item, &QAction::triggered, this, [theme] { TAppTheme::Instance().SetTheme(theme); });
        m_items[i] = item;
    }
    menus.AddMenu(menu);
    TAppTheme &app = TAppTheme::Instance();
    ShowChoice(app.Theme());
    // A choice made in any window shows in all of them.
    connect(&app, &TAppTheme::Changed, this, &TThemeCommands::ShowChoice);
}

void TThemeCommands::ShowChoice(EAppTheme theme)
{
    QAction *item = m_items[static_cast<size_t>(theme)];
    const QSignalBlocker quiet(item);
    item->setChecked(true);
}

void TThemeCommands::Load(const QSettings &settings)
{
    // The value sits outside the group of a later window's values.
    const int value = settings.group().isEmpty()
                          ? kTheme.Read(settings)
                          : kTheme.Read(QSettings(settings.fileName(), settings.format()));
    if (value >= 0 && value < static_cast<int>(m_items.size()))
        TAppTheme::Instance().SetTheme(static_cast<EAppTheme>(value));
}

void TThemeCommands::Save(QSettings &settings) const
{
    const QString group = settings.group();
    if (!group.isEmpty())
        settings.endGroup();
    kTheme.Write(settings, static_cast<int>(TAppTheme::Instance().Theme()));
    if (!group.isEmpty())
        settings.beginGroup(group);
}
