// Owns the start-up and shutdown sequences, the system report and COM
// start-up, and installs the shutdown in the fatal exit. Calls the log,
// allocator, main window, message loop, file layer, input, sound, screen,
// movies, network and the kernel's system facts, and installs the hooks
// through which subsystems call upwards and the services the message loop
// and window mode run in the screen, sound, movies and network.
#include "core/startup.h"

#include "core/api.h"
#include "core/apilock.h"
#include "core/fatalexit.h"
#include "core/file/filefuncs.h"
#include "core/file/packfile.h"
#include "core/file/stream.h"
#include "core/format.h"
#include "core/inactivewait.h"
#include "core/input.h"
#include "core/log.h"
#include "core/mainwindow.h"
#include "core/memory.h"
#include "core/msgloop.h"
#include "core/sysstate.h"
#include "core/textinput.h"
#include "core/windowmode.h"
#include "graphics/debugconsole.h"
#include "core/text.h"
#include "core/version.h"
#include "graphics/drawstate.h"
#include "graphics/font/font.h"
#include "graphics/graph.h"
#include "graphics/graph_movie.h"
#include "graphics/mask.h"
#include "graphics/screen.h"
#include "graphics/screen_keep.h"
#include "graphics/screen_window.h"
#include "movie/movie.h"
#include "movie/theora.h"
#include "network/network.h"
#include "platform/com/com.h"
#include "platform/gdi/gdi.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/system.h"
#include "platform/winmm/timer.h"
#include "platform/winsock/winsock.h"
#include "sound/music.h"
#include "sound/soundsystem.h"
#include "sound/streamsound.h"

#include <cstring>

namespace {

// What a failing start-up had set up, so the failure can undo it (input
// devices join here when they start in the sequence, and are ended first).
struct StartupProgress {
    bool Com = false;
    bool Window = false;
    bool Input = false;
    bool Sound = false;
};

int FailStartup(const StartupProgress& progress)
{
    // The shutdown does nothing here (the library is not marked started).
    RunShutdownSequence();
    // Undo this start-up's own steps, newest first, so the next one can run.
    if (progress.Sound) ShutdownSoundSystem();
    if (progress.Input) TerminateInput();
    if (progress.Window) CloseMainWindow();
    if (progress.Com && SysState.ComInitFlag == 1) {
        CoUninitialize();
        SysState.ComInitFlag = 0;
    }
    SysState.StartupFlag = 0;
    return -1;
}

bool IsDisplay24Bit()
{
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
    ReleaseDC(nullptr, dc);
    return bits == 24;
}

void ReportOperatingSystem()
{
    WriteLog("ＯＳ  ");
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    char name[64];
    CopyText(name, "Windows");
    if (info.dwPlatformId == VER_PLATFORM_WIN32s) {
        AppendText(name, "3.1");
        SysState.OSCode = 0;
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (info.dwMinorVersion == 0) {
            AppendText(name, "95");
            if (info.szCSDVersion[0] == 'C') AppendText(name, "OSR2");
            SysState.OSCode = 1;
        } else if (info.dwMinorVersion == 10) {
            AppendText(name, "98");
            if (info.szCSDVersion[0] == 'A') AppendText(name, "SE");
            SysState.OSCode = 2;
        } else if (info.dwMinorVersion == 90) {
            AppendText(name, "Me");
            SysState.OSCode = 3;
        }
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (info.dwMajorVersion == 3) {
            AppendText(name, "NT 3.51");
            SysState.OSCode = 0x104;
        } else if (info.dwMajorVersion == 4) {
            AppendText(name, "4.0");
            SysState.OSCode = 0x105;
        } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) {
            AppendText(name, "2000");
            SysState.OSCode = 0x106;
        } else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) {
            AppendText(name, "XP");
            SysState.OSCode = 0x107;
        } else if (info.dwMajorVersion == 6) {
            AppendText(name, "Vista");
            SysState.OSCode = 0x108;
        }
    }
    FormatToBuffer(SysState.OSText, sizeof SysState.OSText, "%s ( Build %d %s )", name,
                   static_cast<int>(info.dwBuildNumber), info.szCSDVersion);
    char host[128];
    GetHostSystemName(host, sizeof host);
    if (host[0] != '\0') {
        WriteLogFormat("%s  [%s]", SysState.OSText, host);
    } else {
        WriteLogFormat("%s", SysState.OSText);
    }
}

