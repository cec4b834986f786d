#include "core/AgentText.h"

#include "base/Text.h"
#include "base/Version.h"

std::string MainWindowTitle()
{
    return std::string("[kevra+ ") + VersionText + "] Arduino compiler monitoring agent";
}

std::string HowToText(std::string_view resource)
{
    return ReplaceAll(resource, "vXXX", VersionText);
}
