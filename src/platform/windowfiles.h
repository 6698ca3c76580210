#pragma once
// The working files of one of several windows: the first window keeps the files it always had;
// window n >= 2 has "<stem>-n<extension>" in the app folder ("Default-2.ass", "TempRec-2.tmp").
#include <string>

std::string WindowFilePath(int number, const char *stem, const char *extension);
// Window n >= 2 starts from the first window's rules until it saves its own. Throws as
// WriteFileAtomic does.
void PrepareWindowRuleFile(int number);
