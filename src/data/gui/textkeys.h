#pragma once
// Tab in a data edit walks on to the next control, as in any form; a TAB character is typed with
// Ctrl+I, its name among the control keys, so a Tab meant for the form never goes out on the line.
class QTextEdit;

void TypeTabWithCtrlI(QTextEdit *edit);