void ReportProcessor()
{
    SysState.MMXFlag = 0;
    int level = 0;
    char vendor[13] = {};
    char brand[49] = {};
    int tsc = 0;
    if (IsCpuidAvailable()) {
        DWORD r[4];
        ExecuteCpuid(0, r);
        std::memcpy(vendor, &r[1], 4);
        std::memcpy(vendor + 4, &r[3], 4);
        std::memcpy(vendor + 8, &r[2], 4);
        level = 1;
        ExecuteCpuid(1, r);
        const DWORD features = r[3];
        tsc = (features >> 4) & 1;
        ExecuteCpuid(0x80000000u, r);
        if (r[0] >= 0x80000004u) {
            for (DWORD f = 0; f < 3; ++f) {
                ExecuteCpuid(0x80000002u + f, r);
                std::memcpy(brand + f * 16, r, 16);
            }
        }
        if (features & (1u << 23)) {
            level = 3;
            if (features & (1u << 25)) {
                level = 4;
                if (features & (1u << 26)) level = 5;
            }
        }
    }

    SysState.TSCFlag = tsc;
    if (tsc == 1) {
        ULONGLONG before = ReadTimeStampCounter();
        DWORD start = timeGetTime();
        while (timeGetTime() - start < 100) {
        }
        ULONGLONG d = ReadTimeStampCounter() - before;
        SysState.TSCFrequency = d * 10;
        SysState.CPUSpeed = static_cast<DWORD>(static_cast<double>(d) * 0.00001);
        WriteLogFormat("ＣＰＵ動作速度：大体%.2fGHz", SysState.CPUSpeed * 0.001);
    }

    switch (level) {
    case 0:
        WriteLog("ＣＰＵＩＤ命令は使えません\n");
        return;
    case 1:
        WriteLog("ＭＭＸは使えません\n");
        break;
    case 3:
        WriteLog("ＭＭＸ命令を使用します\n");
        SysState.MMXFlag = 1;
        break;
    case 4:
        WriteLog("ＭＭＸ命令を使用します\n");
        WriteLog("ＳＳＥ命令が使用可能です\n");
        SysState.MMXFlag = 1;
        SysState.SSEFlag = 1;
        break;
    default:
        WriteLog("ＭＭＸ命令を使用します\n");
        WriteLog("ＳＳＥ命令が使用可能です\n");
        WriteLog("ＳＳＥ２命令が使用可能です\n");
        SysState.MMXFlag = 1;
        SysState.SSEFlag = 1;
        SysState.SSE2Flag = 1;
        break;
    }

    char line[64];
    FormatToBuffer(line, sizeof line, "ＣＰＵベンダ：%.4s%.4s%.4s\n", vendor, vendor + 4, vendor + 8);
    WriteLog(line);
    if (brand[0] != '\0') {
        WriteLogFormat("ＣＰＵ名：%s", brand);
        CopyText(SysState.CPUName, brand);
    }
}

void PollSockets()
{
    PollSocketSelections();
}

void ServiceInactivePass()
{
    PumpNetWork(1);
    ProcessAllHttpHandles();
    RefillAllStreamSounds();
    RefreshAllMovieOverlays();
}

void ServiceSoundPass()
{
    RefillAllStreamSounds();
    PollMidiPlayStates();
}

void ServiceNetworkPass()
{
    PumpNetWork(1);
    const HTTPSTATE& http = HttpState;
    for (int i = 0; i < HTTP_HANDLE_MAX; ++i) {
        if (http.Handles[i] != nullptr) StepHttpHandle(i);
    }
}

int RebuildScreenKeepingBackScreen()
{
    // The picture on the back screen outlives the switch.
    KEPTSCREEN* kept = SaveBackScreenPixels();
    const int result = RebuildScreenForMode(-1, -1, -1, 1, -1);
    RestoreBackScreenPixels(kept);
    return result;
}

void AimFrontAtClientRect(const RECT& client, const RECT& frontArea)
{
    if (GetCurrentDrawTarget() != DRAWTARGET_FRONT) return;
    if (ScreenState.FrontViaTempPrimary != 1) {
        const int masked = IsMaskScreenActive();
        if (masked != 0) EnableMaskScreen(0);
        StoreDrawTargetScreenRect(&client);
        if (masked != 0) EnableMaskScreen(1);
    }
    // Storing the area rewrites the front area it came from.
    const RECT area = frontArea;
    StoreDrawArea(area.left, area.top, area.right, area.bottom);
}

void ReshowGDISurface()
{
    ShowGDISurface(IsGDISurfaceShown());
}

// The calls that run from a lower layer up to a higher one. Installed when
// the program loads, so a screen started without the start-up sequence (as
// some tests start one) has them too.
[[maybe_unused]] const bool g_hooksInstalled = [] {
    InstallInactiveWaitHooks({ServiceMessageLoop, IsGDISurfaceShown, ReloadAllGraphSurfaces});
    InstallScreenWindowHooks({ApplyWindowStyle});
    InstallMessageLoopServices({PollSockets, ServiceInactivePass, ServiceSoundPass, ServiceNetworkPass});
    InstallWindowModeScreen({RebuildScreenKeepingBackScreen, GetScreenPixelSize, AimFrontAtClientRect, ReshowGDISurface});
    InstallGraphMovieService({OpenMovie, DisposeMovieHandle, GetMovieRecord, GetMoviePicture, SetMovieFrameCallback,
                              RestoreMovieSurfaces, RefreshMovieFrame, ReopenAllMovieStreams});
    return true;
}();

} // namespace

