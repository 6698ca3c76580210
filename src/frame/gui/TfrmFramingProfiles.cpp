#include "frame/gui/TfrmFramingProfiles.h"
#include "data/checksum.h"
#include "data/gui/dialogsupport.h"
#include "frame/delimiter.h"
#include "frame/gui/TFramingStore.h"
#include "link/linklist.h"
#include "platform/gui/coretext.h"
#include "session/sessionframes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kBuiltInRole = Qt::UserRole + 1;
constexpr int kMsLimit = 24 * 3600 * 1000;

QString Hex(const std::vector<uint8_t> &bytes)
{
    QString s;
    for (uint8_t b : bytes)
        s += (s.isEmpty() ? "" : " ") + QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

// The form DelimiterFromText reads back.
QString EscapedText(const std::vector<uint8_t> &bytes)
{
    QString s;
    for (uint8_t b : bytes) {
        if (b == '\r')
            s += "\\r";
        else if (b == '\n')
            s += "\\n";
        else if (b == '\t')
            s += "\\t";
        else if (b == '\\')
            s += "\\\\";
        else if (b >= 0x20 && b < 0x7F)
            s += QChar(b);
        else
            s += QStringLiteral("\\x%1").arg(b, 2, 16, QLatin1Char('0')).toUpper().replace("\\X", "\\x");
    }
    return s;
}

QString Printable(const std::vector<uint8_t> &bytes)
{
    QString s;
    for (uint8_t b : bytes)
        s += b >= 0x20 && b < 0x7F ? QChar(b) : QChar('.');
    return s;
}

const char kAnswerTimeOutKey[] = "answer_timeout_ms";
constexpr int kDefaultAnswerTimeOutMs = 1000;

// The decoder a built-in reads its frames with: a copy names it, since only the built-in's own
// name stands for it.
std::string DecoderOfBuiltIn(const std::string &name)
{
    if (name == "Modbus RTU")
        return "modbus-rtu";
    if (name == "Modbus ASCII")
        return "modbus-ascii";
    if (name == "NMEA 0183")
        return "nmea";
    return {};
}

template <typename T> T *Accessible(T *widget, const char *name, const QString &accessible)
{
    widget->setObjectName(name);
    widget->setAccessibleName(accessible);
    return widget;
}

QSpinBox *Spin(QWidget *parent, const char *name, const QString &accessible, int low, int high)
{
    auto *spin = Accessible(new QSpinBox(parent), name, accessible);
    spin->setRange(low, high);
    return spin;
}

QLabel *ErrorLabel(QWidget *parent, const char *name)
{
    auto *label = Named(new QLabel(parent), name);
    label->setStyleSheet(QStringLiteral("color: #c62828"));
    label->setWordWrap(true);
    label->hide();
    return label;
}

void ShowError(QLabel *label, const QString &text)
{
    label->setText(text);
    label->setAccessibleName(text);
    label->setVisible(!text.isEmpty());
}

} // namespace

TfrmFramingProfiles::TfrmFramingProfiles(QWidget *owner, Blocks blocks)
    : QDialog(owner), m_blocks(std::move(blocks)), m_previewTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("frmFramingProfiles"));
    setWindowTitle(tr("Framing Profiles"));
    setAccessibleName(tr("Framing profiles"));
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(250);
    connect(m_previewTimer, &QTimer::timeout, this, &TfrmFramingProfiles::UpdatePreview);
    Build();
    Reload();
}

