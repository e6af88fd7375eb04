// Owns the version text; the build passes it in from the project version.
#include "core/version.h"

const char* GetLibraryVersionText()
{
    return ZARVO_VERSION_TEXT;
}
