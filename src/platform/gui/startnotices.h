#pragma once
// Problems nobody is there to click away. While the program starts, a failure is collected and
// shown with the others in one box that does not hold the start; when it ends on a signal or at
// the end of the desktop session, a failure goes to the diagnostic log and to a note the next
// start shows. Otherwise a failure is shown in a message box, as a command's failure always was.
#include <QString>

class QWidget;

// From here until ShowStartNotices, problems are collected instead of shown.
void BeginStartNotices();
// Shows, without waiting for an answer, what was collected and what the last run could not tell
// when it ended; then problems are shown as they happen again.
void ShowStartNotices(QWidget *window);

// The session manager is ending the program: nobody will answer a box any more.
void MarkSessionEnding(bool ending = true);
// True once the program ends on a signal or at the end of the session.
bool EndingUnattended();

// Shows `text` as a failure, or collects or logs it as above.
void TellProblem(QWidget *owner, const QString &text);

// "kestrum.notes" in the app folder: what an unattended end could not tell.
std::string PendingNotesPath();
