#include "core/AgentText.h"

#include "core/Text.h"
#include "core/Version.h"

std::string MainWindowTitle()
{
    return std::string("[kevra+ ") + VersionText + "] Arduino compiler monitoring agent";
}

std::string HowToText(std::string_view resource)
{
    return ReplaceAll(resource, "vXXX", VersionText);
}
