// Owns the sound system's start and end: the DirectSound object with its
// cooperative level, primary buffer and looping silent buffer, the device
// report in the log, and deleting every sound. Calls COM, the DirectSound
// stand-in, the kernel's module table, the sound table and the log.
#include "sound/soundsystem.h"

#include "core/log.h"
#include "platform/com/com.h"
#include "platform/kernel/file.h"
#include "platform/kernel/module.h"
#include "platform/window/window.h"
#include "sound/music.h"
#include "sound/sound.h"
#include "sound/soundrec.h"
#include "sound/wavimage.h"

#include <cstring>

namespace {

constexpr DWORD kSilentBytes = 400;

int FailDirectSound(const char* message)
{
    WriteLog(message);
    SoundState.DirectSound->Release();
    SoundState.DirectSound = nullptr;
    return -1;
}

const char* Ok(DWORD flags, DWORD bit)
{
    return (flags & bit) != 0 ? "OK" : "NO";
}

WAVEFORMATEX PrimaryFormat(const DSCAPS& caps)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = (caps.dwFlags & DSCAPS_PRIMARYSTEREO) ? 2 : 1;
    f.wBitsPerSample = (caps.dwFlags & DSCAPS_PRIMARY16BIT) ? 16 : 8;
    f.nSamplesPerSec = caps.dwMaxSecondarySampleRate < 44100 ? caps.dwMaxSecondarySampleRate : 44100;
    f.nBlockAlign = static_cast<WORD>(f.wBitsPerSample / 8 * f.nChannels);
    f.nAvgBytesPerSec = f.nBlockAlign * f.nSamplesPerSec;
    return f;
}

int StartDirectSound()
{
    SOUNDSTATE& s = SoundState;
    WriteLog("DirectSound の初期化を行います\n");
    WriteLog("DirectSound インターフェースの取得を行います....  ");
    if (FAILED(CoCreateInstance(CLSID_DirectSound, nullptr, 7, IID_IDirectSound,
                                reinterpret_cast<void**>(&s.DirectSound)))) {
        s.DirectSound = nullptr;
        return WriteLog("DirectSoundインターフェースの作成に失敗しました\n");
    }
    WriteLog("成功\n");
    WriteLog("引き続きインターフェースの初期化処理...  ");
    if (FAILED(s.DirectSound->Initialize(nullptr))) return FailDirectSound("初期化に失敗しました\n");
    WriteLog("成功\n");
    if (FAILED(s.DirectSound->SetCooperativeLevel(GetDesktopWindow(), DSSCL_PRIORITY)))
        return FailDirectSound("DirectSoundの協調レベルの設定に失敗しました\n");
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    if (FAILED(s.DirectSound->CreateSoundBuffer(&desc, &s.PrimaryBuffer, nullptr)))
        return FailDirectSound("DirectSoundのプライマリサウンドバッファの作成に失敗しました\n");
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    s.DirectSound->GetCaps(&caps);
    const WAVEFORMATEX primary = PrimaryFormat(caps);
    if (FAILED(s.PrimaryBuffer->SetFormat(&primary)))
        WriteLog("DirectSoundのプライマリサウンドバッファのフォーマット設定に失敗しました\n");
    return 0;
}

void StartSilentBuffer()
{
    SOUNDSTATE& s = SoundState;
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GLOBALFOCUS | DSBCAPS_STATIC;
    desc.dwBufferBytes = kSilentBytes;
    desc.lpwfxFormat = &f;
    if (FAILED(s.DirectSound->CreateSoundBuffer(&desc, &s.SilentBuffer, nullptr))) {
        s.SilentBuffer = nullptr;
        WriteLog("無音バッファの作成に失敗しました\n");
        return;
    }
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD s1 = 0, s2 = 0;
    if (FAILED(s.SilentBuffer->Lock(0, kSilentBytes, &p1, &s1, &p2, &s2, 0))) {
        WriteLog("無音バッファのロックに失敗しました\n");
        s.SilentBuffer->Release();
        s.SilentBuffer = nullptr;
        return;
    }
    std::memset(p1, 0, s1);
    if (p2 != nullptr) std::memset(p2, 0, s2);
    s.SilentBuffer->Unlock(p1, s1, p2, s2);
    s.SilentBuffer->Play(0, 0, DSBPLAY_LOOPING);
}

