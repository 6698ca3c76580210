#pragma once
// The window's status bar as the features see it: the link's panels and the two counters, the
// send panel's note, and room for a feature's own widgets at the right end, in rank order whatever
// order the features were made in.
#include "mainwindow/TfrmMainUi.h"

#include <QString>
#include <cstdint>
#include <vector>

class QLabel;
class QStatusBar;
class QWidget;

class TStatusArea
{
public:
    enum EPanel { Port = 0, Rec = 6, Send = 7 };
    // The ranks of the widgets at the right end, left to right.
    enum ERank {
        ConsoleRank = 5,
        CaptureRank = 10,
        ModemLampsRank = 20,
        TransferRank = 30,
        ChecksumRank = 40
    };

    explicit TStatusArea(TfrmMainUi &ui) : m_ui(ui) {}

    QStatusBar *Bar() const { return m_ui.stbComStatus; }
    QLabel *Panel(int index) const { return m_ui.panels[index]; }
    // `name` says what the panel shows, for a screen reader; empty: the panel reads as its text.
    void SetPanel(int index, const QString &text, const QString &tip = QString(),
                  const QString &name = QString());
    // Sizes the panels to their texts (see FitStatusPanels).
    void Fit(bool open) { FitStatusPanels(m_ui, open); }
    // A widget that is hidden before it joins the bar never widens it.
    void AddPermanent(QWidget *widget, int rank);

    void ShowSendCount(int64_t bytes, int64_t blocks);
    // The note follows the counters in the send panel; the next counted send replaces it.
    void ShowSendNote(const QString &note);

private:
    TfrmMainUi &m_ui;
    std::vector<int> m_ranks; // of the widgets added, in their order on the bar
};
