#include "autosend/gui/ruleeditsupport.h"

#include "autosend/gui/TfrmEventEdit.h"
#include "data/gui/dialogsupport.h"
#include "platform/errors.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>

namespace {

// A fixed text of the core, marked below.
QString Tr(const std::string &text)
{
    return QCoreApplication::translate("RuleText", text.c_str());
}

QString EventText(const CEvent *event)
{
    if (!event)
        return QCoreApplication::translate("RuleText", "Empty");
    // Data summaries (the format's name and the quoted bytes) stay as they are.
    if (const auto *time = dynamic_cast<const CTimeEvent *>(event)) {
        const std::string type = CTimeEvent::TypeName(time->TimeType);
        return QCoreApplication::translate("RuleText", "%1: Value%2")
            .arg(type.empty() ? QString() : Tr(type), FromLatin1(time->TimeText));
    }
    if (const auto *length = dynamic_cast<const CReceiveFixLengthEvent *>(event))
        return QCoreApplication::translate("RuleText", "Receive Fixed Length : %1").arg(length->FixLength);
    if (const auto *data = dynamic_cast<const CReceiveSpecDataEvent *>(event))
        return QCoreApplication::translate("RuleText", "Receive Spec Data : %1")
            .arg(FromLatin1(data->SpecData.Summary()));
    const std::string fixed = event->Description();
    return fixed.empty() ? QString() : Tr(fixed);
}

// The fixed descriptions that EventText looks up by their English words.
[[maybe_unused]] const char *const kFixedTexts[] = {
    QT_TRANSLATE_NOOP("RuleText", "Action : Begin"),
    QT_TRANSLATE_NOOP("RuleText", "Action : Pause"),
    QT_TRANSLATE_NOOP("RuleText", "Action : Resume"),
    QT_TRANSLATE_NOOP("RuleText", "Action : Stop"),
    QT_TRANSLATE_NOOP("RuleText", "Receive Anything"),
    QT_TRANSLATE_NOOP("RuleText", "Time Absolure"),
    QT_TRANSLATE_NOOP("RuleText", "Time From Start"),
    QT_TRANSLATE_NOOP("RuleText", "Time From Last Send Begin"),
    QT_TRANSLATE_NOOP("RuleText", "Time From Last Send End"),
    QT_TRANSLATE_NOOP("RuleText", "Time From Receive Begin"),
    QT_TRANSLATE_NOOP("RuleText", "Time From Receive End"),
};

} // namespace

QString EventText(const std::unique_ptr<CEvent> &event)
{
    return EventText(event.get());
}

QString RuleTypeText(const CRule &rule)
{
    if (const auto *single = dynamic_cast<const CSingleRule *>(&rule))
        return single->Always ? QCoreApplication::translate("RuleText", "Single:Always")
                              : QCoreApplication::translate("RuleText", "Single");
    return QCoreApplication::translate("RuleText", "Group");
}

QString RuleComment(const CRule &rule)
{
    if (const auto *single = dynamic_cast<const CSingleRule *>(&rule))
        return single->Event
                   ? QCoreApplication::translate("RuleText", "%1 | %2")
                         .arg(EventText(single->Event.get()), FromLatin1(single->DataItem.Summary()))
                   : QCoreApplication::translate("RuleText", "Empty");
    if (const auto *group = dynamic_cast<const CGroupRule *>(&rule))
        return QCoreApplication::translate("RuleText", "Items count: %1").arg(group->Items.size());
    return FromLatin1(rule.Description());
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
