#pragma once
// View > Theme: System, Light or Dark for every window of the process at once (see
// platform/gui/TAppTheme.h). The choice belongs to the application rather than to a window, so it
// is kept once, beside the first window's values, whichever window writes it; a user who never
// chose keeps the desktop's look untouched.
#include "platform/gui/TAppTheme.h"

#include <QObject>
#include <array>

class QAction;
class QSettings;
class QWidget;
class TMenuSlots;

class TThemeCommands : public QObject
{
    Q_OBJECT
public:
    TThemeCommands(QWidget *window, TMenuSlots &menus);

    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    void ShowChoice(EAppTheme theme);

    std::array<QAction *, 3> m_items{}; // in the order of EAppTheme
};
