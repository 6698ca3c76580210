#include "platform/gui/themedicon.h"
#include "platform/gui/TAppTheme.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <memory>
#include <utility>

namespace {

// The light look's inks and what they become on a dark bar: the same hues, light enough to keep a
// contrast of 3:1 against a dark window, as a control's picture should.
const std::pair<const char *, const char *> kDarkInks[] = {
    {"#2b4c7e", "#9dbcf0"}, {"#1f2f66", "#b3c7f2"}, {"#5a6d8c", "#b0bdd3"},
    {"#2e8b57", "#62d18f"}, {"#c0392b", "#ff8a7a"},
};

class CThemedIconEngine : public QIconEngine
{
public:
    explicit CThemedIconEngine(QByteArray svg) : m_light(std::move(svg))
    {
        m_dark = m_light;
        for (const auto &[light, dark] : kDarkInks)
            m_dark.replace(light, dark);
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        const bool dark = IsDarkPalette(QGuiApplication::palette());
        QSvgRenderer &renderer = dark ? Renderer(m_darkRenderer, m_dark) : Renderer(m_lightRenderer, m_light);
        painter->save();
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.4);
        renderer.render(painter, rect);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return picture;
    }

    QIconEngine *clone() const override { return new CThemedIconEngine(m_light); }

private:
    static QSvgRenderer &Renderer(std::unique_ptr<QSvgRenderer> &renderer, const QByteArray &svg)
    {
        if (!renderer)
            renderer = std::make_unique<QSvgRenderer>(svg);
        return *renderer;
    }

    QByteArray m_light;
    QByteArray m_dark;
    std::unique_ptr<QSvgRenderer> m_lightRenderer;
    std::unique_ptr<QSvgRenderer> m_darkRenderer;
};

} // namespace

QIcon ThemedIcon(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QIcon(path);
    return QIcon(new CThemedIconEngine(file.readAll()));
}
