#pragma once
// The user's framing profiles and the links' choices, once for the whole process: every window
// reads and changes the same copy, so a save made in one never writes another's older copy over
// it, and every window hears of the change and frames its open link by it at once.
#include "frame/framechoices.h"

#include <QObject>
#include <QString>
#include <string>

class TFramingStore : public QObject
{
    Q_OBJECT
public:
    static TFramingStore &Instance();

    // Those of the app folder in force, read again when the folder changed since the last read.
    const ST_FramingChoices &Choices();
    // Why the file could not be read, or empty. While it is set nothing is saved: a damaged file
    // is the user's to mend, not to be replaced by the profiles that could be read.
    QString Error();
    // Writes the file and tells every window. Throws EFCreateError, or std::invalid_argument for
    // what the file cannot hold; std::logic_error while the file could not be read.
    void Save(const ST_FramingChoices &choices);

signals:
    void Changed();

private:
    void Follow();

    std::string m_path;
    ST_FramingChoices m_choices;
    QString m_error;
};
