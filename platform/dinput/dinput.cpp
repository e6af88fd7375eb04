// The DirectInput object and its devices over SDL: the keyboard reads the
// shared key source by DIK code, joysticks are raw SDL joysticks scaled to the
// ranges and dead zones set on them, effects run on SDL haptics or rumble.
// Neighbours: input_source.cpp (devices, notification), input_hook.cpp (switch).
#include "platform/dinput/dinput.h"

#include "platform/com/com.h"
#include "platform/dinput/input_hook.h"
#include "platform/dinput/input_source.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

// The class and interface ids are the layer's own; callers only compare them.
const CLSID CLSID_DirectInput = {0x5A440001, 0x0700, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'D', 'I', '7'}};
const CLSID CLSID_DirectInput8 = {0x5A440002, 0x0800, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'D', 'I', '8'}};
const IID IID_IDirectInput7A = {0x5A440011, 0x0700, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'I', 'F', '7'}};
const IID IID_IDirectInput8A = {0x5A440012, 0x0800, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'I', 'F', '8'}};
const IID IID_IDirectInputDevice7A = {0x5A440021, 0x0700, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'D', 'V', '7'}};
const IID IID_IDirectInputDevice8A = {0x5A440022, 0x0800, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'D', 'V', '8'}};
const GUID GUID_SysMouse = {0x5A440031, 0, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'M', 'O', 'U'}};
const GUID GUID_SysKeyboard = {0x5A440032, 0, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'K', 'B', 'D'}};
const GUID GUID_Sine = {0x5A440041, 0, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'S', 'I', 'N'}};
const GUID GUID_ConstantForce = {0x5A440042, 0, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'C', 'O', 'N'}};

const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 0, 2, sizeof(DIMOUSESTATE), 7, nullptr};
const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 0, 2, 256, 256, nullptr};
const DIDATAFORMAT c_dfDIJoystick = {sizeof(DIDATAFORMAT), 0, 1, sizeof(DIJOYSTATE), 44, nullptr};

namespace {

constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x80070055u);
constexpr HRESULT DIERR_OBJECTNOTFOUND = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481u);
constexpr DWORD kPadGuidData2 = 0x4A59;  // instance ids of joysticks carry this mark
constexpr int kAxes = 8;
constexpr DWORD kAxisOffsets[kAxes] = {DIJOFS_X, DIJOFS_Y, DIJOFS_Z, DIJOFS_RX, DIJOFS_RY, DIJOFS_RZ, 24, 28};

GUID PadInstanceGuid(int instanceId)
{
    return {static_cast<DWORD>(instanceId), kPadGuidData2, 0x4449, {'Z', 'A', 'R', 'V', 'O', 'P', 'A', 'D'}};
}

int PadInstanceIdFromGuid(const GUID& guid)
{
    GUID probe = PadInstanceGuid(static_cast<int>(guid.Data1));
    return probe == guid ? static_cast<int>(guid.Data1) : -1;
}

// Device names are shown in the code-page-932 log; keep them plain ASCII.
void CopyDeviceName(char* out, const char* name)
{
    std::size_t n = 0;
    if (name != nullptr)
        for (; name[n] != 0 && n < 259; ++n) out[n] = (static_cast<unsigned char>(name[n]) < 0x80) ? name[n] : '?';
    out[n] = 0;
}

enum class DeviceKind { Mouse, Keyboard, Joystick };

class Device;

class Effect final : public RefCounted<IDirectInputEffect> {
public:
    Effect(Device* owner, SDL_Haptic* haptic, int hapticId, Uint16 rumbleLow, Uint16 rumbleHigh);
    ~Effect() override;
    HRESULT QueryInterface(REFIID, void** out) override
    {
        if (out) *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Start(DWORD iterations, DWORD flags) override;
    HRESULT Stop() override;

private:
    Device* owner_;
    SDL_Haptic* haptic_;
    int hapticId_;
    Uint16 rumbleLow_;
    Uint16 rumbleHigh_;
};

struct AxisSetting {
    LONG min = 0;
    LONG max = 65535;
    DWORD deadZone = 0;
};

class Device final : public RefCounted<IDirectInputDevice7A> {
public:
    Device(DeviceKind kind, SDL_Joystick* joystick, int instanceId)
        : kind_(kind), joystick_(joystick), instanceId_(instanceId)
    {
    }

    ~Device() override
    {
        SetSourceNotification(this, 0, nullptr);
        if (haptic_ != nullptr) SDL_HapticClose(haptic_);
    }

