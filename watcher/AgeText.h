// watcher/AgeText.h: the age of a build as the status text reads it: "5 minutes", "2 hours 5 minutes",
// "more than a day".
#pragma once

#include <cstdint>
#include <string>

// Minutes under an hour, hours and minutes under a day (1440 minutes), else "more than a day".
// The plural "s" only for values above 1, so 0 reads "0 minute".
std::string BuildAgeText(int32_t ageMinutes);
// From this age on the text stays "more than a day".
constexpr int32_t AgeTextLastChangeMinutes = 1440;
