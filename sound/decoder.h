// The sound decoder PCMCONV: probing a source read through a STREAMREF,
// reading its PCM through an output buffer, seeking by frame, and the whole
// decode; plus the loaders of a whole file or stream into memory. The kinds
// live in their own files (wavsource.cpp for the WAV kinds).
#pragma once

#include "core/file/stream.h"
#include "platform/acm/acm.h"
#include "platform/winmm/waveformat.h"

#include <cstdint>

enum PCMCONV_KIND {
    PCMCONV_KIND_PCMWAV = 0,
    PCMCONV_KIND_ACM = 1,
    PCMCONV_KIND_OGGVORBIS = 2,
};

// Kind 1: a compressed WAV (or MPEG audio) converted through ACM.
struct PCMCONV_ACM {
    WAVEFORMATEX* SourceFormat;   // heap block of at least 18 bytes
    HACMSTREAM MainStream;
    HACMSTREAM SpareStream;       // ready for backward seeks
    std::uint8_t* SourceData;     // the whole compressed data
    int SourceDataSize;
    int MainSourceUsed;
    int TotalSamples;             // output frames when known (MPEG frame walk, a WAV's fact count), else -1
    int SpareSourceUsed;
    int SpareOutput;
    std::uint8_t* SpareBuffer;
};

struct OggVorbis_File;

// Kind 2: Ogg Vorbis; the reader reads the record's own source.
struct PCMCONV_OGG {
    int ReaderOpen;
    OggVorbis_File* Reader;  // heap block, owned while ReaderOpen is 1
    int SampleBytes;
};

// Never copied or moved while valid: a kind may keep pointers into it.
struct PCMCONV {
    int ValidFlag;
    int EndFlag;
    int Kind;
    STREAMREF Source;
    int FmtPosition;
    int FmtSize;
    int DataPosition;
    int DataSize;
    WAVEFORMATEX OutputFormat;
    union {
        PCMCONV_ACM Acm;
        PCMCONV_OGG Ogg;
    };
    std::uint8_t* OutBuffer;
    int OutBufferSize;
    int OutFill;
    int OutReadOffset;
    int OutPosition;
    int PrerollTarget;
    int MovieSoundtrackFlag;
};

int SetupSoundDecoder(const STREAMREF* source, PCMCONV* decoder);
// Bytes delivered; 0 once the source is used up; -1 on an invalid decoder.
int ReadSoundDecoder(PCMCONV* decoder, void* destination, int count);
int SeekSoundDecoder(PCMCONV* decoder, int frame);
int CloseSoundDecoder(PCMCONV* decoder);
int GetSoundDecoderFormat(const PCMCONV* decoder, WAVEFORMATEX* format);
// The PCM bytes the whole source gives, or a bound for them.
int GetSoundDecoderOutputSize(PCMCONV* decoder);
// One new block (FreeMemory) with all the PCM; the size reported is what was
// really decoded.
int DecodeWholeSoundSource(PCMCONV* decoder, WAVEFORMATEX* format, void** data, int* size);
int LoadSoundFileToMemory(const char* path, void** data, int* size);
int ReadWholeStreamToMemory(const STREAMREF* stream, void** data, int* size);

// Set while the movie player loads a soundtrack; copied by each set-up.
extern int MovieSoundtrackFlag;

// The kinds' operations (wavsource.cpp; the Ogg Vorbis and MPEG sources in
// their own files).
int ProbePcmWaveSource(PCMCONV* decoder);
int ProbeAcmWaveSource(PCMCONV* decoder);
int RefillPcmWaveBuffer(PCMCONV* decoder);
int RefillAcmBuffer(PCMCONV* decoder);
int SeekPcmWaveSource(PCMCONV* decoder, int frame);
int SeekAcmSource(PCMCONV* decoder, int frame);
int ReleaseAcmSource(PCMCONV* decoder);
// The ACM probes' common end, once the source format, data position and
// size are set: the suggested PCM format, the compressed data in memory,
// both streams, and an output buffer of outBufferThirds / 3 seconds. -1
// after releasing what was made.
int FinishAcmSetup(PCMCONV* decoder, int outBufferThirds);
int ProbeMp3Source(PCMCONV* decoder);
int OpenOggVorbisSource(PCMCONV* decoder);
int DecodeOggVorbisBlock(PCMCONV* decoder);
int SeekOggVorbisSource(PCMCONV* decoder, int frame);
int CloseOggVorbisSource(PCMCONV* decoder);
int GetOggVorbisOutputSize(PCMCONV* decoder);
int GetOggVorbisTotalBytes(PCMCONV* decoder);
