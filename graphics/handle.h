// The handle tables moved to core's base (core/handle.h), as every subsystem
// keeps one; this name stays until the branches that include it have merged.
#pragma once

#include "core/handle.h"
