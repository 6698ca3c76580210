#pragma once
// The store of the values kept between runs. Normally the user's "Vantrell/Kestrum" store; a
// process that could not hand its start to the one already running on its app folder keeps its
// values in a file of its own, so the two never overwrite each other's.
#include <QSettings>
#include <QString>

QSettings OpenAppSettings();

// From now on OpenAppSettings opens the INI file at `path`; an empty path goes back to the
// user's store.
void UsePrivateSettingsFile(const QString &path);