    SDL_Joystick* Joystick() const { return joystick_; }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        if (iid == IID_IDirectInputDevice7A || iid == IID_IDirectInputDevice8A) {
            AddRef();
            *out = static_cast<IDirectInputDevice7A*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT GetDeviceInfo(DIDEVICEINSTANCEA* info) override
    {
        if (info == nullptr || info->dwSize != sizeof(DIDEVICEINSTANCEA)) return DIERR_INVALIDPARAM;
        std::memset(reinterpret_cast<BYTE*>(info) + sizeof(DWORD), 0, sizeof(*info) - sizeof(DWORD));
        switch (kind_) {
        case DeviceKind::Mouse:
            info->guidInstance = info->guidProduct = GUID_SysMouse;
            info->dwDevType = 2;
            CopyDeviceName(info->tszInstanceName, "Mouse");
            break;
        case DeviceKind::Keyboard:
            info->guidInstance = info->guidProduct = GUID_SysKeyboard;
            info->dwDevType = 3;
            CopyDeviceName(info->tszInstanceName, "Keyboard");
            break;
        case DeviceKind::Joystick: {
            info->guidInstance = PadInstanceGuid(instanceId_);
            SDL_JoystickGUID product = SDL_JoystickGetGUID(joystick_);
            static_assert(sizeof(product.data) == sizeof(GUID));
            std::memcpy(&info->guidProduct, product.data, sizeof(GUID));
            info->dwDevType = DIDEVTYPE_JOYSTICK;
            CopyDeviceName(info->tszInstanceName, SDL_JoystickName(joystick_));
            break;
        }
        }
        std::memcpy(info->tszProductName, info->tszInstanceName, sizeof(info->tszProductName));
        return DI_OK;
    }

    HRESULT SetDataFormat(const DIDATAFORMAT* format) override
    {
        if (acquired_) return DIERR_ACQUIRED;
        const DIDATAFORMAT* wanted = kind_ == DeviceKind::Mouse      ? &c_dfDIMouse
                                     : kind_ == DeviceKind::Keyboard ? &c_dfDIKeyboard
                                                                     : &c_dfDIJoystick;
        if (format != wanted) return DIERR_INVALIDPARAM;
        format_ = format;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND, DWORD flags) override
    {
        DWORD access = flags & (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE);
        DWORD focus = flags & (DISCL_FOREGROUND | DISCL_BACKGROUND);
        if (access == 0 || access == (DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE)) return DIERR_INVALIDPARAM;
        if (focus == 0 || focus == (DISCL_FOREGROUND | DISCL_BACKGROUND)) return DIERR_INVALIDPARAM;
        // The system keyboard is never given out exclusively in the background.
        if (kind_ == DeviceKind::Keyboard && access == DISCL_EXCLUSIVE && focus == DISCL_BACKGROUND)
            return DIERR_UNSUPPORTED;
        cooperative_ = flags;
        return DI_OK;
    }

    HRESULT SetProperty(const GUID* property, const DIPROPHEADER* header) override
    {
        if (header == nullptr || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
        if (property == DIPROP_BUFFERSIZE) {
            if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
            if (acquired_) return DIERR_ACQUIRED;
            bufferSize_ = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            return DI_OK;
        }
        if (property != DIPROP_RANGE && property != DIPROP_DEADZONE) return DIERR_UNSUPPORTED;
        if (kind_ != DeviceKind::Joystick) return DIERR_UNSUPPORTED;
        int first = 0, last = AxisCount() - 1;
        if (header->dwHow == DIPH_BYOFFSET) {
            first = last = AxisIndexByOffset(header->dwObj);
            if (first < 0 || first >= AxisCount()) return DIERR_OBJECTNOTFOUND;
        } else if (header->dwHow != DIPH_DEVICE || header->dwObj != 0) {
            return DIERR_INVALIDPARAM;
        }
        if (property == DIPROP_RANGE) {
            if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
            const DIPROPRANGE* range = reinterpret_cast<const DIPROPRANGE*>(header);
            if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
            for (int a = first; a <= last; ++a) {
                axes_[a].min = range->lMin;
                axes_[a].max = range->lMax;
            }
        } else {
            if (header->dwSize != sizeof(DIPROPDWORD)) return DIERR_INVALIDPARAM;
            DWORD zone = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
            if (zone > 10000) return DIERR_INVALIDPARAM;
            for (int a = first; a <= last; ++a) axes_[a].deadZone = zone;
        }
        return DI_OK;
    }

    HRESULT SetEventNotification(HANDLE event) override
    {
        if (acquired_) return DIERR_ACQUIRED;
        if (kind_ == DeviceKind::Mouse) return DIERR_UNSUPPORTED;
        if (kind_ == DeviceKind::Keyboard && event != nullptr && IsKeyboardNotificationFailing()) return DIERR_GENERIC;
        SetSourceNotification(this, kind_ == DeviceKind::Keyboard ? kKeyboardSource : instanceId_, event);
        return DI_OK;
    }

    HRESULT Acquire() override
    {
        if (format_ == nullptr) return DIERR_INVALIDPARAM;
        if (kind_ == DeviceKind::Joystick && !SDL_JoystickGetAttached(joystick_)) return DIERR_INPUTLOST;
        if (kind_ == DeviceKind::Keyboard && IsKeyboardAcquireFailing()) return DIERR_OTHERAPPHASPRIO;
        if (acquired_) return DI_NOEFFECT;
        acquired_ = true;
        return DI_OK;
    }

    HRESULT Unacquire() override
    {
        if (!acquired_) return DI_NOEFFECT;
        acquired_ = false;
        return DI_OK;
    }

    HRESULT Poll() override
    {
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (kind_ == DeviceKind::Joystick) UpdateJoystickSource();
        return DI_NOEFFECT;
    }

    HRESULT GetDeviceState(DWORD size, void* data) override
    {
        if (!acquired_) return DIERR_NOTACQUIRED;
        if (data == nullptr || format_ == nullptr || size != format_->dwDataSize) return DIERR_INVALIDPARAM;
        CountDeviceRead();
        switch (kind_) {
        case DeviceKind::Keyboard:
            ReadDikKeyState(static_cast<BYTE*>(data));
            return DI_OK;
        case DeviceKind::Mouse:
            std::memset(data, 0, size);
            return DI_OK;
        case DeviceKind::Joystick:
            if (!SDL_JoystickGetAttached(joystick_)) {
                acquired_ = false;
                return DIERR_INPUTLOST;
            }
            ReadJoystick(static_cast<DIJOYSTATE*>(data));
            return DI_OK;
        }
        return DIERR_GENERIC;
    }

    HRESULT CreateEffect(const GUID& effect, const DIEFFECT* params, IDirectInputEffect** out,
                         IUnknown* outer) override
    {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer != nullptr) return DIERR_NOINTERFACE;
        if (params == nullptr || params->dwSize != sizeof(DIEFFECT)) return DIERR_INVALIDPARAM;
        bool sine = effect == GUID_Sine;
        if (!sine && !(effect == GUID_ConstantForce)) return DIERR_DEVICENOTREG;
        if (kind_ != DeviceKind::Joystick) return DIERR_UNSUPPORTED;
        if (params->lpvTypeSpecificParams == nullptr) return DIERR_INVALIDPARAM;
        if (params->cbTypeSpecificParams != (sine ? sizeof(DIPERIODIC) : sizeof(DICONSTANTFORCE)))
            return DIERR_INVALIDPARAM;

        DWORD magnitude = sine ? static_cast<const DIPERIODIC*>(params->lpvTypeSpecificParams)->dwMagnitude
                               : static_cast<DWORD>(std::abs(static_cast<const DICONSTANTFORCE*>(
                                                                 params->lpvTypeSpecificParams)
                                                                 ->lMagnitude));
        magnitude = static_cast<DWORD>(static_cast<ULONGLONG>(std::min<DWORD>(magnitude, 10000)) *
                                       std::min<DWORD>(params->dwGain, 10000) / 10000);

        if (SDL_Haptic* haptic = OpenHaptic()) {
            unsigned wanted = sine ? SDL_HAPTIC_SINE : SDL_HAPTIC_CONSTANT;
            if (SDL_HapticQuery(haptic) & wanted) {
                SDL_HapticEffect e = ToHapticEffect(sine, params, magnitude);
                int id = SDL_HapticNewEffect(haptic, &e);
                if (id >= 0) {
                    *out = new Effect(this, haptic, id, 0, 0);
                    return DI_OK;
                }
            }
        }
        if (SDL_JoystickHasRumble(joystick_)) {
            Uint16 level = static_cast<Uint16>(static_cast<ULONGLONG>(magnitude) * 0xFFFF / 10000);
            // A sine rides the slow motor only; a constant push uses both.
            *out = new Effect(this, nullptr, -1, level, sine ? 0 : level);
            return DI_OK;
        }
        return DIERR_UNSUPPORTED;
    }

private:
    int AxisCount() const
    {
        return kind_ == DeviceKind::Joystick ? std::min(SDL_JoystickNumAxes(joystick_), kAxes) : 0;
    }

    static int AxisIndexByOffset(DWORD offset)
    {
        for (int a = 0; a < kAxes; ++a)
            if (kAxisOffsets[a] == offset) return a;
        return -1;
    }

    static LONG ScaleAxis(Sint16 raw, const AxisSetting& s)
    {
        LONGLONG magnitude = raw < 0 ? -static_cast<LONGLONG>(raw) * 10000 / 32768 : static_cast<LONGLONG>(raw) * 10000 / 32767;
        if (magnitude <= s.deadZone) magnitude = 0;
        else magnitude = (magnitude - s.deadZone) * 10000 / (10000 - s.deadZone);
        LONGLONG low = s.min, high = s.max;
        LONGLONG centre = (low + high) / 2;
        LONGLONG half = raw < 0 ? centre - low : high - centre;
        LONGLONG offset = magnitude * half / 10000;
        return static_cast<LONG>(raw < 0 ? centre - offset : centre + offset);
    }

    void ReadJoystick(DIJOYSTATE* state)
    {
        std::memset(state, 0, sizeof(*state));
        LONG* axisFields[kAxes] = {&state->lX, &state->lY, &state->lZ, &state->lRx, &state->lRy, &state->lRz,
                                   &state->rglSlider[0], &state->rglSlider[1]};
        int axes = AxisCount();
        for (int a = 0; a < kAxes; ++a)
            *axisFields[a] = a < axes ? ScaleAxis(SDL_JoystickGetAxis(joystick_, a), axes_[a])
                                      : ScaleAxis(0, axes_[a]);
        for (int p = 0; p < 4; ++p) state->rgdwPOV[p] = 0xFFFFFFFFu;
        int hats = std::min(SDL_JoystickNumHats(joystick_), 4);
        for (int p = 0; p < hats; ++p)
            state->rgdwPOV[p] = HatToPovHundredths(SDL_JoystickGetHat(joystick_, p), 0xFFFFFFFFu);
        int buttons = std::min(SDL_JoystickNumButtons(joystick_), 32);
        for (int b = 0; b < buttons; ++b) state->rgbButtons[b] = SDL_JoystickGetButton(joystick_, b) ? 0x80 : 0;
    }

    SDL_Haptic* OpenHaptic()
    {
        if (haptic_ != nullptr) return haptic_;
        if (hapticTried_) return nullptr;
        hapticTried_ = true;
        if (SDL_WasInit(SDL_INIT_HAPTIC) == 0 && SDL_InitSubSystem(SDL_INIT_HAPTIC) != 0) return nullptr;
        if (SDL_JoystickIsHaptic(joystick_) != 1) return nullptr;
        haptic_ = SDL_HapticOpenFromJoystick(joystick_);
        return haptic_;
    }

    static SDL_HapticEffect ToHapticEffect(bool sine, const DIEFFECT* p, DWORD magnitude)
    {
        auto toMs = [](DWORD us) { return static_cast<Uint16>(std::min<DWORD>(us / 1000, 0x7FFF)); };
        auto toLevel = [](DWORD level) {
            return static_cast<Uint16>(static_cast<ULONGLONG>(std::min<DWORD>(level, 10000)) * 0x7FFF / 10000);
        };
        SDL_HapticEffect e;
        std::memset(&e, 0, sizeof(e));
        SDL_HapticDirection dir = {};
        if (p->dwFlags & DIEFF_POLAR) {
            dir.type = SDL_HAPTIC_POLAR;
            dir.dir[0] = p->rglDirection ? p->rglDirection[0] : 0;
        } else {
            dir.type = SDL_HAPTIC_CARTESIAN;
            for (DWORD a = 0; a < p->cAxes && a < 3; ++a) dir.dir[a] = p->rglDirection ? p->rglDirection[a] : 0;
        }
        Uint32 length = p->dwDuration == DI_INFINITE ? SDL_HAPTIC_INFINITY : p->dwDuration / 1000;
        Uint16 delay = toMs(p->dwStartDelay);
        const DIENVELOPE* env = p->lpEnvelope;
        if (sine) {
            const DIPERIODIC* per = static_cast<const DIPERIODIC*>(p->lpvTypeSpecificParams);
            e.type = SDL_HAPTIC_SINE;
            e.periodic.direction = dir;
            e.periodic.length = length;
            e.periodic.delay = delay;
            e.periodic.period = toMs(per->dwPeriod);
            e.periodic.magnitude = static_cast<Sint16>(toLevel(magnitude));
            e.periodic.offset = static_cast<Sint16>(std::clamp<LONG>(per->lOffset, -10000, 10000) * 0x7FFF / 10000);
            e.periodic.phase = static_cast<Uint16>(per->dwPhase % 36000);
            if (env != nullptr) {
                e.periodic.attack_length = toMs(env->dwAttackTime);
                e.periodic.attack_level = toLevel(env->dwAttackLevel);
                e.periodic.fade_length = toMs(env->dwFadeTime);
                e.periodic.fade_level = toLevel(env->dwFadeLevel);
            }
        } else {
            e.type = SDL_HAPTIC_CONSTANT;
            e.constant.direction = dir;
            e.constant.length = length;
            e.constant.delay = delay;
            e.constant.level = static_cast<Sint16>(toLevel(magnitude));
            if (env != nullptr) {
                e.constant.attack_length = toMs(env->dwAttackTime);
                e.constant.attack_level = toLevel(env->dwAttackLevel);
                e.constant.fade_length = toMs(env->dwFadeTime);
                e.constant.fade_level = toLevel(env->dwFadeLevel);
            }
        }
        return e;
    }

    DeviceKind kind_;
    SDL_Joystick* joystick_;
    int instanceId_;
    const DIDATAFORMAT* format_ = nullptr;
    DWORD cooperative_ = 0;
    DWORD bufferSize_ = 0;
    bool acquired_ = false;
    AxisSetting axes_[kAxes];
    SDL_Haptic* haptic_ = nullptr;
    bool hapticTried_ = false;
};

Effect::Effect(Device* owner, SDL_Haptic* haptic, int hapticId, Uint16 rumbleLow, Uint16 rumbleHigh)
    : owner_(owner), haptic_(haptic), hapticId_(hapticId), rumbleLow_(rumbleLow), rumbleHigh_(rumbleHigh)
{
    owner_->AddRef();
}

Effect::~Effect()
{
    if (haptic_ != nullptr) SDL_HapticDestroyEffect(haptic_, hapticId_);
    owner_->Release();
}

HRESULT Effect::Start(DWORD iterations, DWORD)
{
    if (haptic_ != nullptr) {
        Uint32 times = iterations == DI_INFINITE ? SDL_HAPTIC_INFINITY : iterations;
        return SDL_HapticRunEffect(haptic_, hapticId_, times) == 0 ? DI_OK : DIERR_GENERIC;
    }
    // Rumble has no endless length; the longest one stands in for it.
    return SDL_JoystickRumble(owner_->Joystick(), rumbleLow_, rumbleHigh_, 0xFFFF) == 0 ? DI_OK : DIERR_GENERIC;
}

HRESULT Effect::Stop()
{
    if (haptic_ != nullptr) return SDL_HapticStopEffect(haptic_, hapticId_) == 0 ? DI_OK : DIERR_GENERIC;
    return SDL_JoystickRumble(owner_->Joystick(), 0, 0, 0) == 0 ? DI_OK : DIERR_GENERIC;
}

// Both object versions: the interface and its id, the version check,
// enumeration and device creation. Each version adds its own creation entry.
template <class Interface, DWORD Version, const IID& InterfaceId>
class DirectInputObject : public RefCounted<Interface> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (out == nullptr) return E_INVALIDARG;
        if (iid == InterfaceId) {
            this->AddRef();
            *out = static_cast<Interface*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT Initialize(HINSTANCE, DWORD version) override
    {
        if (version < Version) return DIERR_OLDDIRECTINPUTVERSION;
        if (version > Version) return DIERR_BETADIRECTINPUTVERSION;
        initialized_ = true;
        return DI_OK;
    }

    HRESULT EnumDevices(DWORD type, LPDIENUMDEVICESCALLBACKA callback, void* context, DWORD) override
    {
        if (!initialized_) return DIERR_NOTINITIALIZED;
        if (callback == nullptr || (type != 0 && type != 2 && type != 3 && type != DIDEVTYPE_JOYSTICK))
            return DIERR_INVALIDPARAM;
        if (type == 0 || type == 2) {
            if (!Report(GUID_SysMouse, callback, context)) return DI_OK;
        }
        if (type == 0 || type == 3) {
            if (!Report(GUID_SysKeyboard, callback, context)) return DI_OK;
        }
        if (type == 0 || type == DIDEVTYPE_JOYSTICK) {
            StartJoystickSource();
            for (int i = 0; i < JoystickSourceCount(); ++i)
                if (!Report(PadInstanceGuid(SourceJoystickInstanceId(i)), callback, context)) return DI_OK;
        }
        return DI_OK;
    }

protected:
    HRESULT CreateDeviceFor(const GUID& guid, IDirectInputDevice7A** out)
    {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (!initialized_) return DIERR_NOTINITIALIZED;
        Device* device = MakeDevice(guid);
        if (device == nullptr) return DIERR_DEVICENOTREG;
        *out = device;
        return DI_OK;
    }

private:
    static Device* MakeDevice(const GUID& guid)
    {
        if (guid == GUID_SysMouse) return new Device(DeviceKind::Mouse, nullptr, -1);
        if (guid == GUID_SysKeyboard) return new Device(DeviceKind::Keyboard, nullptr, -1);
        int id = PadInstanceIdFromGuid(guid);
        if (id < 0) return nullptr;
        for (int i = 0; i < JoystickSourceCount(); ++i) {
            if (SourceJoystickInstanceId(i) != id) continue;
            SDL_Joystick* joystick = OpenSourceJoystick(i);
            return joystick == nullptr ? nullptr : new Device(DeviceKind::Joystick, joystick, id);
        }
        return nullptr;
    }

    // Answers whether the enumeration goes on.
    static bool Report(const GUID& guid, LPDIENUMDEVICESCALLBACKA callback, void* context)
    {
        Device* device = MakeDevice(guid);
        if (device == nullptr) return true;
        DIDEVICEINSTANCEA info;
        info.dwSize = sizeof(info);
        device->GetDeviceInfo(&info);
        device->Release();
        return callback(&info, context) != DIENUM_STOP;
    }

    bool initialized_ = false;
};

class DirectInput7 final : public DirectInputObject<IDirectInput7A, 0x0700, IID_IDirectInput7A> {
public:
    HRESULT CreateDeviceEx(const GUID& device, REFIID iid, void** out, IUnknown* outer) override
    {
        if (out == nullptr) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer != nullptr) return DIERR_NOINTERFACE;
        if (!(iid == IID_IDirectInputDevice7A)) return DIERR_NOINTERFACE;
        IDirectInputDevice7A* made = nullptr;
        HRESULT hr = CreateDeviceFor(device, &made);
        *out = made;
        return hr;
    }
};

class DirectInput8 final : public DirectInputObject<IDirectInput8A, 0x0800, IID_IDirectInput8A> {
public:
    HRESULT CreateDevice(const GUID& device, IDirectInputDevice8A** out, IUnknown* outer) override
    {
        if (outer != nullptr) {
            if (out) *out = nullptr;
            return DIERR_NOINTERFACE;
        }
        return CreateDeviceFor(device, out);
    }
};

}  // namespace

