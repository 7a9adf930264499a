// The plug-in's own resources: the licence texts (RCDATA "LICENSE0",
// "LICENSE1", "LICENSE2") and the string table with their titles (1000 to
// 1002). The table is generated at build time from the files beside this
// header (EmbedResources.cmake).
#pragma once

#include <platform/EmbeddedResources.h>

// The generated table; lives as long as the program.
const platform::EmbeddedResourceTable& PluginResourceTable();
