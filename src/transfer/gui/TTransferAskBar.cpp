#include "transfer/gui/TTransferAskBar.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

TTransferAskBar::TTransferAskBar(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("barTransferAsk"));
    setAccessibleName(tr("Transfer started by the device"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 4, 2);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("lblTransferAsk"));
    m_text->setAccessibleName(tr("What the device sends"));
    m_text->setTextFormat(Qt::PlainText);
    m_accept = new QPushButton(tr("&Accept"), this);
    m_accept->setObjectName(QStringLiteral("btnAcceptTransfer"));
    m_accept->setAccessibleName(tr("Accept the transfer"));
    m_refuse = new QPushButton(tr("Re&fuse"), this);
    m_refuse->setObjectName(QStringLiteral("btnRefuseTransfer"));
    m_refuse->setAccessibleName(tr("Refuse the transfer"));
    m_always = new QCheckBox(tr("Accept without asking on this link"), this);
    m_always->setObjectName(QStringLiteral("chkAcceptOnLink"));
    m_always->setAccessibleName(tr("Accept without asking on this link"));
    row->addWidget(m_text, 1);
    row->addWidget(m_always);
    row->addWidget(m_accept);
    row->addWidget(m_refuse);
    m_wait = new QTimer(this);
    m_wait->setSingleShot(true);
    m_wait->setInterval(kWaitMs);
    connect(m_wait, &QTimer::timeout, this, [this] { Answer(false, true); });
    connect(m_accept, &QPushButton::clicked, this, [this] { Answer(true, false); });
    connect(m_refuse, &QPushButton::clicked, this, [this] { Answer(false, false); });
    hide();
}

void TTransferAskBar::Ask(const QString &what)
{
    m_text->setText(what);
    m_always->setChecked(false);
    m_wait->start();
    show();
}

void TTransferAskBar::Withdraw()
{
    m_wait->stop();
    hide();
}

void TTransferAskBar::Answer(bool accepted, bool timedOut)
{
    if (isHidden())
        return;
    Withdraw();
    if (accepted)
        emit Accepted(m_always->isChecked());
    else
        emit Refused(timedOut);
}
