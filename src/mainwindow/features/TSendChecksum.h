#pragma once
// The checksum instant sends carry: its choice beside the line ending, kept between runs once
// made, and Append Checksum in the instant edit's context menu.
#include "data/checksum.h"
#include "data/commdata.h"

#include <QObject>
#include <functional>
#include <optional>

class QAction;
class QComboBox;
class QSettings;
class QTextEdit;
class QWidget;

class TSendChecksum : public QObject
{
    Q_OBJECT
public:
    // Where the checksum goes, in the order of cboChecksumPlace.
    enum : int { kAfterEnding = 0, kBeforeEnding = 1 };
    // The instant item as the instant edit holds it.
    struct ST_Instant
    {
        std::function<bool()> RefuseUnparsed; // typed Hex or Dec text that does not parse is refused
        std::function<CCommData()> Get;
        std::function<void(const CCommData &)> Set;
    };
    // The lists go in a second row under the send buttons, which share a row with `format`.
    TSendChecksum(QWidget *window, QTextEdit *edit, QComboBox *format, ST_Instant instant);

    // `typed` with the checksum of its bytes and `ending`, in the order chosen.
    Bytes Finish(const Bytes &typed, const Bytes &ending) const;
    void Load(const QSettings &settings);
    // Nothing is written for a user who never chose a checksum.
    void Save(QSettings &settings) const;

private:
    void Chosen(int index);
    void Set(const ST_ChecksumSpec &spec);
    void AppendToInstant();

    QWidget *m_window;
    QTextEdit *m_edit;
    ST_Instant m_instant;
    QComboBox *m_kind = nullptr, *m_place = nullptr;
    QAction *m_append = nullptr;
    // "Custom CRC..." asks for its parameters. Kept in the settings only once the user chose one.
    std::optional<CChecksum> m_checksum;
    ST_ChecksumSpec m_spec;
    bool m_kept = false;
};
