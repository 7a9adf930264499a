// The licence texts of the decoding libraries the plug-in uses, written to
// the host's log as important entries, each under its title. The texts are
// the module's RCDATA resources "LICENSE0", "LICENSE1", ... and their titles
// the string-table entries 1000, 1001, ...
#pragma once

#include <platform/DynamicLibrary.h>

// Logs the notices of the plug-in's own module.
void ShowLicenceNotices();
// Logs the notices found in `module`'s resources: "LICENSE0", "LICENSE1",
// ... under titles 1000, 1001, ..., stopping at the first missing one after
// "LICENSE0" (a missing "LICENSE0" alone does not stop the walk); when none
// was found, the resource "LICENSE" under title 1000.
void ShowLicenceNotices(platform::LibraryHandle module);

// Logs the resource `resourceName` of the plug-in's own module (or of
// `module`) as one important entry: the title (string `titleId` of the
// module's string table, when `titleId` is above 0 and the string exists)
// on a line of its own, then the text with "\r\n" turned into "\n". An empty
// text logs nothing. Answers true when the resource was found and read
// (also when it was empty), false otherwise (nothing logged).
bool ShowLicence(const char* resourceName, int titleId);
bool ShowLicence(platform::LibraryHandle module, const char* resourceName, int titleId);
