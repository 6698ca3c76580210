#include "help/gui/TfrmAbout.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QFrame *Separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel *BoldLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSize(12);
    label->setFont(font);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

QString TfrmAbout::VersionText(const std::string &version)
{
    return version.empty() ? QStringLiteral("v 1.0") : QStringLiteral("v ") + QString::fromStdString(version);
}

TfrmAbout::TfrmAbout(QWidget *owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About"));
    setFixedSize(328, 202);
    auto *column = new QVBoxLayout(this);

    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(QIcon(QStringLiteral(":/icons/logo.svg")).pixmap(177, 81));
    logo->setAlignment(Qt::AlignCenter);
    column->addWidget(logo);

    auto *name = BoldLabel(QStringLiteral("Kestrum"), this);
    name->setObjectName(QStringLiteral("lbProductName"));
    auto *version = BoldLabel(VersionText(KESTRUM_VERSION), this);
    version->setObjectName(QStringLiteral("lbVersion"));
    auto *names = new QHBoxLayout;
    names->addWidget(name);
    names->addWidget(version);
    column->addLayout(names);
    column->addWidget(Separator(this));

    auto *link = new QLabel(this);
    link->setObjectName(QStringLiteral("lbWebAddress"));
    const QString address = QString::fromLatin1(kWebAddress);
    link->setText(
        QStringLiteral("<a href=\"%1\" style=\"color:#0000ff; font-weight:bold\">%1</a>").arg(address));
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setAlignment(Qt::AlignCenter);
    column->addWidget(link);
    column->addWidget(Separator(this));

    auto *ok = new QPushButton(tr("&Ok"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    column->addWidget(ok, 0, Qt::AlignCenter);
}
