#pragma once
// View > Zoom In, Zoom Out and Reset Zoom, also Ctrl with plus (or =), minus and 0, and Ctrl with
// the wheel over the log or the console. The two take each other's place, so they share one text
// size: the console then fits its rows and columns to the new cells as it does when resized.
// Kept with the window's values; 0 stands for the desktop's fixed-width size, which a window
// never zoomed follows.
#include <QFont>
#include <QObject>

class QAction;
class QSettings;
class QStackedWidget;
class QWidget;
class TMenuSlots;

class TZoomCommands : public QObject
{
    Q_OBJECT
public:
    static constexpr int kMinPoints = 6;
    static constexpr int kMaxPoints = 48;

    // `place` holds the log, and the console once it is made.
    TZoomCommands(QWidget *window, QStackedWidget &place, TMenuSlots &menus);

    // The size the log and the console are shown in, in points.
    int Points() const;

    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Step(int steps);
    void SetPoints(int points);
    void Follow(QWidget *page);
    int DesktopPoints() const;

    QStackedWidget &m_place;
    QFont m_desktopFont;
    int m_points = 0;
    int m_wheel = 0; // wheel turns short of a step, as touch pads give them
};
