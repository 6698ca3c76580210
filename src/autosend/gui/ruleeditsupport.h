#pragma once
// What the single and the group rule editors share: how an event and a delay are shown and read
// back, and the event editor opened on a rule's event.
#include "autosend/event.h"
#include "autosend/rule.h"

#include <QString>
#include <cstdint>
#include <memory>

class QCheckBox;
class QLineEdit;
class QWidget;

// An event's description, "Empty" when there is none, in the language in force; the rule file
// and the engine keep the English of CEvent::Description.
QString EventText(const std::unique_ptr<CEvent> &event);
// The rule list's Type and Comment columns, as TypeText and Description in the language in force.
QString RuleTypeText(const CRule &rule);
QString RuleComment(const CRule &rule);

// Opens the event editor on `event`; when confirmed, `event` is replaced and `field` shows it.
void EditEvent(QWidget *parent, std::unique_ptr<CEvent> &event, QLineEdit *field);

// A delay shows as a checked box with its value; 0 as an unchecked box and a disabled field.
void ShowDelay(QCheckBox *box, QLineEdit *field, int32_t delay);
// A delay field's value: 0 unless its box is checked. Throws EConvertError for a non-number.
int32_t DelayOf(const QCheckBox *box, const QLineEdit *field);