void ReportDevices()
{
    IncreaseLogIndent();
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    SoundState.DirectSound->GetCaps(&caps);
    WriteLog("DirectSound デバイスを列挙します\n");
    IncreaseLogIndent();
    HMODULE dll = LoadLibraryA("DSOUND.DLL");
    if (dll == nullptr) {
        WriteLog("DSOUND.DLL のロードに失敗しました\n");
        DecreaseLogIndent();
        DecreaseLogIndent();
        return;
    }
    auto enumerate = reinterpret_cast<HRESULT (*)(LPDSENUMCALLBACKA, void*)>(GetProcAddress(dll, "DirectSoundEnumerateA"));
    if (enumerate == nullptr) {
        FreeLibrary(dll);
        WriteLog("DirectSound デバイスの列挙用関数のポインタ取得に失敗しました\n");
        DecreaseLogIndent();
        DecreaseLogIndent();
        return;
    }
    enumerate(LogSoundDeviceCallback, nullptr);
    DecreaseLogIndent();
    const DWORD f = caps.dwFlags;
    WriteLogFormat("最大サンプリングレート:%.2fKHz 最小サンプリングレート:%.2fKHz ",
                   caps.dwMaxSecondarySampleRate / 1000.0, caps.dwMinSecondarySampleRate / 1000.0);
    WriteLogFormat("総サウンドメモリ領域:%.2fKB 空きサウンドメモリ領域:%.2fKB \n", caps.dwTotalHwMemBytes / 1024.0,
                   caps.dwFreeHwMemBytes / 1024.0);
    WriteLog("利用可能サンプリング精度\n");
    WriteLogFormat(" プライマリ １６bit = %s  ８bit = %s ", Ok(f, DSCAPS_PRIMARY16BIT), Ok(f, DSCAPS_PRIMARY8BIT));
    WriteLogFormat(" セカンダリ １６bit = %s  ８bit = %s \n", Ok(f, DSCAPS_SECONDARY16BIT),
                   Ok(f, DSCAPS_SECONDARY8BIT));
    WriteLog("利用可能チャンネル\n");
    WriteLogFormat(" プライマリ MONO = %s  STEREO = %s ", Ok(f, DSCAPS_PRIMARYMONO), Ok(f, DSCAPS_PRIMARYSTEREO));
    WriteLogFormat(" セカンダリ MONO = %s  STEREO = %s \n", Ok(f, DSCAPS_SECONDARYMONO),
                   Ok(f, DSCAPS_SECONDARYSTEREO));
    DecreaseLogIndent();
    FreeLibrary(dll);
}

} // namespace

BOOL LogSoundDeviceCallback(GUID*, LPCSTR description, LPCSTR module, void*)
{
    WriteLogFormat("モジュール名:%15s  ドライバ記述:%s ", module, description);
    return TRUE;
}

int DeleteAllSounds()
{
    if (SoundState.DirectSound == nullptr) return -1;
    // Every slot, not only those below the high-water index: a record re-made
    // under a given handle may stand above it.
    SOUNDTABLE& t = SoundState.Table;
    for (std::uint32_t slot = 0; slot < t.Capacity; ++slot) {
        if (SOUNDREC* rec = t.Records[slot])
            DiscardSoundHandle(MakeHandleValue(rec->Check, HANDLETAG_SOUND, slot));
    }
    return 0;
}

int StartupSoundSystem()
{
    SOUNDSTATE& s = SoundState;
    if (s.DirectSound != nullptr) return -1;
    // The music mode is always 0 here: the DirectMusic branch is not built.
    if (StartDirectSound() == -1) return -1;
    StartSilentBuffer();
    s.SoundLoadMode = 0;
    s.OggSampleBytes = 2;
    InitNodeList(&s.StreamListFirst, &s.StreamListLast);
    ReportDevices();
    WriteLog("DirectSound の初期化は正常に終了しました\n");
    DeleteAllSounds();
    return 0;
}

int ShutdownSoundSystem()
{
    SOUNDSTATE& s = SoundState;
    if (s.DirectSound == nullptr) return -1;
    CloseWaveOutputFile();
    DeleteAllSounds();
    DeleteAllMusicHandles();
    // Nothing fills the temporary MIDI file's path: the delete fails unseen.
    DeleteFileA(MusicState.TempPath);
    if (s.PrimaryBuffer != nullptr) {
        s.PrimaryBuffer->Stop();
        s.PrimaryBuffer->Release();
        s.PrimaryBuffer = nullptr;
    }
    if (s.SilentBuffer != nullptr) {
        s.SilentBuffer->Stop();
        s.SilentBuffer->Release();
        s.SilentBuffer = nullptr;
    }
    s.DirectSound->Release();
    s.DirectSound = nullptr;
    WriteLog("DirectSound の終了処理は正常に終了しました\n");
    return 0;
}
