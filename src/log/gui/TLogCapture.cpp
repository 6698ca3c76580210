#include "log/gui/TLogCapture.h"

#include "data/gui/dialogsupport.h"
#include "log/capturenames.h"
#include "log/gui/TTrafficLog.h"
#include "log/logpcapng.h"
#include "platform/clock.h"
#include "platform/diaglog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

namespace {

QString SizeText(int64_t bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(static_cast<double>(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(static_cast<double>(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString Reason(int error)
{
    if (error == CCaptureFile::kOverflow)
        return QCoreApplication::translate("TLogCapture",
                                           "the disk did not keep up, and more than %1 waited to be written")
            .arg(SizeText(static_cast<int64_t>(CCaptureFile::kBufferLimit)));
    if (error == ELOOP)
        return QCoreApplication::translate("TLogCapture",
                                           "it is a link, and a capture never writes through one");
    if (error == EPERM)
        return QCoreApplication::translate("TLogCapture", "it is another user's file");
    return QString::fromLocal8Bit(strerror(error));
}

template <typename T> T *Named(T *widget, const char *name, const QString &accessible)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

constexpr int64_t kMb = 1024 * 1024;

} // namespace

TfrmCapture::TfrmCapture(QWidget *parent, const QString &folder, const ST_CaptureChoice &last,
                         const QString &link, Starter start)
    : QDialog(parent), m_start(std::move(start))
{
    setObjectName(QStringLiteral("frmCapture"));
    setWindowTitle(tr("Capture to File"));
    auto *column = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    m_path = new QLineEdit(QDir(folder).filePath(QStringLiteral("capture.log")), this);
    m_path->setObjectName(QStringLiteral("edCaptureFile"));
    m_path->setAccessibleName(tr("Capture file"));
    m_path->setMinimumWidth(320);
    m_path->setToolTip(tr("The file name may hold {link}, {port}, {window}, {date}, {time} and {seq}"));
    auto *browse = new QPushButton(tr("&Browse..."), this);
    browse->setObjectName(QStringLiteral("btnCaptureBrowse"));
    browse->setAccessibleName(tr("Browse"));
    row->addWidget(m_path, 1);
    row->addWidget(browse);
    column->addLayout(row);
    auto *text = new QRadioButton(tr("&Lines as shown in the log"), this);
    text->setObjectName(QStringLiteral("rdCaptureText"));
    text->setAccessibleName(text->text().remove(QLatin1Char('&')));
    text->setChecked(true);
    m_raw = new QRadioButton(tr("&Raw received bytes"), this);
    m_raw->setObjectName(QStringLiteral("rdCaptureRaw"));
    m_raw->setAccessibleName(m_raw->text().remove(QLatin1Char('&')));
    m_pcapng = new QRadioButton(tr("Wireshark capture (pc&apng), both directions"), this);
    m_pcapng->setObjectName(QStringLiteral("rdCapturePcapng"));
    m_pcapng->setAccessibleName(m_pcapng->text().remove(QLatin1Char('&')));
    column->addWidget(text);
    column->addWidget(m_raw);
    column->addWidget(m_pcapng);
    column->addWidget(new QLabel(tr("In the file name: {link} {port} {window} {date} {time} {seq}"), this));

    auto *newRow = new QHBoxLayout;
    auto *newLabel = new QLabel(tr("&New file:"), this);
    m_newFile = Named(new QComboBox(this), "cbCaptureNewFile", tr("New file"));
    m_newFile->addItems({tr("Never"), tr("Each day"), tr("At a size of"), tr("At each connect")});
    newLabel->setBuddy(m_newFile);
    m_sizeMb = Named(new QSpinBox(this), "spCaptureSizeMb", tr("New file size in MB"));
    m_sizeMb->setRange(1, 1000000);
    m_sizeMb->setValue(10);
    m_sizeMb->setSuffix(QStringLiteral(" MB"));
    newRow->addWidget(newLabel);
    newRow->addWidget(m_newFile);
    newRow->addWidget(m_sizeMb);
    newRow->addStretch(1);
    column->addLayout(newRow);
    m_compress = new QCheckBox(tr("Com&press finished files"), this);
    Named(m_compress, "chkCaptureCompress", tr("Compress finished files"));
    column->addWidget(m_compress);
    auto *keepRow = new QHBoxLayout;
    m_keep = Named(new QCheckBox(tr("&Keep at most"), this), "chkCaptureKeep", tr("Keep at most"));
    m_keepCount = Named(new QSpinBox(this), "spCaptureKeep", tr("How many to keep"));
    m_keepCount->setRange(1, 1000000);
    m_keepCount->setValue(7);
    m_keepUnit = Named(new QComboBox(this), "cbCaptureKeepUnit", tr("Keep files or MB"));
    m_keepUnit->addItems({tr("files"), QStringLiteral("MB")});
    keepRow->addWidget(m_keep);
    keepRow->addWidget(m_keepCount);
    keepRow->addWidget(m_keepUnit);
    keepRow->addStretch(1);
    column->addLayout(keepRow);
    m_withLink = new QCheckBox(
        link.isEmpty() ? tr("Start &with this link") : tr("Start &with this link (%1)").arg(link), this);
    Named(m_withLink, "chkCaptureWithLink", tr("Start with this link"));
    m_withLink->setEnabled(!link.isEmpty());
    column->addWidget(m_withLink);

    if (!last.pattern.isEmpty()) {
        m_path->setText(last.pattern);
        m_raw->setChecked(last.raw && !last.pcapng);
        m_pcapng->setChecked(last.pcapng);
        m_newFile->setCurrentIndex(static_cast<int>(last.options.newFile));
        if (last.options.sizeBytes > 0)
            m_sizeMb->setValue(static_cast<int>(last.options.sizeBytes / kMb));
        m_compress->setChecked(last.options.compress);
        m_keep->setChecked(last.options.keepFiles > 0 || last.options.keepBytes > 0);
        if (last.options.keepBytes > 0) {
            m_keepUnit->setCurrentIndex(1);
            m_keepCount->setValue(static_cast<int>(last.options.keepBytes / kMb));
        } else if (last.options.keepFiles > 0) {
            m_keepCount->setValue(last.options.keepFiles);
        }
        m_withLink->setChecked(last.withLink && !link.isEmpty());
    }
    auto enable = [this] {
        m_sizeMb->setEnabled(m_newFile->currentIndex() ==
                             static_cast<int>(ST_CaptureOptions::NewFile::AtSize));
        m_keepCount->setEnabled(m_keep->isChecked());
        m_keepUnit->setEnabled(m_keep->isChecked());
    };
    enable();
    connect(m_newFile, &QComboBox::currentIndexChanged, this, enable);
    connect(m_keep, &QCheckBox::toggled, this, enable);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("btnsCapture"));
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getSaveFileName(
            this, tr("Capture to File"), m_path->text(),
            tr("Log file(*.log);;Text file(*.txt);;Wireshark capture(*.pcapng);;All files(*)"), nullptr,
            QFileDialog::DontConfirmOverwrite);
        if (!chosen.isEmpty())
            m_path->setText(chosen);
    });
}

ST_CaptureChoice TfrmCapture::Choice() const
{
    ST_CaptureChoice choice;
    choice.pattern = m_path->text().trimmed();
    choice.raw = m_raw->isChecked();
    choice.pcapng = m_pcapng->isChecked();
    choice.options.newFile = static_cast<ST_CaptureOptions::NewFile>(m_newFile->currentIndex());
    choice.options.sizeBytes = m_sizeMb->value() * kMb;
    choice.options.compress = m_compress->isChecked();
    if (m_keep->isChecked()) {
        if (m_keepUnit->currentIndex() == 1)
            choice.options.keepBytes = m_keepCount->value() * kMb;
        else
            choice.options.keepFiles = m_keepCount->value();
    }
    choice.withLink = m_withLink->isEnabled() && m_withLink->isChecked();
    return choice;
}

void TfrmCapture::accept()
{
    const QString path = m_path->text().trimmed();
    if (!path.isEmpty() && m_start) {
        if (const int error = m_start(Choice()); error != 0) {
            ShowMessage(this, tr("Cannot create file %1: %2").arg(path, Reason(error)));
            m_path->setFocus();
            return;
        }
    }
    QDialog::accept();
}

TLogCapture::TLogCapture(TTrafficLog *log, QWidget *statusBar) : m_log(log)
{
    m_label = new QLabel(statusBar);
    m_label->setObjectName(QStringLiteral("lbCapture"));
    m_label->setAccessibleName(tr("Capture"));
    m_label->setFrameShape(QFrame::Panel);
    m_label->setFrameShadow(QFrame::Sunken);
    m_label->hide();
    // Queued: the failure is met on the writer thread, or inside the log's observer.
    m_file.SetFailureHandler(
        [this](int) { QMetaObject::invokeMethod(this, &TLogCapture::Stop, Qt::QueuedConnection); });
    // The size is looked at only while it changes: a capture of an idle line wakes no one.
    m_sizeTimer.setSingleShot(true);
    m_sizeTimer.setInterval(250);
    connect(&m_sizeTimer, &QTimer::timeout, this, &TLogCapture::ShowSize);
    m_observer =
        m_log->AddObserver([this](LogDirection direction, const uint8_t *bytes, size_t length, bool shown) {
            if (!m_file.IsRunning())
                return;
            SizeMayChange();
            // The blocks come through CapturePacket; only the notes are the log's own.
            if (m_pcapng) {
                if (direction == LogDirection::Note)
                    CapturePacket(direction, bytes, length, WallNowMicros());
                return;
            }
            if (m_raw) {
                if (IsReadFromPort(direction))
                    m_file.Append(reinterpret_cast<const char *>(bytes), length);
                return;
            }
            if (!shown)
                return;
            const ST_LogRendered &rendered = m_log->NewestRendered();
            // One append a line: a change of file falls between lines, never inside one.
            for (size_t line = 0; line < rendered.lines.size(); ++line) {
                LogFileLine(rendered, line, m_line);
                m_file.Append(m_line);
            }
        });
}

TLogCapture::~TLogCapture()
{
    m_log->RemoveObserver(m_observer);
    // At exit there is no window left to tell.
    if (const int error = m_file.Stop(); error != 0)
        AppendLogFormatted(DiagLogPath(), "TLogCapture - capture to %s ended at exit: %s",
                           m_path.toLocal8Bit().constData(), Reason(error).toLocal8Bit().constData());
}

int TLogCapture::Start(const QString &path, bool raw)
{
    ST_CaptureChoice choice;
    choice.pattern = path;
    choice.raw = raw;
    return Begin(choice, QString(), true);
}

void TLogCapture::CapturePacket(LogDirection direction, const uint8_t *bytes, size_t length,
                                int64_t wallMicros)
{
    if (!m_pcapng || !m_file.IsRunning())
        return;
    // Each block one packet, so a change of file falls between packets.
    AppendLogPcapng(m_file, direction, bytes, length, wallMicros);
    SizeMayChange();
}

void TLogCapture::CaptureLineEvent(const ST_LineEvent &event, int64_t wallMicros)
{
    if (!m_pcapng || !m_file.IsRunning())
        return;
    m_line.clear();
    AppendLogPcapngEvent(m_line, event, wallMicros);
    m_file.Append(m_line);
    SizeMayChange();
}

int TLogCapture::Begin(const ST_CaptureChoice &choice, const QString &link, bool linkOpen)
{
    Stop();
    m_choice = choice;
    m_link = choice.withLink ? link : QString();
    if (!m_link.isEmpty() && !linkOpen) {
        ShowWaiting();
        emit StateChanged();
        return 0;
    }
    const int error = StartFile();
    if (error != 0)
        m_link.clear();
    return error;
}

int TLogCapture::StartFile()
{
    ST_CaptureOptions options = m_choice.options;
    if (m_names)
        options.names = m_names();
    // A line's time says nothing of its day unless a note says when the day changed.
    options.dateNotes = !m_choice.raw && !m_choice.pcapng;
    if (m_choice.pcapng) {
        const auto [port, description] = m_describe ? m_describe() : std::pair<std::string, std::string>();
        options.fileHeader = PcapngHeader(LogPcapngInterfaces(port, description));
    }
    const int error = m_file.Start(m_choice.pattern.toLocal8Bit().toStdString(), options);
    if (error != 0)
        return error;
    m_raw = m_choice.raw;
    m_pcapng = m_choice.pcapng;
    m_path = QString::fromLocal8Bit(m_file.Path().c_str());
    if (!m_link.isEmpty())
        Note("Capture started with " + m_link.toLocal8Bit().toStdString() + " on " +
             LocalDateTimeText(CSystemClock::Instance().NowMs(), false));
    m_label->show();
    ShowSize();
    emit StateChanged();
    return 0;
}

void TLogCapture::LinkOpened(const QString &link)
{
    if (m_link.isEmpty() || link != m_link)
        return;
    if (!m_file.IsRunning()) {
        if (const int error = StartFile(); error != 0) {
            m_link.clear();
            m_label->hide();
            emit StateChanged();
            Report(error);
        }
        return;
    }
    m_file.NewFile();
    Note("Port back at " + LocalDateTimeText(CSystemClock::Instance().NowMs(), false));
}

void TLogCapture::LinkLost()
{
    if (!m_link.isEmpty() && m_file.IsRunning())
        Note("Port lost at " + LocalDateTimeText(CSystemClock::Instance().NowMs(), false));
}

void TLogCapture::Note(const std::string &text)
{
    SizeMayChange();
    if (m_pcapng) {
        AppendLogPcapng(m_file, LogDirection::Note, reinterpret_cast<const uint8_t *>(text.data()),
                        text.size(), WallNowMicros());
    } else if (!m_raw) {
        m_file.Append("Note :" + text + "\r\n");
    }
}

void TLogCapture::Stop()
{
    const bool waiting = IsWaiting();
    m_link.clear();
    if (!m_file.IsRunning()) {
        if (waiting) {
            m_label->hide();
            emit StateChanged();
        }
        return;
    }
    m_path = QString::fromLocal8Bit(m_file.Path().c_str());
    const int error = m_file.Stop();
    m_sizeTimer.stop();
    m_label->hide();
    emit StateChanged();
    if (error != 0)
        Report(error);
}

void TLogCapture::Load(const QSettings &settings)
{
    ST_CaptureChoice choice;
    choice.pattern = settings.value(QStringLiteral("CapturePattern")).toString();
    if (choice.pattern.isEmpty())
        return;
    choice.raw = settings.value(QStringLiteral("CaptureRaw")).toInt() != 0;
    choice.pcapng = settings.value(QStringLiteral("CapturePcapng")).toInt() != 0;
    const int newFile = settings.value(QStringLiteral("CaptureNewFile")).toInt();
    if (newFile >= 0 && newFile <= static_cast<int>(ST_CaptureOptions::NewFile::AtConnect))
        choice.options.newFile = static_cast<ST_CaptureOptions::NewFile>(newFile);
    choice.options.sizeBytes = settings.value(QStringLiteral("CaptureSizeMB")).toLongLong() * kMb;
    choice.options.compress = settings.value(QStringLiteral("CaptureCompress")).toInt() != 0;
    choice.options.keepFiles = settings.value(QStringLiteral("CaptureKeepFiles")).toInt();
    choice.options.keepBytes = settings.value(QStringLiteral("CaptureKeepMB")).toLongLong() * kMb;
    const QString link = settings.value(QStringLiteral("CaptureWithLink")).toString();
    choice.withLink = !link.isEmpty();
    m_choice = choice;
    if (choice.withLink)
        Begin(choice, link, false);
}

void TLogCapture::Save(QSettings &settings) const
{
    if (m_choice.pattern.isEmpty())
        return;
    settings.setValue(QStringLiteral("CapturePattern"), m_choice.pattern);
    settings.setValue(QStringLiteral("CaptureRaw"), m_choice.raw ? 1 : 0);
    settings.setValue(QStringLiteral("CapturePcapng"), m_choice.pcapng ? 1 : 0);
    settings.setValue(QStringLiteral("CaptureNewFile"), static_cast<int>(m_choice.options.newFile));
    settings.setValue(QStringLiteral("CaptureSizeMB"),
                      static_cast<qlonglong>(m_choice.options.sizeBytes / kMb));
    settings.setValue(QStringLiteral("CaptureCompress"), m_choice.options.compress ? 1 : 0);
    settings.setValue(QStringLiteral("CaptureKeepFiles"), m_choice.options.keepFiles);
    settings.setValue(QStringLiteral("CaptureKeepMB"),
                      static_cast<qlonglong>(m_choice.options.keepBytes / kMb));
    settings.setValue(QStringLiteral("CaptureWithLink"), m_link);
}

void TLogCapture::Report(int error)
{
    // The file that failed: after a change of file it is the one that could not be made.
    if (!m_file.Path().empty())
        m_path = QString::fromLocal8Bit(m_file.Path().c_str());
    const QString reason = Reason(error);
    AppendLogFormatted(DiagLogPath(), "TLogCapture - capture to %s stopped: %s",
                       m_path.toLocal8Bit().constData(), reason.toLocal8Bit().constData());
    QMessageBox box(
        QMessageBox::Warning, QApplication::applicationName(),
        tr("Capture to %1 stopped: %2.\nData received from now on is not captured.").arg(m_path, reason),
        QMessageBox::Ok, m_label->window());
    box.setObjectName(QStringLiteral("msgCaptureStopped"));
    box.exec();
}

void TLogCapture::ShowSize()
{
    const QString path = QString::fromLocal8Bit(m_file.Path().c_str());
    if (m_label->toolTip() != path)
        m_label->setToolTip(path);
    const int64_t size = m_file.Size();
    m_label->setText(tr("Capture: %1 %2").arg(QFileInfo(path).fileName(), SizeText(size)));
    // The writer may still hold what was appended: one more look once it has written.
    if (size != m_shownSize || m_file.Pending() > 0)
        SizeMayChange();
    m_shownSize = size;
}

void TLogCapture::SizeMayChange()
{
    if (!m_sizeTimer.isActive())
        m_sizeTimer.start();
}

void TLogCapture::ShowWaiting()
{
    m_label->setToolTip(m_choice.pattern);
    m_label->setText(tr("Capture: waiting for %1").arg(m_link));
    m_label->show();
}
