// Local time of the kernel layer.
#pragma once

#include "platform/kernel/file.h"  // SYSTEMTIME

void GetLocalTime(SYSTEMTIME* time);