void TfrmFramingProfiles::Build()
{
    lstProfiles = Accessible(new QListWidget(this), "lstProfiles", tr("Profiles"));
    btnNew = MakeButton(this, "btnNewProfile", tr("&New"));
    btnCopy = MakeButton(this, "btnCopyProfile", tr("Co&py"));
    btnDelete = MakeButton(this, "btnDeleteProfile", tr("&Delete"));
    for (QPushButton *b : {btnNew, btnCopy, btnDelete})
        b->setAccessibleName(b->text().remove('&'));
    auto *listButtons = new QHBoxLayout;
    listButtons->addWidget(btnNew);
    listButtons->addWidget(btnCopy);
    listButtons->addWidget(btnDelete);
    auto *left = new QVBoxLayout;
    left->addWidget(lstProfiles);
    left->addLayout(listButtons);

    auto *form = new QFormLayout;
    edtName = Accessible(new QLineEdit(this), "edtProfileName", tr("Name"));
    lblNameError = ErrorLabel(this, "lblNameError");
    form->addRow(tr("N&ame:"), edtName);
    form->addRow(QString(), lblNameError);
    cmbMode = Accessible(new QComboBox(this), "cmbFramingMode", tr("Mode"));
    for (const char *mode : {QT_TR_NOOP("Silence"), QT_TR_NOOP("Delimiter"), QT_TR_NOOP("Length field"),
                             QT_TR_NOOP("Fixed length"), QT_TR_NOOP("COBS"), QT_TR_NOOP("SLIP")})
        cmbMode->addItem(tr(mode));
    form->addRow(tr("&Mode:"), cmbMode);

    stkMode = Named(new QStackedWidget(this), "stkFramingMode");
    // Silence.
    auto *silence = new QWidget(stkMode);
    auto *silenceForm = new QFormLayout(silence);
    spnChars = Accessible(new QDoubleSpinBox(silence), "spnSilenceChars", tr("Gap in character times"));
    spnChars->setRange(0, 1000);
    spnChars->setDecimals(2);
    spnChars->setSingleStep(0.5);
    spnFloor = Spin(silence, "spnSilenceFloor", tr("Floor in milliseconds"), 0, kMsLimit);
    spnFloor->setSpecialValueText(tr("Automatic"));
    spnFloor->setToolTip(tr("No gap shorter than this is seen. Automatic: the latency timer of a USB "
                            "adapter; on a network port, none."));
    silenceForm->addRow(tr("&Gap (characters):"), spnChars);
    silenceForm->addRow(tr("&Floor (ms):"), spnFloor);
    stkMode->addWidget(silence);
    // Delimiter.
    auto *delimiter = new QWidget(stkMode);
    auto *delimiterForm = new QFormLayout(delimiter);
    cmbDelimiter = Accessible(new QComboBox(delimiter), "cmbDelimiterMode", tr("Delimiters"));
    for (const char *mode : {QT_TR_NOOP("End only"), QT_TR_NOOP("Start and end"), QT_TR_NOOP("Start only")})
        cmbDelimiter->addItem(tr(mode));
    cmbDelimiterAs = Accessible(new QComboBox(delimiter), "cmbDelimiterAs", tr("Delimiters written as"));
    cmbDelimiterAs->addItem(tr("Hex"));
    cmbDelimiterAs->addItem(tr("Text"));
    edtStart = Accessible(new QLineEdit(delimiter), "edtDelimiterStart", tr("Start delimiter"));
    edtEnd = Accessible(new QLineEdit(delimiter), "edtDelimiterEnd", tr("End delimiter"));
    lblStartError = ErrorLabel(delimiter, "lblStartError");
    lblEndError = ErrorLabel(delimiter, "lblEndError");
    chkKeep = Accessible(new QCheckBox(tr("&Keep the delimiters in the frame"), delimiter),
                         "chkKeepDelimiters", tr("Keep the delimiters in the frame"));
    delimiterForm->addRow(tr("De&limiters:"), cmbDelimiter);
    delimiterForm->addRow(tr("&Written as:"), cmbDelimiterAs);
    delimiterForm->addRow(tr("&Start:"), edtStart);
    delimiterForm->addRow(QString(), lblStartError);
    delimiterForm->addRow(tr("&End:"), edtEnd);
    delimiterForm->addRow(QString(), lblEndError);
    delimiterForm->addRow(QString(), chkKeep);
    stkMode->addWidget(delimiter);
    // Length field.
    auto *length = new QWidget(stkMode);
    auto *lengthForm = new QFormLayout(length);
    spnOffset = Spin(length, "spnFieldOffset", tr("Field offset"), 0, 1 << 24);
    cmbSize = Accessible(new QComboBox(length), "cmbFieldSize", tr("Field size"));
    for (const char *size : {"1", "2", "4"})
        cmbSize->addItem(QString::fromLatin1(size));
    cmbOrder = Accessible(new QComboBox(length), "cmbFieldOrder", tr("Byte order"));
    cmbOrder->addItem(tr("Big endian"));
    cmbOrder->addItem(tr("Little endian"));
    spnAdd = Spin(length, "spnFieldAdd", tr("Added to the value"), -(1 << 24), 1 << 24);
    cmbCounts = Accessible(new QComboBox(length), "cmbFieldCounts", tr("What the value counts"));
    for (const char *counts : {QT_TR_NOOP("The whole frame"), QT_TR_NOOP("The bytes after the field"),
                               QT_TR_NOOP("From the field on")})
        cmbCounts->addItem(tr(counts));
    lengthForm->addRow(tr("O&ffset:"), spnOffset);
    lengthForm->addRow(tr("Si&ze (bytes):"), cmbSize);
    lengthForm->addRow(tr("&Byte order:"), cmbOrder);
    lengthForm->addRow(tr("Added to the va&lue:"), spnAdd);
    lengthForm->addRow(tr("Count&s:"), cmbCounts);
    stkMode->addWidget(length);
    // Fixed length.
    auto *fixed = new QWidget(stkMode);
    auto *fixedForm = new QFormLayout(fixed);
    spnFixed = Spin(fixed, "spnFixedLength", tr("Frame length"), 1, 1 << 24);
    fixedForm->addRow(tr("&Length (bytes):"), spnFixed);
    stkMode->addWidget(fixed);
    // COBS and SLIP need nothing but their name.
    stkMode->addWidget(new QWidget(stkMode));
    stkMode->addWidget(new QWidget(stkMode));
    form->addRow(stkMode);

    cmbCheck = Accessible(new QComboBox(this), "cmbFrameCheck", tr("Check"));
    for (int k = 0; k < kChecksumKindCount; ++k)
        if (static_cast<EChecksumKind>(k) != EChecksumKind::Custom)
            cmbCheck->addItem(QString::fromLatin1(ChecksumName(static_cast<EChecksumKind>(k))));
    cmbCheck->setItemText(0, tr("None"));
    spnSkip = Spin(this, "spnCheckSkip", tr("Bytes at the start not checked"), 0, 1 << 24);
    spnTrail = Spin(this, "spnCheckTrail", tr("Bytes after the check value"), 0, 1 << 24);
    form->addRow(tr("C&heck:"), cmbCheck);
    form->addRow(tr("Not checked at the s&tart:"), spnSkip);
    form->addRow(tr("After the check &value:"), spnTrail);
    spnMaxLength = Spin(this, "spnMaxLength", tr("Maximum frame length"), 1, 16 * 1024 * 1024);
    spnTimeout = Spin(this, "spnFrameTimeout", tr("Time-out in milliseconds"), 0, kMsLimit);
    spnTimeout->setSpecialValueText(tr("None"));
    form->addRow(tr("Ma&ximum length:"), spnMaxLength);
    form->addRow(tr("T&ime-out (ms):"), spnTimeout);
    cmbDecoder = Accessible(new QComboBox(this), "cmbDecoder", tr("Decoder"));
    cmbDecoder->addItem(tr("Automatic"), QString());
    cmbDecoder->addItem(tr("None"), QStringLiteral("none"));
    cmbDecoder->addItem(tr("Modbus RTU"), QStringLiteral("modbus-rtu"));
    cmbDecoder->addItem(tr("Modbus ASCII"), QStringLiteral("modbus-ascii"));
    cmbDecoder->addItem(tr("NMEA 0183"), QStringLiteral("nmea"));
    cmbDecoder->addItem(tr("Layouts of this profile"), QStringLiteral("layout"));
    cmbDecoder->addItem(tr("Lua file"), QStringLiteral("lua:"));
    cmbDecoder->setToolTip(tr("Automatic: a built-in's own decoder, or the profile's layouts when it "
                              "declares some"));
    edtDecoderFile = Accessible(new QLineEdit(this), "edtDecoderFile", tr("Lua decoder file"));
    edtDecoderFile->setPlaceholderText(tr("File beside the profiles file"));
    auto *decoderRow = new QHBoxLayout;
    decoderRow->addWidget(cmbDecoder);
    decoderRow->addWidget(edtDecoderFile, 1);
    form->addRow(tr("Decoder:"), decoderRow);
    spnAnswerTimeout = Spin(this, "spnAnswerTimeout", tr("Answer time-out in milliseconds"), 0, kMsLimit);
    spnAnswerTimeout->setSpecialValueText(tr("Until the next request"));
    form->addRow(tr("Answer time-out (ms):"), spnAnswerTimeout);
    chkUseForLink =
        Accessible(new QCheckBox(tr("&Use for link:"), this), "chkUseForLink", tr("Use for link"));
    cmbLink = Accessible(new QComboBox(this), "cmbUseForLink", tr("Link"));
    auto *useRow = new QHBoxLayout;
    useRow->addWidget(chkUseForLink);
    useRow->addWidget(cmbLink, 1);
    form->addRow(useRow);
    lblError = ErrorLabel(this, "lblFramingError");
    form->addRow(lblError);

    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(form, 2);

    tblPreview = Accessible(new QTableWidget(0, 4, this), "tblFramingPreview", tr("Preview"));
    tblPreview->setHorizontalHeaderLabels({tr("Gap (ms)"), tr("Length"), tr("Bytes"), tr("Check")});
    tblPreview->horizontalHeader()->setStretchLastSection(false);
    tblPreview->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    tblPreview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPreview->verticalHeader()->hide();

    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(new QLabel(tr("The last received bytes, framed by this profile:"), this));
    all->addWidget(tblPreview, 1);
    all->addLayout(MakeOkCancelRow(this, btnOK, btnCancel));
    btnOK->setAccessibleName(tr("Save the profiles"));
    btnCancel->setAccessibleName(tr("Cancel"));
    resize(760, 640);

    connect(lstProfiles, &QListWidget::currentRowChanged, this, [this] { Select(); });
    connect(btnNew, &QPushButton::clicked, this, [this] {
        ST_FramingProfile fresh;
        NewProfile(fresh);
    });
    connect(btnCopy, &QPushButton::clicked, this, [this] {
        if (const auto from = m_work.Resolve(Current()))
            NewProfile(*from);
    });
    connect(btnDelete, &QPushButton::clicked, this, &TfrmFramingProfiles::DeleteProfile);
    connect(edtName, &QLineEdit::textEdited, this, &TfrmFramingProfiles::Rename);
    connect(cmbMode, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int mode) {
        stkMode->setCurrentIndex(mode);
        FieldsChanged();
    });
    connect(cmbDelimiterAs, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TfrmFramingProfiles::ShowDelimiters);
    for (QLineEdit *e : {edtStart, edtEnd})
        connect(e, &QLineEdit::textEdited, this, &TfrmFramingProfiles::FieldsChanged);
    for (QComboBox *c : {cmbDelimiter, cmbSize, cmbOrder, cmbCounts, cmbCheck})
        connect(c, qOverload<int>(&QComboBox::currentIndexChanged), this,
                &TfrmFramingProfiles::FieldsChanged);
    connect(cmbDecoder, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TfrmFramingProfiles::FieldsChanged);
    connect(edtDecoderFile, &QLineEdit::textEdited, this, &TfrmFramingProfiles::FieldsChanged);
    for (QSpinBox *s : {spnFloor, spnOffset, spnAdd, spnFixed, spnSkip, spnTrail, spnMaxLength, spnTimeout,
                        spnAnswerTimeout})
        connect(s, qOverload<int>(&QSpinBox::valueChanged), this, &TfrmFramingProfiles::FieldsChanged);
    connect(spnChars, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
            &TfrmFramingProfiles::FieldsChanged);
    connect(chkKeep, &QCheckBox::toggled, this, &TfrmFramingProfiles::FieldsChanged);
    connect(chkUseForLink, &QCheckBox::toggled, this, &TfrmFramingProfiles::UseForLinkToggled);
    connect(cmbLink, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] {
        if (!m_loading)
            ShowLinkChoice();
    });
    connect(btnOK, &QPushButton::clicked, this, &TfrmFramingProfiles::Accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmFramingProfiles::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    UpdatePreview();
}