HRESULT CreateDirectInputInstance(REFCLSID clsid, REFIID iid, void** out)
{
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    bool v7 = clsid == CLSID_DirectInput;
    bool v8 = clsid == CLSID_DirectInput8;
    if (!(v7 || v8) || !IsDirectInputVersionAvailable(v7 ? 7 : 8)) return DIERR_DEVICENOTREG;
    if (v7 && iid == IID_IDirectInput7A) {
        *out = static_cast<IDirectInput7A*>(new DirectInput7);
        return S_OK;
    }
    if (v8 && iid == IID_IDirectInput8A) {
        *out = static_cast<IDirectInput8A*>(new DirectInput8);
        return S_OK;
    }
    return E_NOINTERFACE;
}

namespace {

IUnknown* MakeDirectInput7()
{
    return IsDirectInputVersionAvailable(7) ? static_cast<IDirectInput7A*>(new DirectInput7) : nullptr;
}

IUnknown* MakeDirectInput8()
{
    return IsDirectInputVersionAvailable(8) ? static_cast<IDirectInput8A*>(new DirectInput8) : nullptr;
}

// Both classes are in COM's registry from the start; while DirectInput is
// switched off their factories make nothing.
const bool Registered = [] {
    RegisterComClass(CLSID_DirectInput, MakeDirectInput7);
    RegisterComClass(CLSID_DirectInput8, MakeDirectInput8);
    return true;
}();

}  // namespace
