#pragma once
// View > Plot: one plot window for the main window, made on first use beside it and fed with what
// the port receives only while it is shown. Its title names the window and the link, so that
// plots of several windows are told apart.
#include "data/commdata.h"

#include <QObject>
#include <QString>

class QWidget;
class TfrmPlot;
class TMenuSlots;

class TPlotCommands : public QObject
{
    Q_OBJECT
public:
    TPlotCommands(QWidget *window, TMenuSlots &menus, int windowNumber);
    // A receive stage.
    void Feed(const CCommData &block);
    // The link as the window's title names it; empty while none is open.
    void ShowLink(const QString &link);

private:
    void Make();

    QWidget *m_window;
    int m_number;
    QString m_link;
    TfrmPlot *m_plot = nullptr;
};
