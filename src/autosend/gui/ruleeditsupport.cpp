#include "autosend/gui/ruleeditsupport.h"

#include "autosend/gui/TfrmEventEdit.h"
#include "data/gui/dialogsupport.h"
#include "platform/errors.h"

#include <QCheckBox>
#include <QLineEdit>

QString EventText(const std::unique_ptr<CEvent> &event)
{
    return event ? FromLatin1(event->Description()) : QString("Empty");
}

void EditEvent(QWidget *parent, std::unique_ptr<CEvent> &event, QLineEdit *field)
{
    TfrmEventEdit editor(parent);
    editor.SetEvent(event.get());
    if (editor.exec() != QDialog::Accepted)
        return;
    event = editor.Event();
    field->setText(EventText(event));
}

void ShowDelay(QCheckBox *box, QLineEdit *field, int32_t delay)
{
    box->setChecked(delay != 0);
    field->setText(QString::number(delay));
    field->setEnabled(delay != 0);
}

int32_t DelayOf(const QCheckBox *box, const QLineEdit *field)
{
    return box->isChecked() ? StrToInt(ToLatin1(field->text())) : 0;
}
