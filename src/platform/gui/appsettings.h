#pragma once
// The store of the values kept between runs. Normally the user's "Vantrell/Kestrum" store; a
// process that could not hand its start to the one already running on its app folder keeps its
// values in a file of its own, so the two never overwrite each other's.
#include <QSettings>
#include <QString>

// The store is checked before Qt reads it: one that is not a regular file of the user's (or a
// link to one), or that Qt cannot read, is not used or written, and the user is told once.
QSettings OpenAppSettings();

// Where the user's store is: "Vantrell/Kestrum.conf" in the configuration folder.
QString UserSettingsPath();

// From now on OpenAppSettings opens the INI file at `path`; an empty path goes back to the
// user's store.
void UsePrivateSettingsFile(const QString &path);
