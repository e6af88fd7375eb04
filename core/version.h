// The library's own version text, shown in the system report.
#pragma once

const char* GetLibraryVersionText();
