#include "mainwindow/features/TZoomCommands.h"

#include "platform/gui/settingvalue.h"
#include "shell/TMenuSlots.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QFontInfo>
#include <QMenu>
#include <QSettings>
#include <QStackedWidget>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

// 0: the size the log and the console start with.
const TSettingValue<int> kZoom("ZoomPoints", 0);

// One notch of a mouse wheel.
constexpr int kWheelStep = 120;

} // namespace

TZoomCommands::TZoomCommands(QWidget *window, QStackedWidget &place, TMenuSlots &menus)
    : QObject(window), m_place(place), m_desktopFont(place.widget(0)->font())
{
    // A submenu of its own: the View menu has a key letter left for one more entry, not three.
    auto *sub = new QMenu(tr("&Zoom"), window);
    sub->setObjectName(QStringLiteral("mnuViewZoom"));
    sub->setAccessibleName(tr("Zoom"));
    menus.AddMenu(sub);
    const auto add = [sub](const char *name, const QString &text) {
        QAction *action = sub->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        return action;
    };
    QAction *in = add("mnuViewZoomIn", tr("Zoom &In"));
    // Ctrl+= too: on many keyboards plus is the shifted equals key.
    in->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)});
    connect(in, &QAction::triggered, this, [this] { Step(1); });
    QAction *out = add("mnuViewZoomOut", tr("Zoom &Out"));
    out->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    connect(out, &QAction::triggered, this, [this] { Step(-1); });
    QAction *reset = add("mnuViewZoomReset", tr("&Reset Zoom"));
    reset->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    connect(reset, &QAction::triggered, this, [this] { SetPoints(0); });

    for (int i = 0; i < m_place.count(); ++i)
        Follow(m_place.widget(i));
    // The console is made on first use; it is polished as it is first shown, before any wheel can
    // reach it.
    m_place.installEventFilter(this);
}

int TZoomCommands::DesktopPoints() const
{
    return std::max(1, static_cast<int>(std::lround(QFontInfo(m_desktopFont).pointSizeF())));
}

int TZoomCommands::Points() const
{
    return m_points > 0 ? m_points : DesktopPoints();
}

void TZoomCommands::Step(int steps)
{
    SetPoints(std::clamp(Points() + steps, kMinPoints, kMaxPoints));
}

void TZoomCommands::SetPoints(int points)
{
    m_points = points == DesktopPoints() ? 0 : points;
    QFont font = m_desktopFont;
    if (m_points > 0)
        font.setPointSize(m_points);
    for (int i = 0; i < m_place.count(); ++i)
        m_place.widget(i)->setFont(font);
}

void TZoomCommands::Follow(QWidget *page)
{
    if (m_points > 0) {
        QFont font = m_desktopFont;
        font.setPointSize(m_points);
        page->setFont(font);
    }
    auto *area = qobject_cast<QAbstractScrollArea *>(page);
    (area ? area->viewport() : page)->installEventFilter(this);
}

bool TZoomCommands::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &m_place && event->type() == QEvent::ChildPolished) {
        auto *child = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child());
        if (child && m_place.indexOf(child) >= 0)
            Follow(child);
        return false;
    }
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto *wheel = static_cast<QWheelEvent *>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    m_wheel += wheel->angleDelta().y();
    const int steps = m_wheel / kWheelStep;
    m_wheel -= steps * kWheelStep;
    if (steps != 0)
        Step(steps);
    wheel->accept();
    return true;
}

void TZoomCommands::Load(const QSettings &settings)
{
    const std::optional<int> points = kZoom.Find(settings);
    if (points && (*points == 0 || (*points >= kMinPoints && *points <= kMaxPoints)))
        SetPoints(*points);
}

void TZoomCommands::Save(QSettings &settings) const
{
    kZoom.Write(settings, m_points);
}
