#pragma once
// The look of every window of the process: the desktop's (System), or a light or a dark one
// whatever the desktop has. A forced look takes Qt's Fusion style, which draws every control from
// the palette, so dialogs follow too; System gives the desktop back its own style and palette.
// Widgets that draw their own page (the log, the console, the plot) follow the palette they are
// given, so they change with it and with the desktop.
#include "log/logcolours.h"

#include <QObject>
#include <QPalette>
#include <QString>
#include <cstdint>

class QWidget;

enum class EAppTheme : uint8_t { System = 0, Light = 1, Dark = 2 };

class TAppTheme : public QObject
{
    Q_OBJECT
public:
    // The one of the running application, made on first use.
    static TAppTheme &Instance();

    EAppTheme Theme() const { return m_theme; }
    // Applies at once to every window of the process; widgets see the new palette as the event
    // loop delivers it.
    void SetTheme(EAppTheme theme);

signals:
    void Changed(EAppTheme theme);

private:
    explicit TAppTheme(QObject *parent);

    EAppTheme m_theme = EAppTheme::System;
    bool m_desktopKnown = false;
    QString m_desktopStyle;
};

// The dark palette a forced Dark look uses; its Base is the log's dark page.
QPalette DarkPalette();
// Light text on a dark ground, as a dark desktop or the Dark look gives.
bool IsDarkPalette(const QPalette &palette);
// The log's colour set for what `widget` is shown with.
ELogTheme LogThemeOf(const QWidget &widget);
