// The Ogg Vorbis and MPEG audio kinds of the sound decoder, until their
// decoders are built: their probes recognise nothing, so only WAV sources
// are set up, and the other operations are never reached.
#include "sound/decoder.h"

int ProbeMp3Source(PCMCONV*) { return -1; }
int OpenOggVorbisSource(PCMCONV*) { return -1; }
int DecodeOggVorbisBlock(PCMCONV*) { return -1; }
int SeekOggVorbisSource(PCMCONV*, int) { return 0; }
int CloseOggVorbisSource(PCMCONV*) { return 0; }
int GetOggVorbisOutputSize(PCMCONV*) { return 0; }
