#include <gtest/gtest.h>

#include "core/AgentText.h"
#include "core/Text.h"

TEST(AgentText, TitleCarriesTheVersion)
{
    EXPECT_EQ("[kevra+ v0.3] Arduino compiler monitoring agent", MainWindowTitle());
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

TEST(AgentText, ReplaceAllDoesNotRescanWhatItPutIn)
{
    EXPECT_EQ("aXXb", ReplaceAll("aXb", "X", "XX"));
    EXPECT_EQ("abc", ReplaceAll("abc", "", "Z"));
}
