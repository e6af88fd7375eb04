// The DirectInput stand-in over injected devices: keys by DIK position and
// virtual keys by layout, joystick ranges and dead zones, notification events,
// effects on rumble or none, and the availability switch.
#include "platform/dinput/dinput.h"
#include "platform/dinput/input_hook.h"
#include "platform/kernel/sync.h"
#include "platform/window/keyboard.h"

#include <SDL2/SDL_keycode.h>
#include <SDL2/SDL_scancode.h>
#include <gtest/gtest.h>

namespace {

class DirectInputTest : public testing::Test {
protected:
    void SetUp() override
    {
        UseInjectedInput(true);
        SetDirectInputAvailable(true);
        ReleaseInjectedKeys();
        void* object = nullptr;
        ASSERT_EQ(CreateDirectInputInstance(CLSID_DirectInput, IID_IDirectInput7A, &object), S_OK);
        di_ = static_cast<IDirectInput7A*>(object);
        ASSERT_EQ(di_->Initialize(nullptr, 0x0700), DI_OK);
    }
    void TearDown() override
    {
        if (di_ != nullptr) di_->Release();
        DetachInjectedPads();
        ReleaseInjectedKeys();
    }

    IDirectInputDevice7A* Create(const GUID& guid)
    {
        void* device = nullptr;
        EXPECT_EQ(di_->CreateDeviceEx(guid, IID_IDirectInputDevice7A, &device, nullptr), DI_OK);
        return static_cast<IDirectInputDevice7A*>(device);
    }

    IDirectInputDevice7A* FirstPad()
    {
        struct Found {
            GUID guid;
            int count;
        } found = {};
        auto callback = [](const DIDEVICEINSTANCEA* info, void* context) -> BOOL {
            auto* f = static_cast<Found*>(context);
            if (f->count++ == 0) f->guid = info->guidInstance;
            return DIENUM_CONTINUE;
        };
        EXPECT_EQ(di_->EnumDevices(DIDEVTYPE_JOYSTICK, callback, &found, DIEDFL_ATTACHEDONLY), DI_OK);
        if (found.count == 0) return nullptr;
        IDirectInputDevice7A* pad = Create(found.guid);
        EXPECT_EQ(pad->SetDataFormat(&c_dfDIJoystick), DI_OK);
        return pad;
    }

    static HRESULT SetRange(IDirectInputDevice7A* d, DWORD offset, LONG low, LONG high)
    {
        DIPROPRANGE r = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), offset, DIPH_BYOFFSET}, low, high};
        return d->SetProperty(DIPROP_RANGE, &r.diph);
    }
    static HRESULT SetDeadZone(IDirectInputDevice7A* d, DWORD offset, DWORD zone)
    {
        DIPROPDWORD z = {{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), offset, DIPH_BYOFFSET}, zone};
        return d->SetProperty(DIPROP_DEADZONE, &z.diph);
    }

    IDirectInput7A* di_ = nullptr;
};

}  // namespace

