// watcher/WatcherTiming.h: every time the watcher keeps to, and the units it counts them in.
#pragma once

#include <cstdint>

// Times are Windows file times: 100-nanosecond units since 1 January 1601 UTC.
constexpr uint64_t FileTimeSecond = 10'000'000;
constexpr uint64_t FileTimeMillisecond = FileTimeSecond / 1000;
constexpr uint64_t FileTimeMinute = 60 * FileTimeSecond;

// Pause after each timed poll, in milliseconds: the status text's ages, and the search of roots that
// give no notifications.
constexpr uint32_t PollPauseMilliseconds = 4000;
// A folder's write time that lies this close to the moment it was read may not move for an entry
// made a moment later (FAT keeps write times to 2 s): a watch's way is looked over again until its
// folders' write times lie further back.
constexpr uint64_t WriteTimeGrain = 4 * FileTimeSecond;
// Notifications arriving this close together, in milliseconds, are taken up by one poll.
constexpr uint32_t FoldMilliseconds = 30;

// A .hex written less than this before a poll's instant counts as a new build.
constexpr uint64_t NewBuildWindow = 4 * FileTimeSecond;
// A wall clock behind the monotonic clock's account by more than this was put back; less is the
// jitter of reading two clocks one after the other.
constexpr uint64_t ClockStepTolerance = 1 * FileTimeSecond;

// A new .hex counts as written whole once it ends with the Intel HEX end-of-file record and no writer
// holds it; one without that record is never acted on (a copy of it would replace a good one). Once
// such a file's size and write time stayed the same this long (a writer may pause between its
// writes) and no writer holds it, it is cut short: it waits for its next change without more looks.
constexpr uint64_t QuietTime = 1 * FileTimeSecond;
// A waiting build that no search has found for this long is forgotten (its folder was removed).
constexpr uint64_t ForgetWaitingAfter = 60 * FileTimeSecond;
// A waiting build is looked at again after this, doubling at each look up to QuietTime: a writer
// that has just finished may still hold the file for a moment.
constexpr uint64_t FirstLookAgain = 50 * FileTimeMillisecond;