void TfrmFramingProfiles::Reload()
{
    TFramingStore &store = TFramingStore::Instance();
    m_work = store.Choices();
    m_base = m_work;
    const QString error = store.Error();
    ShowError(lblError, error);
    btnOK->setEnabled(error.isEmpty());
    std::string select = Current();
    if (m_link) {
        const auto it = m_work.Links.find(m_link->LinkName);
        if (it != m_work.Links.end())
            select = it->second;
    }
    FillList(select);
}

void TfrmFramingProfiles::SetLink(const std::optional<COM_PORT_SETTING> &link)
{
    m_link = link;
    const bool loading = m_loading;
    m_loading = true;
    cmbLink->clear();
    if (link)
        cmbLink->addItem(QString::fromStdString(link->LinkName));
    for (const COM_PORT_SETTING &listed : LinkList().Links())
        if (!listed.LinkName.empty() &&
            cmbLink->findText(QString::fromStdString(listed.LinkName), Qt::MatchExactly) < 0)
            cmbLink->addItem(QString::fromStdString(listed.LinkName));
    cmbLink->setCurrentIndex(cmbLink->count() > 0 ? 0 : -1);
    m_loading = loading;
    Select();
}

void TfrmFramingProfiles::BlocksChanged()
{
    if (isVisible() && !m_previewTimer->isActive())
        m_previewTimer->start();
}

