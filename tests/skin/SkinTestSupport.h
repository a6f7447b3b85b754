// Shared helpers of the skin tests: forms with controls, skins made as a stored form makes
// them, and a look at which control runs through which subclass.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "FlatSkin.h"
#include "Forms.h"
#include "StdCtrls.h"

// A control that only carries a class name, for the rows that recognise classes by name.
class TNamedControl : public TWinControl {
public:
    TNamedControl(TComponent* AOwner, std::string name) : TWinControl(AOwner), FName(std::move(name)) {}
    const char* ClassName() const override { return FName.c_str(); }

private:
    std::string FName;
};

template <class T> T* Put(TComponent* owner, TWinControl* parent)
{
    auto* c = new T(owner);
    c->SetParent(parent);
    return c;
}

inline TNamedControl* PutNamed(TComponent* owner, TWinControl* parent, const char* name)
{
    auto* c = new TNamedControl(owner, name);
    c->SetParent(parent);
    return c;
}

// A skin as the form's stored description makes it: properties in their order, then Loaded.
inline TFlatSkin* LoadSkin(TComponent* form, bool active = true, bool disableSubclassing = false)
{
    auto* s = new TFlatSkin(form);
    s->BeginLoading();
    s->SetActive(active);
    s->SetDisableSubclassing(disableSubclassing);
    s->EndLoading();
    return s;
}

// The subclass a control runs through, or null.
inline TControlSubClass* SubclassOf(TControl* c)
{
    TWndMethod m = c->WindowProc();
    return TControlSubClass::IsSubclassProc(m) ? static_cast<TControlSubClass*>(m.Data()) : nullptr;
}

inline int SubclassCount(TComponent* skin)
{
    int n = 0;
    for (int i = 0; i < skin->ComponentCount(); ++i)
        if (skin->Components(i)->Is<TControlSubClass>()) ++n;
    return n;
}

// Every test leaves the program as it found it: no manager, no forms.
class SkinTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        Application->DestroyComponents();
        EXPECT_EQ(MenuManager, nullptr) << "the last skin did not release the manager";
        EXPECT_EQ(Screen->FormCount(), 0);
    }
    TForm* NewForm()
    {
        auto* f = new TForm(Application);
        f->SetBounds(20, 20, 400, 300);
        return f;
    }
};
