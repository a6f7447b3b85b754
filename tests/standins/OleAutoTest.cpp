#include <gtest/gtest.h>

#include <cstring>
#include <type_traits>

#include "OleAuto.h"
#include "TestSupport.h"

using namespace testsupport;

TEST(OleAuto, UnregisteredProgramIdentifierFailsWithClassStringError)
{
    TComApartment com;
    TNoExcel none;
    try {
        CreateOleObject("Excel.Application");
        FAIL() << "created";
    } catch (const EOleSysError& e) {
        EXPECT_EQ(e.ErrorCode, CO_E_CLASSSTRING);
        EXPECT_FALSE(e.Message().empty());
    }
}

TEST(OleAuto, CallsReachTheServerByNameWithTheirArgumentsInOrder)
{
    TComApartment com;
    TExcelStub stub;
    {
        OleVariant app = CreateOleObject("Excel.Application");
        OleVariant sheet = app.Get("Sheets", {1});
        sheet.Put("Name", "Лист №1");
        sheet.Put("Cells", {3, 4}, "1.50");
        OleVariant a = sheet.Get("Cells", {1, 1});
        sheet.Get("Range", {a, sheet}).Put("Width", 20.5);
        OleVariant name = std::string("c:\\отчет.xls");
        app.Call("Save", {OleVariant::ByRef(name), false, OleVariant::Null(), OleVariant()});
        app.Clear();
        EXPECT_TRUE(app.IsEmpty());
    }
    EXPECT_EQ(stub.Log(),
              "create -> o0\n"
              "o0 get Sheets(1) -> o1\n"
              "o1 put Name = \"Лист №1\"\n"
              "o1 put Cells(3,4) = \"1.50\"\n"
              "o1 get Cells(1,1) -> o2\n"
              "o1 get Range(o2,o1) -> o3\n"
              "o3 put Width = 20.5\n"
              "o0 call Save(&\"c:\\отчет.xls\",false,null,empty)\n");
    // Every object handed out was released again.
    EXPECT_EQ(stub.LiveObjects(), 0);
}

TEST(OleAuto, ServerExceptionStopsWithItsDescription)
{
    TComApartment com;
    TExcelStub stub;
    {
        OleVariant app = CreateOleObject("Excel.Application");
        stub.FailAt(2);
        app.Get("A");
        try {
            app.Put("B", 1);
            FAIL() << "no error";
        } catch (const EOleException& e) {
            EXPECT_EQ(e.Message(), "Stub failure");
            EXPECT_EQ(e.Source, "ExcelStub");
            EXPECT_EQ(e.ErrorCode, E_FAIL);
        }
    }
    EXPECT_EQ(stub.Log(), "create -> o0\no0 get A -> o1\no0 put B = 1 !\n");
    EXPECT_EQ(stub.LiveObjects(), 0);
}

// The message filter of the thread now, as COM holds it (only compared, never called).
IMessageFilter* CurrentMessageFilter()
{
    IMessageFilter* f = nullptr;
    CoRegisterMessageFilter(nullptr, &f);
    if (f) {
        CoRegisterMessageFilter(f, nullptr);
        f->Release();
    }
    return f;
}

TEST(OleAuto, RetryFilterIsInForceForItsLifetimeAndPutsThePreviousOneBack)
{
    TComApartment com;
    ASSERT_EQ(CurrentMessageFilter(), nullptr);
    {
        TOleRetryFilter outer;
        IMessageFilter* first = CurrentMessageFilter();
        EXPECT_NE(first, nullptr);
        {
            TOleRetryFilter inner;
            EXPECT_NE(CurrentMessageFilter(), first);
        }
        EXPECT_EQ(CurrentMessageFilter(), first);
    }
    EXPECT_EQ(CurrentMessageFilter(), nullptr);
}

TEST(OleAuto, VariantsConvertAndArraysKeepTheirElements)
{
    OleVariant arr = OleVariant::Array({OleVariant(7), OleVariant("пример"), OleVariant(true), OleVariant::Null()});
    EXPECT_TRUE(arr.IsArray());
    auto e = arr.Elements();
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].AsInteger(), 7);
    EXPECT_EQ(e[1].AsString(), "пример");
    EXPECT_TRUE(e[2].AsBool());
    EXPECT_TRUE(e[3].IsNull());
    OleVariant copy = arr;
    EXPECT_EQ(copy.Elements()[1].AsString(), "пример");
    EXPECT_EQ(OleVariant("12").AsInteger(), 12);
    EXPECT_THROW(OleVariant("x").AsInteger(), EOleSysError);
    EXPECT_THROW(OleVariant(1).Get("Anything"), EOleSysError);
}

