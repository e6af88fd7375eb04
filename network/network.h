// The network subsystem as the start-up, shutdown, message loop and window
// procedure reach it: connections, their data operations and HTTP transfers.
#pragma once

#include "network/http.h"
#include "network/netconn.h"
#include "network/netdata.h"
