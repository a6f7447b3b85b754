// The server's type library, written with CreateTypeLib2 at registration: COM marshals the
// dual interfaces and the event dispinterfaces across the process boundary from it.
#include <map>
#include <vector>

#include "Server.h"

namespace orlent {
namespace {

struct Param {
    const wchar_t* name;
    VARTYPE vt;     // type of the value, or of what an out pointer points at
    USHORT flags;   // PARAMFLAG_*
};
struct Method {
    const wchar_t* name;
    std::vector<Param> params;
};
struct Interface {
    const wchar_t* name;
    const GUID* iid;
    bool dispatchOnly;  // an event dispinterface
    std::vector<Method> methods;
};

const USHORT In = PARAMFLAG_FIN, Ret = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, InOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;

const std::vector<Interface>& Interfaces()
{
    static const std::vector<Interface> list = {
        {L"IAnyMaster", &IID_IAnyMaster, false,
         {{L"SendQuery", {{L"Query", VT_VARIANT, In}}},
          {L"SetSettings", {{L"Settings", VT_VARIANT, In}}},
          {L"SetChannel", {{L"ChannelID", VT_I4, In}}},
          {L"GetSettings", {{L"Settings", VT_VARIANT, Ret}}},
          {L"GetChannel", {{L"ChannelID", VT_I4, Ret}}},
          {L"GetPending", {{L"Count", VT_I4, Ret}}}}},
        {L"IAnyTransport", &IID_IAnyTransport, false,
         {{L"SetSettings", {{L"Settings", VT_VARIANT, In}}},
          {L"GetSettings", {{L"Settings", VT_VARIANT, Ret}}},
          {L"SetChannelOpen", {{L"Open", VT_BOOL, In}}},
          {L"GetChannelOpen", {{L"Open", VT_BOOL, Ret}}},
          {L"GetChannelID", {{L"ChannelID", VT_I4, Ret}}}}},
        {L"IAnyClientRegistry", &IID_IAnyClientRegistry, false,
         {{L"RegisterClient", {{L"ProcessID", VT_I4, In}}},
          {L"UnregisterClient", {{L"ProcessID", VT_I4, In}}}}},
        {L"IOrlentSrvControl", &IID_IOrlentSrvControl, false,
         {{L"Command", {{L"Line", VT_BSTR, In}, {L"Reply", VT_BSTR, Ret}}}}},
        {L"IAnyMasterEvents", &DIID_IAnyMasterEvents, true, {{L"OnExchange", {{L"ExchValue", VT_VARIANT, InOut}}}}},
        {L"IAnyTransportEvents", &DIID_IAnyTransportEvents, true,
         {{L"OnStateChanged", {{L"OldState", VT_I4, In}, {L"NewState", VT_I4, In}, {L"ID", VT_I4, In}}}}},
    };
    return list;
}

std::map<GUID, ITypeInfo*, bool (*)(const GUID&, const GUID&)> gInfos(
    [](const GUID& a, const GUID& b) { return memcmp(&a, &b, sizeof a) < 0; });

HRESULT AddInterface(ICreateTypeLib2* lib, ITypeInfo* dispatchInfo, const Interface& in)
{
    ICreateTypeInfo* info = nullptr;
    HRESULT hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(in.name), in.dispatchOnly ? TKIND_DISPATCH : TKIND_INTERFACE,
                                     &info);
    if (FAILED(hr)) return hr;
    hr = info->SetGuid(*in.iid);
    if (SUCCEEDED(hr))
        hr = info->SetTypeFlags(in.dispatchOnly ? 0 : TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION);
    HREFTYPE ref = 0;
    if (SUCCEEDED(hr)) hr = info->AddRefTypeInfo(dispatchInfo, &ref);
    if (SUCCEEDED(hr)) hr = info->AddImplType(0, ref);
    for (UINT i = 0; SUCCEEDED(hr) && i < in.methods.size(); ++i) {
        const Method& m = in.methods[i];
        std::vector<ELEMDESC> params(m.params.size());
        std::vector<TYPEDESC> pointed(m.params.size());
        for (size_t p = 0; p < m.params.size(); ++p) {
            ELEMDESC& e = params[p];
            memset(&e, 0, sizeof e);
            e.paramdesc.wParamFlags = m.params[p].flags;
            if (m.params[p].flags & PARAMFLAG_FOUT) {
                pointed[p].vt = m.params[p].vt;
                e.tdesc.vt = VT_PTR;
                e.tdesc.lptdesc = &pointed[p];
            } else {
                e.tdesc.vt = m.params[p].vt;
            }
        }
        FUNCDESC fd;
        memset(&fd, 0, sizeof fd);
        fd.memid = in.dispatchOnly ? EventDispId : DISPID(0x60020000 + i);
        fd.funckind = in.dispatchOnly ? FUNC_DISPATCH : FUNC_PUREVIRTUAL;
        fd.invkind = INVOKE_FUNC;
        fd.callconv = CC_STDCALL;
        fd.cParams = SHORT(params.size());
        fd.lprgelemdescParam = params.empty() ? nullptr : params.data();
        fd.elemdescFunc.tdesc.vt = in.dispatchOnly ? VT_VOID : VT_HRESULT;
        fd.oVft = in.dispatchOnly ? 0 : SHORT((7 + i) * sizeof(void*));
        hr = info->AddFuncDesc(i, &fd);
        std::vector<LPOLESTR> names{const_cast<LPOLESTR>(m.name)};
        for (const Param& p : m.params) names.push_back(const_cast<LPOLESTR>(p.name));
        if (SUCCEEDED(hr)) hr = info->SetFuncAndParamNames(i, names.data(), UINT(names.size()));
    }
    if (SUCCEEDED(hr)) hr = info->LayOut();
    info->Release();
    return hr;
}

}  // namespace

