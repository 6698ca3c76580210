#include "platform/gui/TAppTheme.h"

#include <QApplication>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace {

QColor FromCore(uint32_t colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void UseStyle(const QString &name)
{
    if (QApplication::style()->name().compare(name, Qt::CaseInsensitive) == 0)
        return;
    if (QStyle *style = QStyleFactory::create(name))
        QApplication::setStyle(style);
}

} // namespace

TAppTheme::TAppTheme(QObject *parent) : QObject(parent) {}

TAppTheme &TAppTheme::Instance()
{
    // A child of the application, so it goes with it and a test's next application gets its own.
    static QPointer<TAppTheme> instance;
    if (!instance)
        instance = new TAppTheme(QCoreApplication::instance());
    return *instance;
}

void TAppTheme::SetTheme(EAppTheme theme)
{
    if (theme == m_theme)
        return;
    if (!m_desktopKnown) {
        m_desktopStyle = QApplication::style()->name();
        m_desktopKnown = true;
    }
    m_theme = theme;
    switch (theme) {
    case EAppTheme::System:
        UseStyle(m_desktopStyle);
        // An empty palette gives the application the desktop's again, and keeps following it.
        QApplication::setPalette(QPalette());
        break;
    case EAppTheme::Light:
        UseStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(QApplication::style()->standardPalette());
        break;
    case EAppTheme::Dark:
        UseStyle(QStringLiteral("Fusion"));
        QApplication::setPalette(DarkPalette());
        break;
    }
    emit Changed(theme);
}

QPalette DarkPalette()
{
    const QColor window(0x2D, 0x2D, 0x2D), text(0xE6, 0xE6, 0xE6), muted(0x80, 0x80, 0x80);
    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, FromCore(LogPage(ELogTheme::Dark)));
    p.setColor(QPalette::AlternateBase, QColor(0x28, 0x28, 0x28));
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x9A, 0x9A, 0x9A));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(0xFF, 0x7B, 0x72));
    p.setColor(QPalette::Light, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x42, 0x42, 0x42));
    p.setColor(QPalette::Mid, QColor(0x28, 0x28, 0x28));
    p.setColor(QPalette::Dark, QColor(0x1A, 0x1A, 0x1A));
    p.setColor(QPalette::Shadow, QColor(0x0A, 0x0A, 0x0A));
    p.setColor(QPalette::Highlight, QColor(0x2F, 0x65, 0xB0));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6C, 0xB6, 0xFF));
    p.setColor(QPalette::LinkVisited, QColor(0xE0, 0x8B, 0xE8));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, muted);
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x44, 0x44, 0x44));
    return p;
}

bool IsDarkPalette(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

ELogTheme LogThemeOf(const QWidget &widget)
{
    return IsDarkPalette(widget.palette()) ? ELogTheme::Dark : ELogTheme::Light;
}
