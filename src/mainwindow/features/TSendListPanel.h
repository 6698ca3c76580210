#pragma once
// The send-list panel: the items of the list all windows share, sent one by one or stepping
// through the list, copied into the instant edit, and the list's dialog.
#include "data/commdata.h"

#include <QObject>
#include <functional>
#include <vector>

class QAction;
class QMenu;
class QTreeWidget;
class QWidget;
class TSharedStore;

class TSendListPanel : public QObject
{
    Q_OBJECT
public:
    struct ST_Controls
    {
        QTreeWidget *lsvSendData;
        QMenu *popmnuSendData;
        // Send the selected item, and send it and select the next: the menu, the list's own menu.
        // btnGo shows mnuSendAndGoNext (TfrmMainUi).
        QAction *mnuOpSendItem, *mnuSendItem, *mnuSendAndGoNext, *popmnuSendAndGoNext;
        QAction *mnuCopyToInput, *mnuSettingSendSetting, *mnuSendDataSetting;
    };
    TSendListPanel(QWidget *window, const ST_Controls &controls, TSharedStore &store,
                   std::function<void(const CCommData &)> send,
                   std::function<void(const CCommData &)> copyToInput, std::function<bool()> portOpen);

    // Shows the list as the store has it.
    void Fill();
    const std::vector<CCommData> &Items() const;
    void UpdateControls();

signals:
    void StateChanged();

private:
    int SelectedRow() const;
    const CCommData *Selected() const;
    void SendSelected();
    void SendAndGoNext();
    void UpdateSendCommands();

    QWidget *m_window;
    ST_Controls m_c;
    TSharedStore &m_store;
    std::function<void(const CCommData &)> m_send;
    std::function<void(const CCommData &)> m_copyToInput;
    std::function<bool()> m_portOpen;
};
