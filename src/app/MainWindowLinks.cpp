// The link manager command.
#include "app/CommandGuard.h"
#include "app/MainWindow.h"
#include "link/gui/TfrmOpenPort.h"

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
