#pragma once
// The instant send: the edit, its format, the line ending and checksum added to what is typed, and
// the recall of earlier instant sends with Up and Down. Enter in the edit sends.
#include "data/commdata.h"
#include "data/gui/shownbytes.h"
#include "senddata/sendhistory.h"

#include <QObject>
#include <functional>

class QComboBox;
class QPushButton;
class QSettings;
class QTextEdit;
class QWidget;
class TFeatureServices;
class TSendChecksum;
class TSharedStore;

class TInstantSend : public QObject
{
    Q_OBJECT
public:
    struct ST_Controls
    {
        QTextEdit *edSendItem;
        QPushButton *btnSend, *btnEdit;
        QComboBox *cboFormat;
    };
    // `send` sends an item as every send goes; `portOpen` says whether a port is open.
    // Reads what is typed as the log reads text (TFeatureServices::Utf8Changed).
    TInstantSend(QWidget *window, const ST_Controls &controls, TSharedStore &store,
                 TFeatureServices &services, std::function<void(const CCommData &)> send,
                 std::function<bool()> portOpen, std::function<void(const QString &)> showMessage);

    CCommData Item() const;
    // Shows `item` in its own format, which becomes the edit's.
    void SetItem(const CCommData &item);
    uint8_t Format() const { return m_format; }
    // The format kept between runs, shown without converting the text.
    void SetFormat(uint8_t format);
    // The text is shown again in the new encoding; its bytes stay.
    void SetUtf8(bool on);
    // The history all windows share changed: a recall in progress ends.
    void HistoryChanged();
    void UpdateControls();
    void LoadLineEnding(const QSettings &settings);
    void SaveLineEnding(QSettings &settings) const;
    TSendChecksum &Checksum() const { return *m_checksum; }
    QComboBox *LineEndingList() const { return m_lineEnding; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Typed Hex or Dec text that does not parse stays as typed for the user to correct: sending,
    // editing or showing it in another format would each turn it into an empty item first.
    bool RefuseUnparsedText();
    void FormatChosen(int format);
    void SendClicked();
    void EditClicked();
    // The history keeps what was typed, without the line ending: a recalled send goes out again
    // with the ending and the checksum chosen then.
    void SendTyped();
    // Up on the first line of the edit (Down on the last) steps through the history; elsewhere
    // the keys move the cursor as usual.
    bool Recall(bool older);

    QWidget *m_window;
    ST_Controls m_c;
    TSharedStore &m_store;
    std::function<void(const CCommData &)> m_send;
    std::function<bool()> m_portOpen;
    std::function<void(const QString &)> m_showMessage;
    QComboBox *m_lineEnding = nullptr;
    TSendChecksum *m_checksum = nullptr;
    uint8_t m_format = FMT_STRING;
    CCommData m_symbolItem;
    // What SetItem showed last: until the user changes the text it reads back as these bytes,
    // which a round trip through the edit's text would not always give (a 0x00, a CR).
    CCommData m_shown;
    // The String form's text and the bytes behind it: an edit changes only the bytes typed over.
    CShownBytes m_shownText;
    // The shared history, with this window's own place in a recall.
    CSendHistory m_history;
};
