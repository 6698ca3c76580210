#pragma once
// SIGTERM (the end of a desktop session, a service manager, kill) and SIGINT (Ctrl+C in the
// terminal that started the program) end the event loop as "Exit" does, so the windows write
// their settings and files on the way out. A second such signal ends the process at once.
void QuitOnTerminationSignals();

// True once such a signal was taken. The signal closes the dialogs open then (as Escape would),
// so a message box shown before the main loop returns; start-up asks this before it goes on.
bool TerminationRequested();