void TfrmFramingProfiles::FillList(const std::string &select)
{
    m_loading = true;
    lstProfiles->clear();
    int row = 0;
    auto add = [&](const std::string &name, bool builtIn) {
        const QString text = QString::fromStdString(name);
        auto *item = new QListWidgetItem(builtIn ? tr("%1 (built-in)").arg(text) : text, lstProfiles);
        item->setData(Qt::UserRole, text);
        item->setData(kBuiltInRole, builtIn);
        if (name == select)
            row = lstProfiles->count() - 1;
    };
    for (const std::string &name : CFrameProfile::Names())
        add(name, true);
    for (const ST_FramingProfile &p : m_work.Profiles)
        add(p.Name, false);
    lstProfiles->setCurrentRow(row);
    m_loading = false;
    Select();
}

std::string TfrmFramingProfiles::Current() const
{
    const QListWidgetItem *item = lstProfiles ? lstProfiles->currentItem() : nullptr;
    return item ? item->data(Qt::UserRole).toString().toStdString() : std::string();
}

bool TfrmFramingProfiles::CurrentIsBuiltIn() const
{
    const QListWidgetItem *item = lstProfiles->currentItem();
    return item == nullptr || item->data(kBuiltInRole).toBool();
}

ST_FramingProfile *TfrmFramingProfiles::Editing()
{
    if (CurrentIsBuiltIn())
        return nullptr;
    const std::string name = Current();
    const auto it = std::find_if(m_work.Profiles.begin(), m_work.Profiles.end(),
                                 [&](const ST_FramingProfile &p) { return p.Name == name; });
    return it == m_work.Profiles.end() ? nullptr : &*it;
}

