// The base of every COM-style interface of the layer: reference counting and
// interface queries, with the calling conventions the library uses.
#pragma once

#include "platform/kernel/types.h"

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// Reference counting shared by the layer's objects; Release deletes at zero.
template <class Interface>
struct RefCounted : Interface {
    ULONG AddRef() override { return ++refCount_; }
    ULONG Release() override
    {
        ULONG left = --refCount_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ULONG refCount_ = 1;
};