// An automation object that counts its references, so that copies are seen to be owned.
class TCounted : public IDispatch {
public:
    LONG Refs() const { return FRefs; }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ? this : nullptr;
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++FRefs); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--FRefs); }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    LONG FRefs = 1;
};

// A variant of type vt that holds x (an object gains a reference).
template <class T>
OleVariant Typed(VARTYPE vt, T x)
{
    OleVariant v;
    if constexpr (std::is_same_v<T, DECIMAL>) v.Raw().decVal = x;
    else std::memcpy(&v.Raw().lVal, &x, sizeof x);
    if constexpr (std::is_pointer_v<T>) x->AddRef();
    v.Raw().vt = vt;  // after the decimal, whose first word is the type's place
    return v;
}

// A one-dimensional array of type vt, indexed from 1, with the values of items.
OleVariant TypedArray(VARTYPE vt, const std::vector<OleVariant>& items, IRecordInfo* record = nullptr)
{
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), 1};
    SAFEARRAY* sa = SafeArrayCreateEx(vt, 1, &bound, record);
    for (LONG i = 1; i <= static_cast<LONG>(items.size()); ++i) {
        VARIANT& v = const_cast<VARIANT&>(items[static_cast<size_t>(i - 1)].Raw());
        // Strings and objects are put as themselves, a record from where the variant points.
        void* p = vt == VT_VARIANT                                        ? static_cast<void*>(&v)
                  : vt == VT_DECIMAL                                      ? static_cast<void*>(&v.decVal)
                  : vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN ? static_cast<void*>(v.punkVal)
                  : vt == VT_RECORD                                       ? v.pvRecord
                                                                          : static_cast<void*>(&v.lVal);
        EXPECT_EQ(SafeArrayPutElement(sa, &i, p), S_OK) << vt;
    }
    VARIANT raw;
    VariantInit(&raw);
    raw.vt = static_cast<VARTYPE>(VT_ARRAY | vt);
    raw.parray = sa;
    return OleVariant::Attach(raw);
}

// The record type {LONG a; LONG b}, made in memory: 8 bytes, no more than a variant's value.
IRecordInfo* PairRecord()
{
    ICreateTypeLib2* lib = nullptr;
    ICreateTypeInfo* make = nullptr;
    ITypeInfo* info = nullptr;
    IRecordInfo* record = nullptr;
    if (SUCCEEDED(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"pair.tlb", &lib)) &&
        SUCCEEDED(lib->CreateTypeInfo(const_cast<LPOLESTR>(L"Pair"), TKIND_RECORD, &make))) {
        const GUID id = {0x5c1f0b3e, 0x2a47, 0x4e61, {0x9d, 0x0b, 0x73, 0x1e, 0xa2, 0x5f, 0x86, 0xc4}};
        make->SetGuid(id);
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"a"), const_cast<LPOLESTR>(L"b")};
        for (UINT k = 0; k < 2; ++k) {
            VARDESC field{};
            field.memid = static_cast<MEMBERID>(k);
            field.varkind = VAR_PERINSTANCE;
            field.elemdescVar.tdesc.vt = VT_I4;
            make->AddVarDesc(k, &field);
            make->SetVarName(k, names[k]);
        }
        if (SUCCEEDED(make->LayOut()) &&
            SUCCEEDED(make->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&info))))
            GetRecordInfoFromTypeInfo(info, &record);
    }
    if (info) info->Release();
    if (make) make->Release();
    if (lib) lib->Release();
    return record;
}

// The HRESULT with which reading the elements of a fails, S_OK when it does not.
HRESULT ElementsFailure(const OleVariant& a)
{
    try {
        a.Elements();
        return S_OK;
    } catch (const EOleSysError& e) {
        return e.ErrorCode;
    }
}