void TfrmFramingProfiles::Select()
{
    if (m_loading)
        return;
    const std::optional<ST_FramingProfile> profile = m_work.Resolve(Current());
    if (!profile)
        return;
    ShowProfile(*profile);
    const bool own = !CurrentIsBuiltIn();
    for (QWidget *w : std::initializer_list<QWidget *>{edtName, cmbMode, stkMode, cmbCheck, spnSkip, spnTrail,
                                                       spnMaxLength, spnTimeout, cmbDecoder, edtDecoderFile,
                                                       spnAnswerTimeout})
        w->setEnabled(own);
    edtDecoderFile->setEnabled(own && cmbDecoder->currentData().toString() == QLatin1String("lua:"));
    btnDelete->setEnabled(own);
    ShowLinkChoice();
    ShowError(lblNameError, {});
    FieldsChanged();
}

void TfrmFramingProfiles::ShowProfile(const ST_FramingProfile &p)
{
    m_loading = true;
    edtName->setText(QString::fromStdString(p.Name));
    cmbMode->setCurrentIndex(static_cast<int>(p.Mode));
    stkMode->setCurrentIndex(static_cast<int>(p.Mode));
    spnChars->setValue(p.Silence.Chars);
    spnFloor->setValue(
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(p.Silence.Floor).count()));
    cmbDelimiter->setCurrentIndex(static_cast<int>(p.Delimiter.Mode));
    cmbDelimiterAs->setCurrentIndex(0);
    edtStart->setText(Hex(p.Delimiter.Start));
    edtEnd->setText(Hex(p.Delimiter.End));
    chkKeep->setChecked(p.Delimiter.Keep);
    spnOffset->setValue(static_cast<int>(p.Length.Offset));
    cmbSize->setCurrentIndex(p.Length.Size == 4 ? 2 : p.Length.Size - 1);
    cmbOrder->setCurrentIndex(p.Length.Order == EByteOrder::BigEndian ? 0 : 1);
    spnAdd->setValue(static_cast<int>(p.Length.Add));
    cmbCounts->setCurrentIndex(static_cast<int>(p.Length.Counts));
    spnFixed->setValue(static_cast<int>(p.FixedLength));
    const int check =
        p.Check.empty() ? 0 : cmbCheck->findText(QString::fromStdString(p.Check), Qt::MatchFixedString);
    cmbCheck->setCurrentIndex(std::max(check, 0));
    spnSkip->setValue(static_cast<int>(p.CheckSkip));
    spnTrail->setValue(static_cast<int>(p.CheckTrail));
    spnMaxLength->setValue(static_cast<int>(p.Limits.MaxLength));
    spnTimeout->setValue(
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(p.Limits.TimeOut).count()));
    const std::string decoder = p.Decoder.empty() ? DecoderOfBuiltIn(p.Name) : p.Decoder;
    const bool lua = decoder.rfind("lua:", 0) == 0;
    int chosen =
        cmbDecoder->findData(lua ? QStringLiteral("lua:") : QString::fromStdString(decoder).toLower());
    if (chosen < 0) {
        // A decoder this version does not know (a later one's) stays the profile's.
        cmbDecoder->addItem(QString::fromStdString(decoder), QString::fromStdString(decoder));
        chosen = cmbDecoder->count() - 1;
    }
    cmbDecoder->setCurrentIndex(chosen);
    edtDecoderFile->setText(lua ? QString::fromStdString(decoder.substr(4)) : QString());
    int answerMs = kDefaultAnswerTimeOutMs;
    for (const auto &[key, value] : p.Unknown)
        if (key == kAnswerTimeOutKey) {
            bool read = false;
            const double ms = QString::fromStdString(value).trimmed().toDouble(&read);
            if (read && ms >= 0 && ms <= kMsLimit)
                answerMs = qRound(ms);
        }
    spnAnswerTimeout->setValue(answerMs);
    m_loading = false;
}

