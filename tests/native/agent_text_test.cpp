#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include "core/AgentText.h"

namespace {

std::string ReadSourceFile(const std::string& relative)
{
    std::ifstream in(std::string(KEVRA_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

// The version a line "<key> 0,3,0,0" of the resource script gives, as the title writes it: "v0.3".
// Parts after the second are written only when they are not zero ("v0.3.1" for 0,3,1,0).
std::string VersionOfRecord(const std::string& script, const std::string& key)
{
    const size_t at = script.find("\n" + key + " ");
    if (at == std::string::npos)
        return "(no " + key + ")";
    const size_t from = at + key.size() + 2;
    std::string numbers = script.substr(from, script.find_first_of("\r\n", from) - from);
    for (char& c : numbers)
        if (c == ',')
            c = '.';
    while (numbers.size() > 2 && numbers.compare(numbers.size() - 2, 2, ".0") == 0 &&
           std::count(numbers.begin(), numbers.end(), '.') > 1)
        numbers.resize(numbers.size() - 2);
    return "v" + numbers;
}

}  // namespace

TEST(AgentText, TitleCarriesTheVersion)
{
    EXPECT_EQ("[kevra+ v0.3] Arduino compiler monitoring agent", MainWindowTitle());
}

// The version record is what Explorer shows for the file: it names the version the title names.
TEST(AgentText, TitleVersionIsTheVersionRecordOfTheResources)
{
    const std::string script = ReadSourceFile("resources/kevra.rc");
    ASSERT_FALSE(script.empty());
    const std::string title = MainWindowTitle();
    for (const char* key : { "FILEVERSION", "PRODUCTVERSION" }) {
        SCOPED_TRACE(key);
        EXPECT_EQ(0u, title.find("[kevra+ " + VersionOfRecord(script, key) + "] ")) << title;
    }
}

TEST(AgentText, HowToGetsTheVersionWhereverThePlaceholderStands)
{
    const struct { const char* resource; const char* shown; } cases[] = {
        { "kevra+\r\nfor Windows vXXX", "kevra+\r\nfor Windows v0.3" },
        { "vXXX and vXXX", "v0.3 and v0.3" },
        { "vXXXX vXX", "v0.3X vXX" },              // only the whole placeholder, left to right
        { "no placeholder", "no placeholder" },
        { "", "" },                                 // resource missing: an empty text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.resource);
        EXPECT_EQ(c.shown, HowToText(c.resource));
    }
}
