#include "watcher/AgeText.h"

#include "base/Text.h"

namespace {
std::string Counted(int32_t n, const char* unit)
{
    return DecimalText(n) + " " + unit + (n > 1 ? "s" : "");
}
}

std::string BuildAgeText(int32_t ageMinutes)
{
    if (ageMinutes < 60)
        return Counted(ageMinutes, "minute");
    if (ageMinutes < AgeTextLastChangeMinutes) {
        const int32_t hours = ageMinutes / 60;
        const int32_t rest = ageMinutes - 60 * hours;
        std::string text = Counted(hours, "hour");
        if (rest != 0)
            text += " " + Counted(rest, "minute");
        return text;
    }
    return "more than a day";
}