TEST(OleAuto, TypedArraysGiveWholeElementsAndRefuseRecords)
{
    TComApartment com;
    TCounted obj;
    DECIMAL dec{};  // every part of the decimal in use
    dec.scale = 7;
    dec.sign = DECIMAL_NEG;
    dec.Hi32 = 0x89ABCDEF;
    dec.Lo64 = 0x0123456789ABCDEFull;
    CY money;
    money.int64 = -12345678901234;
    IDispatch* d = &obj;
    IUnknown* u = &obj;
    {
        struct Case {
            VARTYPE vt;
            std::vector<OleVariant> items;
        };
        const std::vector<Case> cases = {
            {VT_I1, {Typed(VT_I1, int8_t{-128}), Typed(VT_I1, int8_t{127})}},
            {VT_UI1, {Typed(VT_UI1, uint8_t{255}), Typed(VT_UI1, uint8_t{0})}},
            {VT_I2, {Typed(VT_I2, int16_t{-32768}), Typed(VT_I2, int16_t{12345})}},
            {VT_UI2, {Typed(VT_UI2, uint16_t{65535})}},
            {VT_I4, {Typed(VT_I4, int32_t{-2147483647 - 1}), Typed(VT_I4, int32_t{7})}},
            {VT_UI4, {Typed(VT_UI4, uint32_t{4294967295u})}},
            {VT_I8, {Typed(VT_I8, int64_t{-9223372036854775807ll - 1}), Typed(VT_I8, int64_t{1} << 40)}},
            {VT_UI8, {Typed(VT_UI8, uint64_t{18446744073709551615ull})}},
            {VT_R4, {Typed(VT_R4, 1.5f), Typed(VT_R4, -0.25f)}},
            {VT_R8, {Typed(VT_R8, 2.5e-300), Typed(VT_R8, -0.125)}},
            {VT_DATE, {Typed(VT_DATE, DATE{45000.75})}},
            {VT_CY, {Typed(VT_CY, money)}},
            {VT_BOOL, {Typed(VT_BOOL, VARIANT_TRUE), Typed(VT_BOOL, VARIANT_FALSE)}},
            {VT_BSTR, {OleVariant("Журнал №1"), OleVariant("")}},
            {VT_DECIMAL, {Typed(VT_DECIMAL, dec), Typed(VT_DECIMAL, DECIMAL{})}},
            {VT_DISPATCH, {Typed(VT_DISPATCH, d)}},
            {VT_UNKNOWN, {Typed(VT_UNKNOWN, u), Typed(VT_UNKNOWN, u)}},
            {VT_VARIANT, {OleVariant(7), OleVariant("семь"), Typed(VT_DECIMAL, dec), Typed(VT_DISPATCH, d)}},
        };
        for (const Case& c : cases) {
            std::vector<OleVariant> got = TypedArray(c.vt, c.items).Elements();
            ASSERT_EQ(got.size(), c.items.size()) << c.vt;
            for (size_t k = 0; k < got.size(); ++k) {
                const VARIANT& want = c.items[k].Raw();
                const VARIANT& is = got[k].Raw();
                ASSERT_EQ(is.vt, want.vt) << c.vt << " #" << k;
                if (want.vt == VT_DISPATCH || want.vt == VT_UNKNOWN)
                    EXPECT_EQ(is.punkVal, want.punkVal) << c.vt << " #" << k;
                else
                    EXPECT_EQ(got[k].AsString(), c.items[k].AsString()) << c.vt << " #" << k;
            }
        }
    }
    // Every object reference that the elements took went again.
    EXPECT_EQ(obj.Refs(), 1);

    // A record element is the record's data, which a variant can only point at; an array whose
    // elements are not of the variant's type is refused the same way.
    IRecordInfo* pair = PairRecord();
    ASSERT_NE(pair, nullptr) << "no record type";
    LONG values[2] = {5, 6};
    OleVariant rec;
    rec.Raw().pvRecord = values;
    rec.Raw().pRecInfo = pair;  // borrowed: taken back before rec ends
    rec.Raw().vt = VT_RECORD;
    OleVariant records = TypedArray(VT_RECORD, {rec, rec}, pair);
    VariantInit(&rec.Raw());
    pair->Release();
    EXPECT_EQ(ElementsFailure(records), DISP_E_TYPEMISMATCH);
    const struct {
        VARTYPE own;
        OleVariant item;
    } mislabelled[] = {{VT_BSTR, OleVariant("x")},
                       {VT_UI1, Typed(VT_UI1, uint8_t{7})},
                       {VT_I2, Typed(VT_I2, int16_t{7})},
                       {VT_R4, Typed(VT_R4, 7.0f)}};
    for (const auto& m : mislabelled) {
        OleVariant a = TypedArray(m.own, {m.item});
        a.Raw().vt = VT_ARRAY | VT_I4;
        EXPECT_EQ(ElementsFailure(a), DISP_E_TYPEMISMATCH) << m.own;
    }
}
