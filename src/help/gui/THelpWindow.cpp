#include "help/gui/THelpWindow.h"

#include <QAccessibleWidget>
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QSize kWantedSize(760, 600);

QToolButton *AddTool(QWidget *bar, QHBoxLayout *row, const char *name, const QString &text,
                     QStyle::StandardPixmap icon, const QKeySequence &key)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setIcon(bar->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setToolTip(QStringLiteral("%1 (%2)").arg(text, key.toString(QKeySequence::NativeText)));
    button->setShortcut(key);
    button->setAutoRaise(true);
    row->addWidget(button);
    return button;
}

// A plain widget reads as a filler to accessibility clients even with its own window; the help
// should be announced as the window it is.
QAccessibleInterface *HelpAccessible(const QString &className, QObject *object)
{
    if (className == QLatin1String("THelpWindow") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}

} // namespace

THelpWindow::THelpWindow(QWidget *owner, const QString &folder) : QWidget(owner, Qt::Window), m_folder(folder)
{
    static const bool accessible = (QAccessible::installFactory(HelpAccessible), true);
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(tr("Kestrum Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(kWantedSize);

    auto *column = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    column->addLayout(row);
    m_contents = AddTool(this, row, "btnHelpContents", tr("&Contents"), QStyle::SP_DirHomeIcon,
                         QKeySequence(Qt::ALT | Qt::Key_Home));
    m_back = AddTool(this, row, "btnHelpBack", tr("&Back"), QStyle::SP_ArrowBack,
                     QKeySequence(QKeySequence::Back));
    m_forward = AddTool(this, row, "btnHelpForward", tr("&Forward"), QStyle::SP_ArrowForward,
                        QKeySequence(QKeySequence::Forward));
    row->addStretch();

    auto *findLabel = new QLabel(tr("F&ind:"), this);
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("edHelpFind"));
    m_find->setClearButtonEnabled(true);
    m_find->setPlaceholderText(tr("Find in page"));
    findLabel->setBuddy(m_find);
    m_findState = new QLabel(this);
    m_findState->setObjectName(QStringLiteral("lbHelpFindState"));
    // Room for the message from the start, so the row does not jump when it appears.
    m_findState->setMinimumWidth(m_findState->fontMetrics().horizontalAdvance(tr("Not found")) + 4);
    row->addWidget(findLabel);
    row->addWidget(m_find);
    row->addWidget(m_findState);

    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("browserHelp"));
    m_browser->setAccessibleName(tr("Help page"));
    m_browser->setSearchPaths({folder});
    m_browser->setOpenExternalLinks(true);
    column->addWidget(m_browser, 1);

    connect(m_contents, &QToolButton::clicked, this, [this] { ShowPage(QStringLiteral("contents.html")); });
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::historyChanged, this, &THelpWindow::UpdateButtons);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { FindText(m_find->text()); });
    auto *focusFind = new QShortcut(QKeySequence::Find, this);
    connect(focusFind, &QShortcut::activated, this, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    auto *next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, [this] { FindText(m_find->text()); });
    auto *previous = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previous, &QShortcut::activated, this, [this] { FindText(m_find->text(), true); });
    auto *close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    UpdateButtons();
}

void THelpWindow::PlaceOver(const QWidget *owner)
{
    const QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // Not shown yet, the window has no frame of its own; the owner's is the best guess of it.
    QSize frame = frameGeometry().size() - size();
    if (owner && !isVisible())
        frame = owner->frameGeometry().size() - owner->size();
    resize(kWantedSize.boundedTo(area.size() - frame).expandedTo(minimumSizeHint()));
    const QSize outer = size() + frame;
    const QPoint centre = owner ? owner->frameGeometry().center() : area.center();
    const auto fit = [](int start, int length, int low, int span) {
        return std::max(low, std::min(start, low + span - length));
    };
    move(fit(centre.x() - outer.width() / 2, outer.width(), area.left(), area.width()),
         fit(centre.y() - outer.height() / 2, outer.height(), area.top(), area.height()));
}

void THelpWindow::ShowPage(const QString &page)
{
    // The placeholder manual of a build tree may lack a page; its first page stands in.
    QString file = QDir(m_folder).filePath(page);
    if (!QFileInfo::exists(file))
        file = QDir(m_folder).filePath(QStringLiteral("index.html"));
    m_browser->setSource(QUrl::fromLocalFile(file));
}

QString THelpWindow::CurrentPage() const
{
    return QFileInfo(m_browser->source().toLocalFile()).fileName();
}

bool THelpWindow::FindText(const QString &text, bool backward)
{
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    bool found = m_browser->find(text, flags);
    if (!found) {
        QTextCursor cursor = m_browser->textCursor();
        cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        m_browser->setTextCursor(cursor);
        found = m_browser->find(text, flags);
    }
    m_findState->setText(found ? QString() : tr("Not found"));
    return found;
}

void THelpWindow::UpdateButtons()
{
    m_back->setEnabled(m_browser->isBackwardAvailable());
    m_forward->setEnabled(m_browser->isForwardAvailable());
}
