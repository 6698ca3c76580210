#include "log/gui/TLogCapture.h"

#include "data/gui/dialogsupport.h"
#include "log/gui/TTrafficLog.h"
#include "platform/diaglog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QVBoxLayout>
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
        return QStringLiteral("the disk did not keep up, and more than %1 waited to be written")
            .arg(SizeText(static_cast<int64_t>(CCaptureFile::kBufferLimit)));
    return QString::fromLocal8Bit(strerror(error));
}

} // namespace

TfrmCapture::TfrmCapture(QWidget *parent, const QString &folder, Starter start)
    : QDialog(parent), m_start(std::move(start))
{
    setObjectName(QStringLiteral("frmCapture"));
    setWindowTitle(QStringLiteral("Capture to File"));
    auto *column = new QVBoxLayout(this);
    auto *row = new QHBoxLayout;
    m_path = new QLineEdit(QDir(folder).filePath(QStringLiteral("capture.log")), this);
    m_path->setObjectName(QStringLiteral("edCaptureFile"));
    m_path->setAccessibleName(QStringLiteral("Capture file"));
    m_path->setMinimumWidth(320);
    auto *browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("btnCaptureBrowse"));
    browse->setAccessibleName(QStringLiteral("Browse"));
    row->addWidget(m_path, 1);
    row->addWidget(browse);
    column->addLayout(row);
    auto *text = new QRadioButton(QStringLiteral("&Lines as shown in the log"), this);
    text->setObjectName(QStringLiteral("rdCaptureText"));
    text->setAccessibleName(text->text().remove(QLatin1Char('&')));
    text->setChecked(true);
    m_raw = new QRadioButton(QStringLiteral("&Raw received bytes"), this);
    m_raw->setObjectName(QStringLiteral("rdCaptureRaw"));
    m_raw->setAccessibleName(m_raw->text().remove(QLatin1Char('&')));
    column->addWidget(text);
    column->addWidget(m_raw);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("btnsCapture"));
    column->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen =
            QFileDialog::getSaveFileName(this, QStringLiteral("Capture to File"), m_path->text(),
                                         QStringLiteral("Log file(*.log);;Text file(*.txt);;All files(*)"),
                                         nullptr, QFileDialog::DontConfirmOverwrite);
        if (!chosen.isEmpty())
            m_path->setText(chosen);
    });
}

QString TfrmCapture::Path() const
{
    return m_path->text().trimmed();
}

bool TfrmCapture::Raw() const
{
    return m_raw->isChecked();
}

void TfrmCapture::accept()
{
    const QString path = Path();
    if (!path.isEmpty() && m_start) {
        if (const int error = m_start(path, Raw()); error != 0) {
            ShowMessage(this, QStringLiteral("Cannot create file ") + path + QStringLiteral(": ") +
                                  QString::fromLocal8Bit(strerror(error)));
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
    m_label->setAccessibleName(QStringLiteral("Capture"));
    m_label->setFrameShape(QFrame::Panel);
    m_label->setFrameShadow(QFrame::Sunken);
    m_label->hide();
    // Queued: the failure is met on the writer thread, or inside the log's observer.
    m_file.SetFailureHandler(
        [this](int) { QMetaObject::invokeMethod(this, &TLogCapture::Stop, Qt::QueuedConnection); });
    m_sizeTimer.setInterval(250);
    connect(&m_sizeTimer, &QTimer::timeout, this, &TLogCapture::ShowSize);
    m_log->SetObserver([this](LogDirection direction, const uint8_t *bytes, size_t length, bool shown) {
        if (!m_file.IsRunning())
            return;
        if (m_raw) {
            if (IsReadFromPort(direction))
                m_file.Append(reinterpret_cast<const char *>(bytes), length);
            return;
        }
        if (!shown)
            return;
        const ST_LogRendered &rendered = m_log->NewestRendered();
        for (const ST_LogRendered::Span &span : rendered.lines) {
            m_file.Append(rendered.text.data() + span.start, span.length);
            m_file.Append("\r\n", 2);
        }
    });
}

TLogCapture::~TLogCapture()
{
    m_log->SetObserver({});
    // At exit there is no window left to tell.
    if (const int error = m_file.Stop(); error != 0)
        AppendLogFormatted(DiagLogPath(), "TLogCapture - capture to %s ended at exit: %s",
                           m_path.toLocal8Bit().constData(), Reason(error).toLocal8Bit().constData());
}

int TLogCapture::Start(const QString &path, bool raw)
{
    Stop();
    const int error = m_file.Start(path.toLocal8Bit().toStdString());
    if (error != 0)
        return error;
    m_raw = raw;
    m_path = path;
    m_label->setToolTip(path);
    m_label->show();
    ShowSize();
    m_sizeTimer.start();
    emit StateChanged();
    return 0;
}

void TLogCapture::Stop()
{
    if (!m_file.IsRunning())
        return;
    const int error = m_file.Stop();
    m_sizeTimer.stop();
    m_label->hide();
    emit StateChanged();
    if (error != 0)
        Report(error);
}

void TLogCapture::Report(int error)
{
    const QString reason = Reason(error);
    AppendLogFormatted(DiagLogPath(), "TLogCapture - capture to %s stopped: %s",
                       m_path.toLocal8Bit().constData(), reason.toLocal8Bit().constData());
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QStringLiteral("Capture to %1 stopped: %2.\nData received from now on is not captured.")
                        .arg(m_path, reason),
                    QMessageBox::Ok, m_label->window());
    box.setObjectName(QStringLiteral("msgCaptureStopped"));
    box.exec();
}

void TLogCapture::ShowSize()
{
    m_label->setText(QStringLiteral("Capture: ") + SizeText(m_file.Size()));
}
