// The list rows of numeric records, and the groups of a read with their grid.
#include "MainFormU.h"

#include "RecordDecode.h"
#include "SysUtils.h"

namespace {

// The archive chosen in rgTypeJ, whose time flags apply; none when nothing is chosen.
const TJournalInfo* CurrentArchive(const TForm1& f)
{
    if (!f.FDevice) return nullptr;
    int j = f.rgTypeJ->ItemIndex();
    if (j < 0 || j >= MaxArchives) return nullptr;
    return &f.FDevice->Archive(j + 1);
}

}  // namespace

void TForm1::ShowRecord(int32_t index, uint32_t time, uint16_t ID, int32_t errorFlag,
                        uint32_t oldValue, uint32_t newValue)
{
    const int row = index + 1;
    if (sg->RowCount() < index + 2) sg->SetRowCount(index + 2);
    sg->SetCells(0, row, IntToStr(static_cast<int64_t>(FStart) + index));
    if (errorFlag != 0) {
        sg->SetCells(1, row, "Error");
        for (int c = 2; c <= 4; ++c) sg->SetCells(c, row, "");
        return;
    }
    const TJournalInfo* arch = CurrentArchive(*this);
    const TDateTime dt = UnixSecondsToDateTime(time);
    sg->SetCells(1, row, RecordTimeText(time, arch));
    const bool oldNew = arch && arch->ArchStandart == 3;

    const TRecType* param = nullptr;
    if (FDevice) {
        for (const auto& p : FDevice->Params)
            if (p->ID == ID) {
                param = p.get();
                break;
            }
    }
    if (param) {
        sg->SetCells(2, row, param->Name);
        TDecodedValue v = DecodeValue(*param, newValue);
        if (v.HasText) sg->SetCells(4, row, v.Text);
        if (oldNew) {
            TDecodedValue old = DecodeValue(*param, oldValue);
            if (old.HasText) sg->SetCells(3, row, old.Text);
        }
        if (v.HasEvent) AddEvent(ID, param->ValType, param->Name, dt, v.Event);
    } else {
        sg->SetCells(2, row, IntToStr(ID));
        sg->SetCells(4, row, IntToStr(static_cast<int32_t>(newValue)));
        if (oldNew) sg->SetCells(3, row, IntToStr(static_cast<int32_t>(oldValue)));
        AddEvent(ID, 19, "???", dt, static_cast<int32_t>(newValue));
    }
}

TRecStr* TForm1::EventNameIndex(const std::string& name)
{
    for (const auto& n : FEventNames)
        if (n->EventName == name) return n.get();
    auto n = std::make_unique<TRecStr>();
    n->EventName = name;
    n->EventIndex = static_cast<int32_t>(FEventNames.size()) + 1;
    FEventNames.push_back(std::move(n));
    return FEventNames.back().get();
}

void TForm1::AddEvent(int32_t ID, int32_t valType, const std::string& name, TDateTime time,
                      const TEventValue& value)
{
    TRecType* group = nullptr;
    // Records of one parameter tend to come in runs: look at the newest group first.
    if (!FGroups.empty() && FGroups.back()->ID == ID) group = FGroups.back().get();
    for (size_t i = 0; !group && i < FGroups.size(); ++i)
        if (FGroups[i]->ID == ID) group = FGroups[i].get();
    if (!group) {
        auto g = std::make_unique<TRecType>();
        g->ID = ID;
        g->ValType = valType;
        g->Name = name;
        FGroups.push_back(std::move(g));
        group = FGroups.back().get();
    }
    group->Events.push_back(TRecEvent{time, value});
}

void TForm1::ClearGroups()
{
    FGroups.clear();
    for (int r = 1; r < sgGr->RowCount(); ++r)
        for (int c = 0; c < sgGr->ColCount(); ++c) sgGr->SetCells(c, r, "");
    FEventNames.clear();
    sgGr->SetRowCount(2);
    sgGr->SetColCount(1);
}

void TForm1::FillGroupGrid()
{
    sgGr->SetColCount(1);
    sgGr->SetRowCount(FGroups.empty() ? 2 : static_cast<int>(FGroups.size()) + 1);
    const TJournalInfo* arch = CurrentArchive(*this);
    for (size_t g = 0; g < FGroups.size(); ++g) {
        const TRecType& group = *FGroups[g];
        const int row = static_cast<int>(g) + 1;
        sgGr->SetCells(0, row, group.Name == "???" ? IntToStr(group.ID) : group.Name);
        const int need = static_cast<int>(group.Events.size()) + 1;
        if (sgGr->ColCount() < need) sgGr->SetColCount(need);
        for (size_t e = 0; e < group.Events.size(); ++e) {
            const TRecEvent& ev = group.Events[e];
            sgGr->SetCells(static_cast<int>(e) + 1, row,
                           EventTimeText(ev.EventTime, arch) + "\r" + GroupValueText(group.ValType, ev.EventValue));
        }
    }
}

void TForm1::sgGrDrawCell(TObject*, int ACol, int ARow, TRect Rect, TGridDrawState)
{
    const std::string& text = sgGr->Cells(ACol, ARow);
    if (text.empty()) return;
    TRect r = Rect;
    r.Top += 2;
    TCanvas& canvas = sgGr->Canvas();
    TRect measured = r;
    const int h = canvas.DrawText(text, measured, DT_CALCRECT | DT_WORDBREAK);
    if (sgGr->RowHeights(ARow) < h) {
        // The grid paints the row again at its new height.
        sgGr->SetRowHeights(ARow, h + 5);
        return;
    }
    canvas.FillRect(TRect(r.Left, r.Top, r.Right, measured.Bottom));
    canvas.DrawText(text, r, DT_WORDBREAK);
}

void TForm1::btnStopClick(TObject*)
{
    btnStop->SetEnabled(false);
    FReading = false;
    btnRead->SetEnabled(true);
    rgTypeJ->SetEnabled(true);
    FillGroupGrid();
}
