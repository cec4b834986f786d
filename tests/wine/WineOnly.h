// tests/wine/WineOnly.h: the guard of the tests that delete or redirect the Arduino IDE's own settings
// folders (the roaming Arduino folder, Arduino15, .arduinoIDE, ArduinoData). Under Wine these are the
// test prefix's; on a developer's Windows machine they hold the real IDE's settings, so there such a
// test fails at once, saying why, rather than passing without having run.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "Fixture.h"

// Wine's ntdll exports wine_get_version; Windows' does not.
inline bool RunningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// For a fixture's SetUp, as ASSERT_TRUE(UnderWine()): a fatal failure there keeps the test body from
// running.
inline ::testing::AssertionResult UnderWine()
{
    if (RunningUnderWine())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "this test deletes the Arduino IDE's settings folders and runs only "
                                            "under Wine: here it would wipe the real IDE settings of this machine";
}

// Removes one of the IDE's settings folders, under Wine only: the fixture's TearDown runs even when its
// SetUp refused to.
inline void RemoveIdeFolder(const std::string& folder)
{
    if (RunningUnderWine())
        RemoveTree(folder);
}
