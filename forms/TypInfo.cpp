#include "TypInfo.h"

#include <memory>
#include <vector>

#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "Forms.h"
#include "Grids.h"
#include "StdCtrls.h"
#include "SysUtils.h"

namespace {

struct TEntry {
    std::function<bool(const TComponent*)> Accepts;
    TPropInfo Info;
};

std::vector<TEntry>& Entries()
{
    static std::vector<TEntry> v;
    return v;
}

// What the toolkit's own classes publish (of what code looks up by name).
void PublishToolkit()
{
    static bool done = false;
    if (done) return;
    done = true;
    PublishObjectProp<TLabel>("Font", &TControl::Font);
    PublishObjectProp<TButton>("Font", &TControl::Font);
    PublishObjectProp<TCheckBox>("Font", &TControl::Font);
    PublishObjectProp<TRadioButton>("Font", &TControl::Font);
    PublishObjectProp<TEdit>("Font", &TControl::Font);
    PublishObjectProp<TComboBox>("Font", &TControl::Font);
    PublishObjectProp<TGroupBox>("Font", &TControl::Font);
    PublishObjectProp<TListBox>("Font", &TControl::Font);
    PublishObjectProp<TMemo>("Font", &TControl::Font);
    PublishObjectProp<TRichEdit>("Font", &TControl::Font);
    PublishObjectProp<TPanel>("Font", &TControl::Font);
    PublishObjectProp<TRadioGroup>("Font", &TControl::Font);
    PublishObjectProp<TLabeledEdit>("Font", &TControl::Font);
    PublishObjectProp<TPageControl>("Font", &TControl::Font);
    PublishObjectProp<TTabSheet>("Font", &TControl::Font);
    PublishObjectProp<TTreeView>("Font", &TControl::Font);
    PublishObjectProp<TListView>("Font", &TControl::Font);
    PublishObjectProp<TStringGrid>("Font", &TControl::Font);
    PublishObjectProp<TDrawGrid>("Font", &TControl::Font);
    PublishObjectProp<TScrollBox>("Font", &TControl::Font);
    PublishObjectProp<TFrame>("Font", &TControl::Font);
    PublishObjectProp<TForm>("Font", &TControl::Font);
}

}  // namespace

void RegisterPropInfo(std::function<bool(const TComponent*)> Accepts, TPropInfo Info)
{
    Entries().push_back({std::move(Accepts), std::move(Info)});
}

const TPropInfo* GetPropInfo(const TComponent* Instance, const std::string& PropName)
{
    PublishToolkit();
    if (!Instance) return nullptr;
    std::string u = UpperCase(PropName);
    for (const TEntry& e : Entries())
        if (UpperCase(e.Info.Name) == u && e.Accepts(Instance)) return &e.Info;
    return nullptr;
}
