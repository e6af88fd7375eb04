// The image decoders and their dispatch: each takes a stream positioned at
// offset 0 and a zeroed GraphImage, answers 0 after filling it whole or
// another value after freeing everything it allocated.
#pragma once

#include "graphics/image/graphimage.h"
#include "graphics/image/imagestream.h"

using IMAGEDECODER = int (*)(const STREAMREF* stream, GraphImage* image);

int DecodeImageStream(const STREAMREF* stream, GraphImage* image);

// Why the last DecodeImageStream of this thread failed, when a decoder took
// the data for its format and then refused it (its library's message, after
// the format's name); "" otherwise. A decoder notes only data of its format.
const char* GetImageDecodeFault();
void NoteImageDecodeFault(const char* formatName, const char* message);

int DecodeBmpImage(const STREAMREF* stream, GraphImage* image);
int DecodeBgraImage(const STREAMREF* stream, GraphImage* image);
int DecodePngImage(const STREAMREF* stream, GraphImage* image);
int DecodeJpegImage(const STREAMREF* stream, GraphImage* image);
int DecodeTgaImage(const STREAMREF* stream, GraphImage* image);
int DecodeDdsImage(const STREAMREF* stream, GraphImage* image);
