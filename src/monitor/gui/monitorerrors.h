#pragma once
// Why the monitor did not start, in the language in force. The monitor's core words its reasons in
// English for its callers and the log; the window reads the known forms back through a table and
// translates them, with the names in them as they are. A reason of another form (a network
// connection's own words) is shown as the core wrote it.
#include <QString>
#include <string>

QString MonitorErrorText(const std::string &error);
