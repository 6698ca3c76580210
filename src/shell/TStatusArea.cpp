#include "shell/TStatusArea.h"
#include "shell/TStatusPanel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>
#include <stdexcept>

void TStatusArea::SetPanel(int index, const QString &text, const QString &tip, const QString &name)
{
    m_ui.panels[index]->setText(text);
    m_ui.panels[index]->setToolTip(tip);
    m_ui.panels[index]->setAccessibleName(name);
}

void TStatusArea::AddPermanent(QWidget *widget)
{
    const auto placed = std::find_if(m_plan.begin(), m_plan.end(), [widget](const char *name) {
        return widget->objectName() == QLatin1String(name);
    });
    if (placed == m_plan.end())
        throw std::logic_error("no status bar place for " + widget->objectName().toStdString());
    const int rank = static_cast<int>(placed - m_plan.begin());
    const auto at = std::upper_bound(m_ranks.begin(), m_ranks.end(), rank);
    // The bar counts its other widgets too: the panels and the line-error label come first.
    const int others = kStatusPanelCount + 1;
    m_ui.stbComStatus->insertPermanentWidget(others + static_cast<int>(at - m_ranks.begin()), widget);
    m_ranks.insert(at, rank);
}

void TStatusArea::ShowSendCount(int64_t bytes, int64_t blocks)
{
    QLabel *panel = m_ui.panels[Send];
    panel->setText(QCoreApplication::translate("TStatusArea", "Send:%1/%2").arg(bytes).arg(blocks));
    const QString says =
        QCoreApplication::translate("TStatusArea", "Sent: %1 bytes in %2 blocks").arg(bytes).arg(blocks);
    panel->setToolTip(says);
    panel->setAccessibleName(says);
    static_cast<TStatusPanel *>(m_ui.panels[Send])->KeepCountsWhole();
}

void TStatusArea::ShowSendNote(const QString &note)
{
    QLabel *panel = m_ui.panels[Send];
    const QString base = panel->text().section(QLatin1String(kStatusNoteSeparator), 0, 0);
    panel->setText(base + QLatin1String(kStatusNoteSeparator) + note);
    // A note may carry a device's file name: its words, never layout.
    panel->setToolTip(Qt::convertFromPlainText(note));
}
