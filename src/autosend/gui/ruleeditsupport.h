#pragma once
// What the single and the group rule editors share: how an event and a delay are shown and read
// back, and the event editor opened on a rule's event.
#include "autosend/event.h"

#include <QString>
#include <cstdint>
#include <memory>

class QCheckBox;
class QLineEdit;
class QWidget;

// An event's description, "Empty" when there is none.
QString EventText(const std::unique_ptr<CEvent> &event);

// Opens the event editor on `event`; when confirmed, `event` is replaced and `field` shows it.
void EditEvent(QWidget *parent, std::unique_ptr<CEvent> &event, QLineEdit *field);

// A delay shows as a checked box with its value; 0 as an unchecked box and a disabled field.
void ShowDelay(QCheckBox *box, QLineEdit *field, int32_t delay);
// A delay field's value: 0 unless its box is checked. Throws EConvertError for a non-number.
int32_t DelayOf(const QCheckBox *box, const QLineEdit *field);
