// The input method editor of the layer, as far as the window's creation and
// end switch it: off means SDL delivers no text input.
#pragma once

#include "platform/kernel/types.h"

BOOL WINNLSEnableIME(HWND window, BOOL enable);