// Switching between hex and text shows the same bytes in the other form; what does not parse
// stays as typed, with its error.
void TfrmFramingProfiles::ShowDelimiters()
{
    const bool text = cmbDelimiterAs->currentIndex() == 1;
    for (QLineEdit *edit : {edtStart, edtEnd}) {
        const std::string typed = edit->text().toStdString();
        if (typed.empty())
            continue;
        try {
            const std::vector<uint8_t> bytes = text ? DelimiterFromHex(typed) : DelimiterFromText(typed);
            edit->setText(text ? EscapedText(bytes) : Hex(bytes));
        } catch (const std::invalid_argument &) {
        }
    }
    FieldsChanged();
}

std::optional<ST_FramingProfile> TfrmFramingProfiles::FromFields(QString &error)
{
    std::optional<ST_FramingProfile> base = m_work.Resolve(Current());
    if (!base)
        return std::nullopt;
    if (CurrentIsBuiltIn())
        return base;
    ST_FramingProfile p = *base;
    p.Mode = static_cast<EFramingMode>(cmbMode->currentIndex());
    p.Silence.Chars = spnChars->value();
    p.Silence.Floor = std::chrono::milliseconds(spnFloor->value());
    p.Delimiter.Mode = static_cast<EDelimiterMode>(cmbDelimiter->currentIndex());
    bool bad = false;
    const bool text = cmbDelimiterAs->currentIndex() == 1;
    const bool needStart = p.Delimiter.Mode != EDelimiterMode::End;
    const bool needEnd = p.Delimiter.Mode != EDelimiterMode::Start;
    auto read = [&](QLineEdit *edit, QLabel *label, bool needed, std::vector<uint8_t> &out) {
        const std::string typed = edit->text().toStdString();
        QString why;
        if (typed.empty()) {
            out.clear();
            if (needed && p.Mode == EFramingMode::Delimiter)
                why = tr("This delimiter is needed.");
        } else {
            try {
                out = text ? DelimiterFromText(typed) : DelimiterFromHex(typed);
            } catch (const std::invalid_argument &x) {
                why = CoreText(x.what());
            }
        }
        ShowError(label, p.Mode == EFramingMode::Delimiter ? why : QString());
        bad = bad || (!why.isEmpty() && p.Mode == EFramingMode::Delimiter);
    };
    read(edtStart, lblStartError, needStart, p.Delimiter.Start);
    read(edtEnd, lblEndError, needEnd, p.Delimiter.End);
    p.Delimiter.Keep = chkKeep->isChecked();
    p.Length.Offset = static_cast<size_t>(spnOffset->value());
    p.Length.Size = static_cast<uint8_t>(cmbSize->currentText().toInt());
    p.Length.Order = cmbOrder->currentIndex() == 0 ? EByteOrder::BigEndian : EByteOrder::LittleEndian;
    p.Length.Add = spnAdd->value();
    p.Length.Counts = static_cast<ELengthCounts>(cmbCounts->currentIndex());
    p.FixedLength = static_cast<size_t>(spnFixed->value());
    p.Check = cmbCheck->currentIndex() == 0 ? std::string() : cmbCheck->currentText().toStdString();
    p.CheckSkip = static_cast<size_t>(spnSkip->value());
    p.CheckTrail = static_cast<size_t>(spnTrail->value());
    p.Limits.MaxLength = static_cast<size_t>(spnMaxLength->value());
    p.Limits.TimeOut = std::chrono::milliseconds(spnTimeout->value());
    const QString decoder = cmbDecoder->currentData().toString();
    const bool lua = decoder == QLatin1String("lua:");
    edtDecoderFile->setEnabled(lua);
    if (lua && edtDecoderFile->text().trimmed().isEmpty()) {
        error = tr("A Lua decoder needs the name of its file.");
        return std::nullopt;
    }
    p.Decoder = (lua ? decoder + edtDecoderFile->text().trimmed() : decoder).toStdString();
    // Kept among the keys the frames do not read; a profile at the default writes none.
    auto answer = std::find_if(p.Unknown.begin(), p.Unknown.end(),
                               [](const auto &key) { return key.first == kAnswerTimeOutKey; });
    const std::string answerMs = std::to_string(spnAnswerTimeout->value());
    if (answer != p.Unknown.end())
        answer->second = answerMs;
    else if (spnAnswerTimeout->value() != kDefaultAnswerTimeOutMs)
        p.Unknown.emplace_back(kAnswerTimeOutKey, answerMs);
    if (bad)
        return std::nullopt;
    try {
        MakeFramer(p, ST_LineTiming{});
    } catch (const std::invalid_argument &x) {
        error = CoreText(x.what());
        return std::nullopt;
    }
    return p;
}

