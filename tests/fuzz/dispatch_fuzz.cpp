// Fuzz target: the decoder dispatch, every decoder in turn over one stream.
#include "image_fuzz_target.h"

ZARVO_IMAGE_FUZZ_TARGET(DecodeImageStream)
