// Start-up and the settings kept between runs, read and written in one order that later versions
// only add to.
#include "log/gui/TTrafficLog.h"
#include "mainwindow/TFeatureList.h"
#include "mainwindow/TfrmMain.h"
#include "mainwindow/features/TCaptureCommands.h"
#include "mainwindow/features/TConsoleCommands.h"
#include "mainwindow/features/TInstantSend.h"
#include "mainwindow/features/TLogViewCommands.h"
#include "mainwindow/features/TModemLines.h"
#include "mainwindow/features/TPortCommands.h"
#include "mainwindow/features/TReceiveCounters.h"
#include "mainwindow/features/TReceiveFileCommands.h"
#include "mainwindow/features/TReconnect.h"
#include "mainwindow/features/TRecvChecksum.h"
#include "mainwindow/features/TScriptCommands.h"
#include "mainwindow/features/TSendChecksum.h"
#include "mainwindow/features/TSendFileCommands.h"
#include "mainwindow/features/TSendListPanel.h"
#include "platform/appfolder.h"
#include "platform/errors.h"
#include "platform/gui/appsettings.h"
#include "platform/gui/commandguard.h"
#include "platform/gui/settingvalue.h"
#include "shell/TSessionBridge.h"
#include "shell/TSharedStore.h"

#include <QAction>
#include <QComboBox>
#include <QSettings>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTextEdit>

namespace {

// The window's own first values; their defaults are what the window shows before loading.
const TSettingValue<int> kCurrentType("CurrentType", FMT_STRING);
const TSettingValue<int> kCurDisplayType("CurDisplayType", FMT_STRING);
const TSettingValue<bool> kShowSendData("ShowSendData", true);
const TSettingValue<bool> kShowTime("ShowTime", false);
// Latin-1 lines; empty: none kept.
const TSettingValue<QString> kPortSetting("PortSetting", QString());
const TSettingValue<QString> kInstantItem("InstanceSendData", QString());
// Kept by later versions only: a store without them leaves the window where it was placed.
const TSettingValue<QByteArray> kGeometry("WindowGeometry", QByteArray());
const TSettingValue<QByteArray> kSplitter("SplitterState", QByteArray());

} // namespace

void TfrmMain::InitSession()
{
    // A file of the app folder that cannot be read leaves its defaults; the window still comes.
    if (m_loadsShared) {
        m_store->ResetSymbols();
        RunGuarded(this, [this] { m_store->ReloadSymbols(); });
    } else {
        ShowSymbols();
    }
    m_session->AutoSend().SetState(AUTOSEND_STOPPED);
    m_port->SetLastLink(std::nullopt);
    ui.edData->Clear();
    m_logView->SetCurDisplayType(FMT_STRING);
    m_logView->SetShowTime(false);
    m_logView->SetShowSendData(true);
    m_instantSend->SetItem(CCommData(Bytes(), FMT_STRING));
    if (m_loadsShared)
        RunGuarded(this, [this] { m_store->LoadSendList(AppFilePath("Default.sds")); });
    else
        m_sendList->Fill();
    LoadSettings();
    UpdateControls();
    m_logView->UpdateViewState();
    m_port->ShowLinkStatus(COM_PORT_SETTING());
    m_session->ResetCounters();
    m_recvChecksum->ResetCounts();
    m_counters->ShowInboundLoss();
}

bool TfrmMain::LoadSettings()
{
    QSettings settings = OpenAppSettings();
    if (m_number > 1)
        settings.beginGroup(SettingsGroup());
    // A value that is missing (a store of an older version) or not a number (edited by hand) keeps
    // what the window has before loading; it never costs the values after it.
    bool allRead = true;
    const auto read = [&settings, &allRead](const auto &value, auto current) {
        const auto found = value.Find(settings);
        allRead = allRead && found.has_value();
        return found.value_or(current);
    };
    m_instantSend->SetFormat(static_cast<uint8_t>(read(kCurrentType, m_instantSend->Format())));
    m_logView->SetCurDisplayType(static_cast<uint8_t>(read(kCurDisplayType, m_logView->CurDisplayType())));
    m_logView->SetShowSendData(read(kShowSendData, m_logView->ShowSendData()));
    m_logView->SetShowTime(read(kShowTime, m_logView->ShowTime()));

    const std::string portSetting = kPortSetting.Read(settings).toLatin1().toStdString();
    if (!portSetting.empty()) {
        // A text that is not a link line still leaves a last link, with the defaults of a new one.
        COM_PORT_SETTING link = DefaultLinkSetting();
        link.LinkName.clear();
        link.PortName.clear();
        try {
            LinkFromLine(portSetting, link);
        } catch (const EConvertError &) {
        }
        m_port->SetLastLink(link);
    }
    const std::string instant = kInstantItem.Read(settings).toLatin1().toStdString();
    if (!instant.empty()) {
        CCommData item;
        item.FromLine(instant);
        m_instantSend->SetItem(item);
    }
    const QByteArray geometry = kGeometry.Read(settings);
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const QByteArray split = kSplitter.Read(settings);
    if (!split.isEmpty())
        ui.splitter->restoreState(split);
    m_features->Load(settings);
    return allRead;
}

void TfrmMain::SaveSettings()
{
    QSettings settings = OpenAppSettings();
    if (m_number > 1)
        settings.beginGroup(SettingsGroup());
    kCurrentType.Write(settings, m_instantSend->Format());
    kCurDisplayType.Write(settings, m_logView->CurDisplayType());
    kShowSendData.Write(settings, m_logView->ShowSendData());
    kShowTime.Write(settings, m_logView->ShowTime());
    kInstantItem.Write(settings, QString::fromLatin1(m_instantSend->Item().ToLine()));
    if (const std::optional<COM_PORT_SETTING> &link = m_port->LastLink())
        kPortSetting.Write(settings, QString::fromLatin1(LinkToLine(*link)));
    kGeometry.Write(settings, saveGeometry());
    kSplitter.Write(settings, ui.splitter->saveState());
    m_features->Save(settings);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw EFCreateError(settings.fileName().toLocal8Bit().toStdString());
}