int InitializeCom()
{
    if (SysState.ComInitFlag == 1) return -1;
    WriteLog("ＣＯＭの初期化... ");
    if (FAILED(CoInitialize(nullptr))) {
        WriteLog("ＣＯＭの初期化に失敗しました\n");
        return -1;
    }
    WriteLog("成功しました\n");
    SysState.ComInitFlag = 1;
    return 0;
}

int WriteSystemReport()
{
    WriteLog("システムの情報を出力します\n");
    IncreaseLogIndent();
    WriteLogFormat("ＺＡＲＶＯ Ver%s", GetLibraryVersionText());
    ReportOperatingSystem();

    TIMECAPS caps{};
    timeGetDevCaps(&caps, sizeof caps);
    timeBeginPeriod(caps.wPeriodMin);

    ReportProcessor();
    DecreaseLogIndent();
    return 0;
}

int RunStartupSequence()
{
    if (SysState.InitializeFlag == 1) return 0;
    SetFatalExitShutdown(RunShutdownSequence);
    SysState.StartupFlag = 1;
    StartupProgress progress;

    if (GetSoftwareStartRequest() == 1) SwitchRenderingBackend(0);
    InitTheoraColorTables();
    ResetArchiveTables();
    SelectFileFunctionTable(nullptr);
    GetFileFunctionTable()->GetDir(SysState.StartDirectory);
    CreateLogFile();

    if (SysState.NoWindow != 1) {
        if ((IsDisplay24Bit() && SysState.WindowModeFlag == 1) || GetRequestedColorBits() == 24) {
            WriteLog("ＺＡＲＶＯは２４ビットカラーモードに対応していません\n");
            SysState.StartupFlag = 0;
            return -1;
        }
    }

    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    SysState.PerfCounterFrequency = static_cast<ULONGLONG>(frequency.QuadPart);
    SysState.PerfCounterFlag = frequency.QuadPart != 0 ? 1 : 0;

    WriteSystemReport();

    if (SysState.OSCode == 0x108) SetFrontViaTempPrimary(1);
    FillStreamFunctionTables();
    SetGraphRestoreFunction(nullptr);

    if (InitializeCom() == -1) return FailStartup(progress);
    progress.Com = true;
    if (CreateMainWindow() == -1) return FailStartup(progress);
    progress.Window = true;

    ClearHttpRequestTable();

    if (SysState.SkipInput != 1) {
        if (InitializeInput() == -1) return FailStartup(progress);
        progress.Input = true;
    }
    if (SysState.SkipSound != 1) progress.Sound = StartupSoundSystem() == 0;
    if (SysState.SkipGraphics != 1 && StartScreenSystem(SysState.MainWindow) < 0) return FailStartup(progress);
    InitTextInput();

    SysState.InitializeFlag = 1;

    SetFlipVSyncWait(1);
    if (SysState.WindowModeFlag == 0 && SysState.UserWindowFlag == 0) {
        ForceWindowForeground(SysState.MainWindow, 1);
    }
    SetupDebugConsole();
    SwitchDrawTarget(DRAWTARGET_BACK);
    SwitchDrawTarget(DRAWTARGET_FRONT);
    if (SysState.SkipGraphics != 1) WarmUpGraphs();

    SysState.StartupFlag = 0;
    return 0;
}

int RunShutdownSequence()
{
    if (SysState.InitializeFlag == 0) return 0;
    SysState.EndingState = 1;

    if (SysState.ConsoleFontCreated == 1) {
        if (SysState.ConsoleFontDeleted != 1) DestroyFontHandle(SysState.ConsoleFontHandle);
        SysState.ConsoleFontDeleted = 1;
        SysState.ConsoleFontHandle = -1;
        SysState.ConsoleFontCreated = 0;
    }

    CloseAllHttpHandles();
    ShutdownNetWork();

    EndBackgroundMusic();
    EndScreenSystem();
    TerminateInput();
    ShutdownSoundSystem();

    CloseMainWindow();

    if (SysState.ComInitFlag == 1) {
        CoUninitialize();
        WriteLog("ＣＯＭを終了... 完了\n");
        SysState.ComInitFlag = 0;
    }

    DropAllGraphImageHandles();

    SysState.InitializeFlag = 0;

    if (SysState.NoWindow != 1) {
        while (ServiceMessageLoop() == 0 && SysState.QuitFlag == 0) {
        }
    }

    GetFileFunctionTable()->SetDir(SysState.StartDirectory);
    ShutdownArchiveLayer();

    DumpMemoryBlocks();
    return 0;
}