TEST_F(DirectInputTest, KeyboardStateIsByKeyPosition)
{
    IDirectInputDevice7A* kb = Create(GUID_SysKeyboard);
    ASSERT_EQ(kb->SetDataFormat(&c_dfDIKeyboard), DI_OK);
    BYTE keys[256];
    EXPECT_EQ(kb->GetDeviceState(256, keys), DIERR_NOTACQUIRED);
    ASSERT_EQ(kb->Acquire(), DI_OK);

    const struct {
        int scancode;
        int dik;
    } cases[] = {
        {SDL_SCANCODE_Z, DIK_Z},           {SDL_SCANCODE_R, DIK_R},         {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
        {SDL_SCANCODE_UP, DIK_UP},         {SDL_SCANCODE_DOWN, DIK_DOWN},   {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
        {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER}, {SDL_SCANCODE_RCTRL, DIK_RCONTROL}, {SDL_SCANCODE_1, DIK_1},
    };
    for (const auto& c : cases) {
        InjectKey(c.scancode, true);
        ASSERT_EQ(kb->GetDeviceState(256, keys), DI_OK);
        for (int k = 0; k < 256; ++k) EXPECT_EQ(keys[k], k == c.dik ? 0x80 : 0) << "scancode " << c.scancode << " dik " << k;
        InjectKey(c.scancode, false);
    }
    EXPECT_EQ(kb->GetDeviceState(100, keys), DIERR_INVALIDPARAM);
    kb->Release();
}

TEST_F(DirectInputTest, VirtualKeysFollowTheLayoutWhileDikCodesFollowThePosition)
{
    // A layout where the key that types 'z' sits where 'y' is on the default one.
    SetInjectedLayoutKey(SDLK_z, SDL_SCANCODE_Y);
    SetInjectedLayoutKey(SDLK_y, SDL_SCANCODE_Z);
    InjectKey(SDL_SCANCODE_Y, true);
    BYTE vk[256];
    ASSERT_TRUE(GetKeyboardState(vk));
    EXPECT_EQ(vk['Z'], 0x80);
    EXPECT_EQ(vk['Y'], 0);

    IDirectInputDevice7A* kb = Create(GUID_SysKeyboard);
    kb->SetDataFormat(&c_dfDIKeyboard);
    kb->Acquire();
    BYTE keys[256];
    kb->GetDeviceState(256, keys);
    EXPECT_EQ(keys[DIK_Y], 0x80);
    EXPECT_EQ(keys[DIK_Z], 0);
    kb->Release();

    InjectKey(SDL_SCANCODE_Y, false);
    InjectKey(SDL_SCANCODE_RSHIFT, true);
    GetKeyboardState(vk);
    EXPECT_EQ(vk[VK_RSHIFT], 0x80);
    EXPECT_EQ(vk[VK_SHIFT], 0x80);
    EXPECT_EQ(vk[VK_LSHIFT], 0);
}

TEST_F(DirectInputTest, JoystickAxesTakeTheRangeAndDeadZone)
{
    ASSERT_EQ(AttachInjectedPad("Test Pad", 2, 4, 1), 0);
    IDirectInputDevice7A* pad = FirstPad();
    ASSERT_NE(pad, nullptr);
    DIDEVICEINSTANCEA info = {};
    info.dwSize = sizeof(info);
    ASSERT_EQ(pad->GetDeviceInfo(&info), DI_OK);
    EXPECT_STREQ(info.tszProductName, "Test Pad");

    EXPECT_EQ(SetRange(pad, DIJOFS_X, -1000, 1000), DI_OK);
    EXPECT_EQ(SetDeadZone(pad, DIJOFS_X, 2500), DI_OK);
    EXPECT_EQ(SetRange(pad, DIJOFS_Z, -1000, 1000), static_cast<HRESULT>(0x80070002u));  // a two-axis pad has no Z
    EXPECT_EQ(SetDeadZone(pad, DIJOFS_X, 10001), DIERR_INVALIDPARAM);
    ASSERT_EQ(pad->Acquire(), DI_OK);

    const struct {
        int raw;
        LONG x;
    } cases[] = {
        {0, 0}, {8000, 0}, {-8000, 0}, {16384, 333}, {32767, 1000}, {-32768, -1000}, {-16384, -333},
    };
    for (const auto& c : cases) {
        SetInjectedPadAxis(0, 0, c.raw);
        DIJOYSTATE s;
        ASSERT_EQ(pad->Poll(), DI_NOEFFECT);
        ASSERT_EQ(pad->GetDeviceState(sizeof(s), &s), DI_OK);
        EXPECT_EQ(s.lX, c.x) << "raw " << c.raw;
        EXPECT_EQ(s.lY, 32767) << "the default range is 0 ... 65535";
    }

    SetInjectedPadButton(0, 2, true);
    DIJOYSTATE s;
    pad->GetDeviceState(sizeof(s), &s);
    EXPECT_EQ(s.rgbButtons[2], 0x80);
    EXPECT_EQ(s.rgbButtons[0], 0);
    EXPECT_EQ(s.rgdwPOV[0], 0xFFFFFFFFu);
    pad->Release();
}

TEST_F(DirectInputTest, DeviceChangesSetTheNotificationEvent)
{
    AttachInjectedPad("Pad", 2, 2, 0);
    IDirectInputDevice7A* pad = FirstPad();
    IDirectInputDevice7A* kb = Create(GUID_SysKeyboard);
    kb->SetDataFormat(&c_dfDIKeyboard);
    HANDLE padEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE keyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(pad->SetEventNotification(padEvent), DI_OK);
    ASSERT_EQ(kb->SetEventNotification(keyEvent), DI_OK);
    pad->Acquire();
    kb->Acquire();
    EXPECT_EQ(kb->SetEventNotification(nullptr), static_cast<HRESULT>(0x80070055u)) << "not while acquired";

    SetInjectedPadAxis(0, 1, 20000);
    EXPECT_EQ(WaitForSingleObject(padEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(keyEvent, 0), WAIT_TIMEOUT);
    ResetEvent(padEvent);

    InjectKey(SDL_SCANCODE_SPACE, true);
    EXPECT_EQ(WaitForSingleObject(keyEvent, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(padEvent, 0), WAIT_TIMEOUT);

    pad->Release();
    kb->Release();
    ResetEvent(keyEvent);
    InjectKey(SDL_SCANCODE_SPACE, false);
    EXPECT_EQ(WaitForSingleObject(keyEvent, 0), WAIT_TIMEOUT) << "a released device no longer signals";
    CloseHandle(padEvent);
    CloseHandle(keyEvent);
}

TEST_F(DirectInputTest, EffectsRunOnRumbleAndFailCleanlyWithout)
{
    AttachInjectedPad("Plain", 2, 2, 0, false);
    AttachInjectedPad("Rumble", 2, 2, 0, true);
    struct Pads {
        GUID guid[2];
        int count;
    } pads = {};
    di_->EnumDevices(DIDEVTYPE_JOYSTICK, [](const DIDEVICEINSTANCEA* info, void* c) -> BOOL {
        auto* p = static_cast<Pads*>(c);
        p->guid[p->count++] = info->guidInstance;
        return DIENUM_CONTINUE;
    }, &pads, DIEDFL_ATTACHEDONLY);
    ASSERT_EQ(pads.count, 2);

    DICONSTANTFORCE force = {10000};
    DWORD axes[2] = {DIJOFS_X, DIJOFS_Y};
    LONG dir[2] = {0, 0};
    DIEFFECT e = {};
    e.dwSize = sizeof(e);
    e.dwFlags = DIEFF_CARTESIAN | DIEFF_OBJECTOFFSETS;
    e.dwDuration = DI_INFINITE;
    e.dwGain = 5000;
    e.dwTriggerButton = DIEB_NOTRIGGER;
    e.cAxes = 2;
    e.rgdwAxes = axes;
    e.rglDirection = dir;
    e.cbTypeSpecificParams = sizeof(force);
    e.lpvTypeSpecificParams = &force;

    IDirectInputDevice7A* plain = Create(pads.guid[0]);
    IDirectInputEffect* effect = reinterpret_cast<IDirectInputEffect*>(1);
    EXPECT_EQ(plain->CreateEffect(GUID_ConstantForce, &e, &effect, nullptr), DIERR_UNSUPPORTED);
    EXPECT_EQ(effect, nullptr);

    IDirectInputDevice7A* rumble = Create(pads.guid[1]);
    ASSERT_EQ(rumble->CreateEffect(GUID_ConstantForce, &e, &effect, nullptr), DI_OK);
    rumble->Release();  // the effect keeps its device
    int low = -1, high = -1;
    ASSERT_EQ(effect->Start(1, 0), DI_OK);
    InjectedPadRumble(1, &low, &high);
    EXPECT_EQ(low, 0x7FFF);  // half strength at gain 5000
    EXPECT_EQ(high, 0x7FFF);
    ASSERT_EQ(effect->Stop(), DI_OK);
    InjectedPadRumble(1, &low, &high);
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 0);
    effect->Release();
    plain->Release();
}

TEST(DirectInputObject, VersionsAndTheAvailabilitySwitch)
{
    void* object = nullptr;
    EXPECT_EQ(CreateDirectInputInstance(CLSID_DirectInput, IID_IDirectInput8A, &object), E_NOINTERFACE);
    ASSERT_EQ(CreateDirectInputInstance(CLSID_DirectInput8, IID_IDirectInput8A, &object), S_OK);
    auto* di8 = static_cast<IDirectInput8A*>(object);
    IDirectInputDevice8A* device = nullptr;
    EXPECT_EQ(di8->CreateDevice(GUID_SysKeyboard, &device, nullptr), DIERR_NOTINITIALIZED);
    EXPECT_EQ(di8->Initialize(nullptr, 0x0700), DIERR_OLDDIRECTINPUTVERSION);
    ASSERT_EQ(di8->Initialize(nullptr, 0x0800), DI_OK);
    ASSERT_EQ(di8->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_BACKGROUND), DIERR_UNSUPPORTED);
    EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
    EXPECT_EQ(device->SetDataFormat(&c_dfDIJoystick), DIERR_INVALIDPARAM);
    device->Release();
    di8->Release();

    SetDirectInputAvailable(false);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDirectInputInstance(CLSID_DirectInput, IID_IDirectInput7A, &object), DIERR_DEVICENOTREG);
    EXPECT_EQ(CreateDirectInputInstance(CLSID_DirectInput8, IID_IDirectInput8A, &object), DIERR_DEVICENOTREG);
    EXPECT_EQ(object, nullptr);
    SetDirectInputAvailable(true);
}
