// base/Version.h: the version text that the window titles show and that replaces "vXXX" in the
// how-to text. The version numbers in resources/kevra.rc and in both manifests say the same.
#pragma once

constexpr char VersionText[] = "v0.3";