void TfrmFramingProfiles::FieldsChanged()
{
    if (m_loading)
        return;
    QString error;
    const std::optional<ST_FramingProfile> p = FromFields(error);
    m_fieldsBad = !p;
    if (ST_FramingProfile *editing = Editing(); editing && p)
        *editing = *p;
    if (TFramingStore::Instance().Error().isEmpty()) {
        ShowError(lblError, error);
        btnOK->setEnabled(!m_fieldsBad && lblNameError->text().isEmpty());
    }
    UpdatePreview();
}

void TfrmFramingProfiles::Rename()
{
    ST_FramingProfile *editing = Editing();
    if (editing == nullptr)
        return;
    const std::string name = edtName->text().trimmed().toStdString();
    QString why;
    if (name.empty())
        why = tr("A profile needs a name.");
    else if (IsBuiltInProfileName(name))
        why = tr("A built-in profile has this name.");
    else if (const ST_FramingProfile *other = m_work.Find(name); other && other != editing)
        why = tr("Another profile has this name.");
    ShowError(lblNameError, why);
    btnOK->setEnabled(why.isEmpty() && !m_fieldsBad && TFramingStore::Instance().Error().isEmpty());
    if (!why.isEmpty())
        return;
    for (auto &link : m_work.Links)
        if (link.second == editing->Name)
            link.second = name;
    editing->Name = name;
    QListWidgetItem *item = lstProfiles->currentItem();
    item->setText(QString::fromStdString(name));
    item->setData(Qt::UserRole, QString::fromStdString(name));
}

