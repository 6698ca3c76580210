#include "platform/windowfiles.h"
#include "platform/appfolder.h"
#include "platform/textfile.h"

std::string WindowFilePath(int number, const char *stem, const char *extension)
{
    std::string name = stem;
    if (number > 1)
        name += "-" + std::to_string(number);
    return AppFilePath(name + extension);
}

void PrepareWindowRuleFile(int number)
{
    if (number <= 1)
        return;
    const std::string own = WindowFilePath(number, "Default", ".ass");
    std::string rules;
    if (!FileExists(own) && ReadWholeFile(AppFilePath("Default.ass"), rules))
        WriteFileAtomic(own, rules);
}
