#include "platform/gui/fixedfont.h"

#include <QFontDatabase>
#include <QFontInfo>

QFont FixedWidthFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(font).fixedPitch())
        return font;
    for (const char *family :
         {"DejaVu Sans Mono", "Liberation Mono", "Noto Mono", "Courier New", "FreeMono"}) {
        QFont candidate = font;
        candidate.setFamily(QString::fromLatin1(family));
        const QFontInfo info(candidate);
        if (info.fixedPitch() && info.family() == candidate.family())
            return candidate;
    }
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    return font;
}
