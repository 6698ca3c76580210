#pragma once
// The toolbar's pictures are drawn in dark inks meant for a light bar. On a dark palette the same
// inks all but vanish, so each picture is drawn again in lighter inks of the same hues, whichever
// palette is in force when it is painted: a change of look needs no one to set the icons again.
#include <QIcon>
#include <QString>

// `path` names an SVG resource; its colours are those of the light look.
QIcon ThemedIcon(const QString &path);