void TfrmFramingProfiles::NewProfile(const ST_FramingProfile &from)
{
    ST_FramingProfile p = from;
    const std::string stem =
        from.Name.empty() ? tr("Profile").toStdString() : from.Name + " " + tr("copy").toStdString();
    p.Name = stem;
    if (p.Decoder.empty())
        p.Decoder = DecoderOfBuiltIn(from.Name);
    for (int n = 2; m_work.Find(p.Name) || IsBuiltInProfileName(p.Name); ++n)
        p.Name = stem + " " + std::to_string(n);
    p.Unknown.clear();
    m_work.Profiles.push_back(p);
    FillList(p.Name);
    edtName->setFocus();
    edtName->selectAll();
}

void TfrmFramingProfiles::DeleteProfile()
{
    const ST_FramingProfile *editing = Editing();
    if (editing == nullptr)
        return;
    const std::string name = editing->Name;
    for (auto it = m_work.Links.begin(); it != m_work.Links.end();)
        it = it->second == name ? m_work.Links.erase(it) : std::next(it);
    m_work.Profiles.erase(m_work.Profiles.begin() + (editing - m_work.Profiles.data()));
    FillList({});
}

std::string TfrmFramingProfiles::LinkChosen() const
{
    return cmbLink->currentText().toStdString();
}

void TfrmFramingProfiles::ShowLinkChoice()
{
    const bool loading = m_loading;
    m_loading = true;
    const bool any = cmbLink->count() > 0;
    chkUseForLink->setEnabled(any);
    cmbLink->setEnabled(any);
    const auto it = any ? m_work.Links.find(LinkChosen()) : m_work.Links.end();
    chkUseForLink->setChecked(it != m_work.Links.end() && it->second == Current());
    m_loading = loading;
}

void TfrmFramingProfiles::UseForLinkToggled(bool on)
{
    if (m_loading || cmbLink->count() == 0)
        return;
    if (on)
        m_work.Links[LinkChosen()] = Current();
    else
        m_work.Links.erase(LinkChosen());
}

void TfrmFramingProfiles::UpdatePreview()
{
    m_previewTimer->stop();
    if (!isVisible())
        return;
    QString error;
    std::optional<ST_FramingProfile> p = FromFields(error);
    tblPreview->setRowCount(0);
    if (!p || !m_blocks)
        return;
    const ST_LineTiming timing = m_link ? LineTimingOf(*m_link) : ST_LineTiming{};
    std::vector<ST_Frame> frames;
    try {
        CFrameProfile framing(m_link ? ResolveFloor(*p, m_link->PortName) : *p, timing);
        for (const ST_PreviewBlock &block : m_blocks())
            framing.Feed(EFrameDirection::Received, block.Bytes.data(), block.Bytes.size(), block.Time,
                         frames);
        framing.Flush(frames);
    } catch (const std::invalid_argument &x) {
        ShowError(lblError, CoreText(x.what()));
        return;
    }
    const size_t from = frames.size() > kPreviewRows ? frames.size() - kPreviewRows : 0;
    tblPreview->setRowCount(static_cast<int>(frames.size() - from));
    for (size_t i = from; i < frames.size(); ++i) {
        const ST_Frame &f = frames[i];
        const int row = static_cast<int>(i - from);
        const QString gap =
            f.Gap ? QString::number(static_cast<double>(f.Gap->count()) / 1000.0, 'f', 1) : QString();
        const char *checks[] = {QT_TR_NOOP("none"), QT_TR_NOOP("ok"), QT_TR_NOOP("bad")};
        const std::vector<uint8_t> &bytes = f.Bytes;
        const QString cells[] = {gap, QString::number(bytes.size()), Hex(bytes) + "   " + Printable(bytes),
                                 tr(checks[static_cast<int>(f.Check)])};
        for (int c = 0; c < 4; ++c)
            tblPreview->setItem(row, c, new QTableWidgetItem(cells[c]));
    }
}

void TfrmFramingProfiles::Accept()
{
    try {
        TFramingStore &store = TFramingStore::Instance();
        // Another window's dialog may have saved since this one began.
        store.Save(MergeFramingChoices(m_base, m_work, store.Choices()));
    } catch (const std::exception &x) {
        ShowError(lblError, CoreErrorText(x));
        return;
    }
    accept();
}
