#include <gtest/gtest.h>

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
