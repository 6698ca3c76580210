#pragma once
// The window's status bar as the features see it: the link's panels and the two counters, the
// send panel's note, and room for a feature's own widgets at the right end, in the order the plan
// names them whatever order the features were made in.
#include "shell/TfrmMainUi.h"

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
    // `widgetPlan`: the object names of the widgets at the right end, left to right; it outlives this.
    TStatusArea(TfrmMainUi &ui, const std::vector<const char *> &widgetPlan) : m_ui(ui), m_plan(widgetPlan) {}

    QStatusBar *Bar() const { return m_ui.stbComStatus; }
    QLabel *Panel(int index) const { return m_ui.panels[index]; }
    // `name` says what the panel shows, for a screen reader; empty: the panel reads as its text.
    void SetPanel(int index, const QString &text, const QString &tip = QString(),
                  const QString &name = QString());
    // Sizes the panels to their texts (see FitStatusPanels).
    void Fit(bool open) { FitStatusPanels(m_ui, open); }
    // At the right end, where its object name stands in the widget plan; throws
    // std::logic_error for a name the plan does not place. A widget that is hidden before it joins
    // the bar never widens it.
    void AddPermanent(QWidget *widget);

    void ShowSendCount(int64_t bytes, int64_t blocks);
    // The note follows the counters in the send panel; the next counted send replaces it.
    void ShowSendNote(const QString &note);

private:
    TfrmMainUi &m_ui;
    const std::vector<const char *> &m_plan;
    std::vector<int> m_ranks; // the plan's places of the widgets added, in their order on the bar
};
