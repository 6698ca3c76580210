#include "mainwindow/features/TFirstStartHint.h"

#include "link/linklist.h"
#include "platform/errors.h"
#include "shell/TFeatureServices.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {

constexpr const char *kDemoBoard = "demo://board";
constexpr int kMargin = 12;

// A links file that holds anything, or that cannot be read, belongs to a user who has begun.
bool NoLinkYet()
{
    try {
        CLinkList links;
        if (!links.Load(DefaultLinkFilePath()))
            return true;
        return links.Count() == 0 && links.UnreadLines().empty();
    } catch (const EKestrumError &) {
        return false;
    }
}

} // namespace

TFirstStartHint::TFirstStartHint(QWidget *window, TTrafficLog &log, TFeatureServices &services)
    : QObject(window), m_log(&log)
{
    if (!NoLinkYet() || log.LineCount() > 0)
        return;
    QWidget *viewport = log.viewport();
    m_panel = new QWidget(viewport);
    m_panel->setObjectName(QStringLiteral("pnlFirstStart"));
    m_panel->setAccessibleName(tr("How to begin"));
    // The window's own words, apart from the traffic in the log's type.
    m_panel->setFont(QApplication::font());
    auto *text = new QLabel(tr("Nothing has been received yet. To begin, open a port with Operate > Open "
                               "Port. To try the program without a device, open the demo board, a small "
                               "board it plays itself."),
                            m_panel);
    text->setObjectName(QStringLiteral("lblFirstStart"));
    text->setAccessibleName(tr("How to begin"));
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    auto *open = new QPushButton(tr("Open the demo board..."), m_panel);
    open->setObjectName(QStringLiteral("btnOpenDemoBoard"));
    open->setAccessibleName(tr("Open the demo board"));
    auto *layout = new QVBoxLayout(m_panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text);
    layout->addWidget(open, 0, Qt::AlignLeft);
    viewport->installEventFilter(this);
    Place();

    // Asked for when pressed: the port feature may be made after this one.
    connect(open, &QPushButton::clicked, this, [&services] { services.Port().ChooseLink(kDemoBoard); });
    connect(&services, &TFeatureServices::PortOpened, this, [this] { Withdraw(); });
    m_observer = log.AddObserver([this](LogDirection, const uint8_t *, size_t, bool) {
        // An observer may not remove itself while it is told.
        QTimer::singleShot(0, this, [this] { Withdraw(); });
    });
}

TFirstStartHint::~TFirstStartHint()
{
    if (m_observer != 0 && m_log)
        m_log->RemoveObserver(m_observer);
}

bool TFirstStartHint::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && m_panel && watched == m_panel->parent())
        Place();
    return QObject::eventFilter(watched, event);
}

void TFirstStartHint::Place()
{
    const QWidget *viewport = m_panel->parentWidget();
    const int width = std::max(0, std::min(560, viewport->width() - 2 * kMargin));
    m_panel->setFixedWidth(width);
    m_panel->adjustSize();
    m_panel->move(kMargin, kMargin);
}

void TFirstStartHint::Withdraw()
{
    if (m_observer != 0 && m_log)
        m_log->RemoveObserver(m_observer);
    m_observer = 0;
    if (!m_panel)
        return;
    m_panel->parentWidget()->removeEventFilter(this);
    // Later: the press that opened the port may still be on its way out of the button.
    QWidget *panel = m_panel;
    m_panel.clear();
    panel->deleteLater();
}
