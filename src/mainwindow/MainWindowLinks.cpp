// The link manager command.
#include "link/gui/TfrmOpenPort.h"
#include "mainwindow/TfrmMain.h"
#include "platform/gui/commandguard.h"

void TfrmMain::btnLinkListClick()
{
    RunGuarded(this, [this] {
        COM_PORT_SETTING link;
        {
            TfrmOpenPort dialog(this);
            if (dialog.exec() != QDialog::Accepted || !dialog.HasSelectedLink())
                return;
            link = dialog.SelectedLink();
        }
        OpenLink(link);
    });
}
