// Owns the Direct3D back-end's set-up; asks the screen layer's DirectDraw
// object for Direct3D 7 and logs. The device, textures and batches come
// with the Direct3D back-end; until then no device is ever accepted.
#include "graphics/d3ddevice.h"

#include "core/log.h"
#include "graphics/screen.h"

int G_D3D_Initialize()
{
    IDirectDraw7* dd = GetDirectDrawInterface();
    if (dd == nullptr) return -1;
    WriteLog("Direct3D 関連の初期化を行います\n");
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得します\n");
    IUnknown* direct3D = nullptr;
    if (FAILED(dd->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&direct3D))) || direct3D == nullptr) {
        return WriteLog("Direct3Dオブジェクトの作成に失敗しました\n");
    }
    WriteLog("Ｄｉｒｅｃｔ３Ｄオブジェクトを取得しました\n");
    // No device is enumerated until the device code exists.
    WriteLog("現在の画面モードで使用できる描画デバイスが見つかりませんでした\n");
    direct3D->Release();
    return -1;
}
