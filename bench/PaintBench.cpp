// Full repaints of the main window with the flat skin off and on, and the time each painter takes
// per control; prints the figures. Run under a display. With a file name as argument it also
// leaves the skinned window's picture there (a BMP).
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>

#include "FlatSkin.h"
#include "Forms.h"
#include "MainFormU.h"
#include "PixelSupport.h"

namespace {
double Now()
{
    static LARGE_INTEGER f{};
    if (!f.QuadPart) QueryPerformanceFrequency(&f);
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return double(c.QuadPart) * 1000.0 / double(f.QuadPart);
}

// Milliseconds of one repaint of the whole window, children included, averaged.
double Repaint(TForm* f, int rounds)
{
    Application->ProcessMessages();
    double t0 = Now();
    for (int i = 0; i < rounds; ++i) {
        RedrawWindow(f->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        GdiFlush();
    }
    return (Now() - t0) / rounds;
}

TFlatSkin* SkinOf(TForm* f)
{
    for (int i = 0; i < f->ComponentCount(); ++i)
        if (auto* s = dynamic_cast<TFlatSkin*>(f->Components(i))) return s;
    return nullptr;
}
}  // namespace

int main(int argc, char** argv)
{
    const int rounds = 50, paints = 200;
    Application->Initialize();
    // The window's layout only: no start-up (library, settings), so nothing but painting is timed.
    auto* form = new TForm1(Application);
    TFlatSkin* skin = SkinOf(form);
    bool own = !skin;
    if (own) skin = new TFlatSkin(form);
    skin->SetActive(false);
    form->Show();
    Application->ProcessMessages();
    Repaint(form, 5);
    double off = Repaint(form, rounds);
    skin->SetActive(true);
    Application->ProcessMessages();
    Repaint(form, 5);
    double on = Repaint(form, rounds);
    std::printf("main window repaint, skin off: %8.3f ms\n", off);
    std::printf("main window repaint, skin on:  %8.3f ms  (%.2fx; target at most 2x)%s\n", on, on / off,
                own ? "  [skin component added here]" : "");

    // Each subclass paints its control again and again: the painter's own time.
    std::map<std::string, std::pair<double, int>> kinds;
    for (int i = 0; i < skin->ComponentCount(); ++i) {
        auto* s = dynamic_cast<TControlSubClass*>(skin->Components(i));
        if (!s || !s->Control || !s->Control->Showing()) continue;
        s->LastMessage = WM_PAINT;  // group boxes and panels draw for paints only
        double t0 = Now();
        for (int k = 0; k < paints; ++k) s->PaintSkinnedControl();
        GdiFlush();
        auto& e = kinds[s->Control->ClassName()];
        e.first += (Now() - t0) / paints;
        ++e.second;
    }
    for (auto& [name, e] : kinds)
        std::printf("painter per control, %-14s %8.4f ms  (%d controls; target well under 1 ms)\n", name.c_str(),
                    e.first / e.second, e.second);
    if (argc > 1) {
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Application->ProcessMessages();
        TPixels::Window(form->Handle()).SaveBmp(argv[1]);
    }
    form->Free();
    return 0;
}
