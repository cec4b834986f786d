#include "core/AgentText.h"

#include "core/Version.h"

std::string MainWindowTitle()
{
    return std::string("[kevra+ ") + VersionText + "] Arduino compiler monitoring agent";
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    std::string out;
    size_t start = 0;
    for (size_t at; (at = text.find(from, start)) != std::string_view::npos; start = at + from.size()) {
        out.append(text.substr(start, at - start));
        out.append(to);
    }
    out.append(text.substr(start));
    return out;
}

std::string HowToText(std::string_view resource)
{
    return ReplaceAll(resource, "vXXX", VersionText);
}
