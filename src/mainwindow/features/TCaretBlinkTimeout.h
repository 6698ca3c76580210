#pragma once
// How long the carets blink after the last key (platform/gui/TCaretBlink.h), kept as the theme is:
// once for the application, beside the first window's values, whichever window writes it.
// "CaretBlinkTimeout" in milliseconds; 0 keeps them blinking.
#include <QObject>

class QSettings;

class TCaretBlinkTimeout : public QObject
{
    Q_OBJECT
public:
    explicit TCaretBlinkTimeout(QObject *window);

    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;
};
