// Automation variants and late-bound calls by name (IDispatch: GetIDsOfNames + Invoke), the
// way the platform's variant calls on an automation object behave. Texts cross the boundary as
// cp1251 <-> UTF-16, whatever the system code page is.
#pragma once
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "SysUtils.h"

// A failed COM call; ErrorCode is its HRESULT.
class EOleSysError : public Exception {
public:
    EOleSysError(std::string msg, HRESULT code) : Exception(std::move(msg)), ErrorCode(code) {}
    const char* ClassName() const override { return "EOleSysError"; }
    HRESULT ErrorCode;
};

// An exception the automation server raised (DISP_E_EXCEPTION), with its description.
class EOleException : public EOleSysError {
public:
    EOleException(std::string msg, HRESULT code, std::string source)
        : EOleSysError(std::move(msg), code), Source(std::move(source)) {}
    const char* ClassName() const override { return "EOleException"; }
    std::string Source;
};

// Raises EOleSysError for a failed HRESULT, with the system's text for it.
void OleCheck(HRESULT hr);

// Whether the elements of sa can be read into variants of type et: the array's own kind of
// element (and a scalar array's own type) must be et, since SafeArrayGetElement copies strings,
// objects and variants by the array's kind, and the element must fit where the variant keeps it.
// A record element is its data, which a variant can only point at. Arrays from outside the
// process are checked so before anything is read.
bool SafeArrayElementsFit(SAFEARRAY* sa, VARTYPE et);

class OleVariant {
public:
    OleVariant() { VariantInit(&FV); }
    OleVariant(int32_t v);
    OleVariant(bool v);
    OleVariant(double v);
    OleVariant(const std::string& s);
    OleVariant(const char* s) : OleVariant(std::string(s)) {}
    // Takes a reference of its own.
    OleVariant(IDispatch* d);
    OleVariant(const OleVariant& o);
    OleVariant(OleVariant&& o) noexcept;
    OleVariant& operator=(OleVariant o) noexcept;
    ~OleVariant() { VariantClear(&FV); }

    static OleVariant Null();
    // A by-reference variant that points at target's value; target must outlive it.
    static OleVariant ByRef(OleVariant& target);
    // A one-dimensional array of variants, indexed from 0.
    static OleVariant Array(const std::vector<OleVariant>& items);
    // Takes over v (no copy).
    static OleVariant Attach(VARIANT& v);

    VARTYPE Type() const { return FV.vt; }
    bool IsEmpty() const { return FV.vt == VT_EMPTY; }
    bool IsNull() const { return FV.vt == VT_NULL; }
    bool IsArray() const { return (FV.vt & VT_ARRAY) != 0; }
    const VARIANT& Raw() const { return FV; }
    VARIANT& Raw() { return FV; }

    // Conversions as the platform's variants do them; failure raises EOleSysError.
    std::string AsString() const;
    int32_t AsInteger() const;
    double AsDouble() const;
    bool AsBool() const;
    // The elements of a one-dimensional array.
    std::vector<OleVariant> Elements() const;

    // Late-bound calls on an object held by this variant.
    OleVariant Get(const std::string& name, std::initializer_list<OleVariant> args = {}) const;
    void Put(const std::string& name, const OleVariant& value) const;
    void Put(const std::string& name, std::initializer_list<OleVariant> index, const OleVariant& value) const;
    // A method call; its result, if any, is returned.
    OleVariant Call(const std::string& name, std::initializer_list<OleVariant> args = {}) const;

    // Releases what the variant holds; it becomes unassigned.
    void Clear();

private:
    IDispatch* Dispatch(const std::string& name) const;
    OleVariant Invoke(const std::string& name, WORD flags, const OleVariant* args, size_t count,
                      const OleVariant* putValue) const;
    VARIANT FV;
};

// Creates the automation object of a program identifier (CLSIDFromProgID + CoCreateInstance).
// An unregistered identifier raises EOleSysError with ErrorCode CO_E_CLASSSTRING.
OleVariant CreateOleObject(const std::string& progId);

// While it lives, a call of this thread that an automation server refuses because it is busy
// (Excel while it starts up: "retry later", which the caller gets as RPC_E_CALL_REJECTED) is made
// again for a few seconds before it fails. It registers a message filter for COM to consult on
// such calls and puts the previous filter back at the end. Where a refusal comes back without COM
// having consulted the filter (a channel that does not), OleVariant's calls retry it themselves
// by the same rule; so they do with Excel's own "cannot take the call now" (0x800AC472, a cell
// being edited), which COM never takes for a refusal.
class TOleRetryFilter {
public:
    explicit TOleRetryFilter(DWORD retryForMs = 5000);
    ~TOleRetryFilter();
    TOleRetryFilter(const TOleRetryFilter&) = delete;
    TOleRetryFilter& operator=(const TOleRetryFilter&) = delete;

    class Filter;

private:
    Filter* FFilter;
    Filter* FOuter;
    IMessageFilter* FPrevious = nullptr;
    bool FRegistered = false;
};
