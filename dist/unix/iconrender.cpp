// Draws the application icon from the product logo at build time: the logo's square emblem (its
// wordmark would be unreadable at menu sizes) as a scalable SVG and as PNGs of the sizes given.
// Usage: kestrum-iconrender LOGO.svg OUTDIR SIZE...
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cstdio>
#include <cstdlib>

namespace {

// The emblem's square in the logo's own coordinates.
const char kEmblemBox[] = "2 14 52 52";

QByteArray EmblemSvg(QByteArray logo)
{
    QString text = QString::fromUtf8(logo);
    text.remove(QRegularExpression(QStringLiteral("<text[^>]*>[^<]*</text>\\s*")));
    const QRegularExpression root(QStringLiteral("<svg[^>]*>"));
    text.replace(root, QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"52\" height=\"52\" "
                                      "viewBox=\"%1\">")
                           .arg(QLatin1String(kEmblemBox)));
    return text.toUtf8();
}

bool Write(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: kestrum-iconrender LOGO.svg OUTDIR SIZE...\n");
        return 2;
    }
    QFile logo(QString::fromLocal8Bit(argv[1]));
    if (!logo.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "kestrum-iconrender: cannot read %s\n", argv[1]);
        return 1;
    }
    const QByteArray svg = EmblemSvg(logo.readAll());
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());
    if (!Write(out.filePath(QStringLiteral("kestrum.svg")), svg))
        return 1;
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "kestrum-iconrender: the emblem is no valid SVG\n");
        return 1;
    }
    for (int i = 3; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        if (!image.save(out.filePath(QStringLiteral("kestrum-%1.png").arg(size)), "PNG"))
            return 1;
    }
    return 0;
}
