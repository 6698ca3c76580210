#pragma once
// The user's framing profiles and the links' choices, once for the whole process: every window
// reads and changes the same copy, so a save made in one never writes another's older copy over
// it, and every window hears of the change and frames its open link by it at once.
//
// The file is read when an app folder is first used (the first window, the first dialog), and
// written on a thread of its own: the copy here is the one in force at once, the disk follows.
#include "frame/framechoices.h"
#include "platform/backgroundwriter.h"

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
    // Makes these the choices in force, has the file written and tells every window unless
    // `tellWindows` is false (what the open ports frame by stays as it is then). Throws
    // std::invalid_argument for what the file cannot hold, std::logic_error while the file could
    // not be read; a write that fails is told in the diagnostic log.
    void Save(const ST_FramingChoices &choices, bool tellWindows = true);
    // Returns once the file holds the last save.
    void WaitWritten() { m_writer.Wait(); }

signals:
    void Changed();

private:
    void Follow();

    std::string m_path;
    ST_FramingChoices m_choices;
    QString m_error;
    CBackgroundWriter m_writer;
};
