#pragma once
// The buttons under both file-transfer dialogs: the dialog's own action (the default) and Cancel.
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

inline QDialogButtonBox *TransferButtons(QDialog *dialog, const QString &action, const QString &objectName,
                                         const QString &accessibleName)
{
    auto *buttons = new QDialogButtonBox(dialog);
    QPushButton *go = buttons->addButton(action, QDialogButtonBox::AcceptRole);
    go->setObjectName(objectName);
    go->setAccessibleName(accessibleName);
    go->setDefault(true);
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    cancel->setAccessibleName(QCoreApplication::translate("Dialog", "Cancel"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}
