#include "app/TWindowManager.h"

#include "mainwindow/TfrmMain.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/windowplace.h"
#include "recdata/gui/TfrmRecDataList.h"
#include "shell/TSharedStore.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QStyle>
#include <algorithm>

namespace {

const char kOpenWindows[] = "OpenWindows";
// A damaged value must not open windows without end.
constexpr int kMostWindows = 99;

std::vector<int> ReadOpenWindows()
{
    const QSettings settings = OpenAppSettings();
    std::vector<int> numbers;
    for (const QString &word :
         settings.value(QLatin1String(kOpenWindows)).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int number = word.toInt(&ok);
        if (ok && number >= 1 && number <= kMostWindows &&
            std::find(numbers.begin(), numbers.end(), number) == numbers.end())
            numbers.push_back(number);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

} // namespace

TWindowManager::TWindowManager() : m_store(std::make_shared<TSharedStore>())
{
    // The program's end closes every window first: it must be told from the user closing one.
    QCoreApplication::instance()->installEventFilter(this);
}

TWindowManager::~TWindowManager()
{
    std::vector<int> open;
    for (TfrmMain *window : m_windows)
        open.push_back(window->Number());
    std::sort(open.begin(), open.end());
    for (TfrmMain *window : m_closing)
        delete window;
    for (TfrmMain *window : m_windows)
        delete window;
    // After the windows' own values, so a store written before there were several reads the same;
    // the first window alone leaves the store as it always was.
    QSettings settings = OpenAppSettings();
    if (open.empty() || open == std::vector<int>{1}) {
        settings.remove(QLatin1String(kOpenWindows));
    } else {
        QStringList numbers;
        for (int number : open)
            numbers << QString::number(number);
        settings.setValue(QLatin1String(kOpenWindows), numbers.join(QLatin1Char(' ')));
    }
}

TfrmMain *TWindowManager::Start()
{
    std::vector<int> numbers = ReadOpenWindows();
    if (numbers.empty())
        numbers.push_back(1);
    for (int number : numbers) {
        const TfrmMain *previous = m_windows.empty() ? nullptr : m_windows.back();
        TfrmMain *window = Create(number);
        if (previous)
            Place(window, previous);
    }
    return m_windows.front();
}

// A window without a place of its own would open right over the others, and two windows may
// remember one place: such a window goes a step from `previous`, by the height of a title bar.
void TWindowManager::Place(TfrmMain *window, const QWidget *previous) const
{
    std::vector<QPoint> taken;
    for (const TfrmMain *other : m_windows)
        if (other != window)
            taken.push_back(other->pos());
    const QSettings settings = OpenAppSettings();
    const bool remembered =
        !settings.value(window->SettingsGroup() + QStringLiteral("/WindowGeometry")).isNull();
    // A window not shown yet has no frame: its remembered place is that of its inside, which is
    // what it shares with a shown window that stands there.
    const bool onAnother = std::any_of(m_windows.begin(), m_windows.end(), [window](const TfrmMain *other) {
        return other != window && other->geometry().topLeft() == window->geometry().topLeft();
    });
    if (remembered && !onAnother)
        return;
    // Before a window is first shown its frame is not known: the one before has the same.
    const QRect frame = previous->frameGeometry(), inside = previous->geometry();
    const QSize margins = frame.size() - inside.size();
    int step = inside.top() - frame.top();
    if (step <= 0)
        step = window->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, window);
    const QScreen *screen = previous->screen() ? previous->screen() : window->screen();
    const QRect place =
        CascadeFrame(frame, window->size() + margins, screen ? screen->availableGeometry() : QRect(),
                     std::max(step, 8), taken);
    window->resize(place.size() - margins);
    window->move(place.topLeft());
}

void TWindowManager::ShowAll()
{
    for (TfrmMain *window : m_windows)
        window->show();
}

TfrmMain *TWindowManager::OpenWindow()
{
    // It steps from the main window in front, or the one of the window or dialog in front, or
    // else (a request from another process finds none in front) from the one opened last.
    const TfrmMain *anchor = nullptr;
    for (const QWidget *w = QApplication::activeWindow(); w && !anchor; w = w->parentWidget())
        for (const TfrmMain *window : m_windows)
            if (window == w->window())
                anchor = window;
    if (!anchor && !m_windows.empty())
        anchor = m_windows.back();
    TfrmMain *window = Create(FreeNumber());
    if (anchor)
        Place(window, anchor);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

TfrmMain *TWindowManager::Window(int number) const
{
    for (TfrmMain *window : m_windows)
        if (window->Number() == number)
            return window;
    return nullptr;
}

// Not the number of a window still closing either: it has yet to write its files.
int TWindowManager::FreeNumber() const
{
    const auto closing = [this](int number) {
        return std::any_of(m_closing.begin(), m_closing.end(),
                           [number](const TfrmMain *window) { return window->Number() == number; });
    };
    int number = 1;
    while (Window(number) || closing(number))
        ++number;
    return number;
}

TfrmMain *TWindowManager::Create(int number)
{
    auto *window = new TfrmMain(number, m_store);
    // Owned by its window, so it goes (and writes its file) after the window's settings.
    window->SetRecDataList(new TfrmRecDataList(window, window->RecDataFilePath()));

    const TfrmMainUi &ui = window->Ui();
    auto *newWindow = new QAction(tr("New Window"), ui.mnuFile);
    newWindow->setObjectName(QStringLiteral("mnuFileNewWindow"));
    newWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N));
    ui.mnuFile->insertAction(ui.mnuFileExit, newWindow);
    connect(newWindow, &QAction::triggered, this,
            [this, window] { RunGuarded(window, [this] { OpenWindow(); }); });

    m_windows.push_back(window);
    return window;
}

// A window the user closes while others stay goes at once, port, settings and files; the last one
// stays until the program ends, and so do all those that the program's end closes, so that they
// count as open at exit.
bool TWindowManager::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance())
        m_ending = true;
    if (event->type() == QEvent::Close && !m_ending && m_windows.size() > 1) {
        const auto found = std::find(m_windows.begin(), m_windows.end(), watched);
        if (found != m_windows.end()) {
            TfrmMain *window = *found;
            m_windows.erase(found);
            m_closing.push_back(window);
            QMetaObject::invokeMethod(
                this,
                [this, window] {
                    m_closing.erase(std::remove(m_closing.begin(), m_closing.end(), window), m_closing.end());
                    delete window;
                },
                Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}
