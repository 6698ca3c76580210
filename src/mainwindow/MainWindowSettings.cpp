// Start-up and the settings kept between runs.
#include "app/TSharedStore.h"
#include "log/gui/TTrafficLog.h"
#include "mainwindow/MainWindowExtras.h"
#include "mainwindow/TSessionBridge.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TLogViewCommands.h"
#include "mainwindow/features/TModemLines.h"
#include "mainwindow/features/TRecvChecksum.h"
#include "mainwindow/features/TSendChecksum.h"
#include "mainwindow/features/TSendFileCommands.h"
#include "platform/appfolder.h"
#include "platform/errors.h"
#include "platform/gui/appsettings.h"

#include <QAction>
#include <QComboBox>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextEdit>

namespace {

// A value that is missing or not a whole number ends the reading.
bool ReadInteger(const QSettings &settings, const char *name, int &value)
{
    const QVariant stored = settings.value(QLatin1String(name));
    if (!stored.isValid())
        return false;
    bool ok = false;
    const int number = stored.toString().trimmed().toInt(&ok);
    if (ok)
        value = number;
    return ok;
}

} // namespace

void TfrmMain::InitSession()
{
    if (m_loadsShared) {
        m_store->ResetSymbols();
        ReloadSymbols();
    } else {
        ShowSymbols();
    }
    m_session->AutoSend().SetState(AUTOSEND_STOPPED);
    m_lastLink.reset();
    ui.edData->Clear();
    m_currentType = FMT_STRING;
    m_logView->SetCurDisplayType(FMT_STRING);
    m_logView->SetShowTime(false);
    m_logView->SetShowSendData(true);
    SetInstantItem(CCommData(Bytes(), FMT_STRING));
    if (m_loadsShared)
        LoadSendList(AppFilePath("Default.sds"));
    else
        FillSendList();
    LoadSettings();
    UpdateControls();
    UpdateViewState();
    ShowLinkStatus(COM_PORT_SETTING());
    m_session->ResetCounters();
    m_recvChecksum->ResetCounts();
    ShowInboundLoss();
}

bool TfrmMain::LoadSettings()
{
    QSettings settings = OpenAppSettings();
    if (m_number > 1)
        settings.beginGroup(SettingsGroup());
    int value = 0;
    if (!ReadInteger(settings, "CurrentType", value))
        return false;
    m_currentType = static_cast<uint8_t>(value);
    {
        const QSignalBlocker quiet(ui.cboFormat);
        ui.cboFormat->setCurrentIndex(m_currentType < ui.cboFormat->count() ? m_currentType : -1);
    }
    if (!ReadInteger(settings, "CurDisplayType", value))
        return false;
    m_logView->SetCurDisplayType(static_cast<uint8_t>(value));
    if (!ReadInteger(settings, "ShowSendData", value))
        return false;
    m_logView->SetShowSendData(value != 0);
    if (!ReadInteger(settings, "ShowTime", value))
        return false;
    m_logView->SetShowTime(value != 0);

    const std::string portSetting =
        settings.value(QStringLiteral("PortSetting")).toString().toLatin1().toStdString();
    if (!portSetting.empty()) {
        // A text that is not a link line still leaves a last link, with the defaults of a new one.
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.LinkName.clear();
        link.PortName.clear();
        try {
            LinkFromLine(portSetting, link);
        } catch (const EConvertError &) {
        }
        m_lastLink = link;
    }
    const std::string instant =
        settings.value(QStringLiteral("InstanceSendData")).toString().toLatin1().toStdString();
    if (!instant.empty()) {
        CCommData item;
        item.FromLine(instant);
        SetInstantItem(item);
    }
    // Kept by later versions only: a store without them leaves the window where it was placed.
    const QByteArray geometry = settings.value(QStringLiteral("WindowGeometry")).toByteArray();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray split = settings.value(QStringLiteral("SplitterState")).toByteArray();
    if (!split.isEmpty())
        ui.splitter->restoreState(split);
    LoadEverydaySettings(settings);
    m_logView->LoadScrollback(settings);
    m_modemLines->Load(settings);
    m_logView->LoadTextForms(settings);
    m_sendFile->Load(settings);
    m_sendChecksum->Load(settings);
    m_recvChecksum->Load(settings);
    return true;
}

void TfrmMain::SaveSettings()
{
    QSettings settings = OpenAppSettings();
    if (m_number > 1)
        settings.beginGroup(SettingsGroup());
    settings.setValue(QStringLiteral("CurrentType"), static_cast<int>(m_currentType));
    settings.setValue(QStringLiteral("CurDisplayType"), CurDisplayType());
    settings.setValue(QStringLiteral("ShowSendData"), ShowSendData() ? 1 : 0);
    settings.setValue(QStringLiteral("ShowTime"), ShowTime() ? 1 : 0);
    settings.setValue(QStringLiteral("InstanceSendData"), QString::fromLatin1(GetInstantItem().ToLine()));
    if (m_lastLink)
        settings.setValue(QStringLiteral("PortSetting"), QString::fromLatin1(LinkToLine(*m_lastLink)));
    settings.setValue(QStringLiteral("WindowGeometry"), saveGeometry());
    settings.setValue(QStringLiteral("SplitterState"), ui.splitter->saveState());
    SaveEverydaySettings(settings);
    m_logView->SaveScrollback(settings);
    m_modemLines->Save(settings);
    m_logView->SaveTextForms(settings);
    m_sendFile->Save(settings);
    m_sendChecksum->Save(settings);
    m_recvChecksum->Save(settings);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw EFCreateError(settings.fileName().toLocal8Bit().toStdString());
}
