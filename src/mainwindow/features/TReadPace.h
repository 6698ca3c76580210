#pragma once
// How long the port's reads may wait while the log holds a stream's blocks for its next frame
// (CPortSession::HoldBlocksFor): "ReadPaceMs" in the window's values, in milliseconds, at most
// kLongestMs so a pause of the line still ends its block where it did; 0 reads every arrival as
// it comes, for a user who times the cuts of a stream by its arrivals.
#include <QObject>

#include <cstdint>

class CPortSession;
class QSettings;

class TReadPace : public QObject
{
    Q_OBJECT
public:
    TReadPace(QObject *window, CPortSession &session);

    static constexpr int kLongestMs = 6;
    void Load(const QSettings &settings);
    void Save(QSettings &settings) const;

private:
    CPortSession &m_session;
};
