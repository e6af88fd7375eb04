// Fuzz target: the Jpeg decoder alone.
#include "image_fuzz_target.h"

ZARVO_IMAGE_FUZZ_TARGET(DecodeJpegImage)