HRESULT BuildTypeLib(const std::wstring& path)
{
    ITypeLib* stdole = nullptr;
    const GUID IID_StdOle = {0x00020430, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    HRESULT hr = LoadRegTypeLib(IID_StdOle, 2, 0, 0, &stdole);
    if (FAILED(hr)) return hr;
    ITypeInfo* dispatchInfo = nullptr;
    hr = stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);
    stdole->Release();
    if (FAILED(hr)) return hr;

    ICreateTypeLib2* lib = nullptr;
    #ifdef _WIN64
    hr = CreateTypeLib2(SYS_WIN64, path.c_str(), &lib);
#else
    hr = CreateTypeLib2(SYS_WIN32, path.c_str(), &lib);
#endif
    if (SUCCEEDED(hr)) {
        lib->SetGuid(LIBID_OrlentSrv);
        lib->SetVersion(LibMajor, LibMinor);
        lib->SetName(const_cast<LPOLESTR>(L"OrlentSrv"));
        lib->SetLcid(LOCALE_NEUTRAL);
        for (const Interface& in : Interfaces()) {
            hr = AddInterface(lib, dispatchInfo, in);
            if (FAILED(hr)) break;
        }
        if (SUCCEEDED(hr)) hr = lib->SaveAllChanges();
        lib->Release();
    }
    dispatchInfo->Release();
    return hr;
}

HRESULT LoadServerTypeLib(const std::wstring& path)
{
    ITypeLib* lib = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &lib);
    if (FAILED(hr)) return hr;
    for (const Interface& in : Interfaces()) {
        ITypeInfo* info = nullptr;
        if (SUCCEEDED(lib->GetTypeInfoOfGuid(*in.iid, &info))) gInfos[*in.iid] = info;
    }
    lib->Release();
    return S_OK;
}

ITypeInfo* ServerTypeInfo(REFGUID guid)
{
    auto it = gInfos.find(guid);
    return it == gInfos.end() ? nullptr : it->second;
}

}  // namespace orlent
