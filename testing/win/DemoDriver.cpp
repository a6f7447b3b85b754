// The demo's hands when there is no one at the screen: waits for Tovik's main window and every
// control it needs, presses "Считать", waits for the read to end and says how it went.
// Built and run by scripts/demo under the same Wine server as the program.
//
//   DemoDriver read     one line on success: "READ <records the window counts> <X window id>";
//                       on failure a line "FAIL <what went wrong>" and exit code 1
//   DemoDriver close    closes the main window
//
// Output is UTF-8. Every wait is bounded.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const wchar_t kTitle[] = L"Чтение журналов приборов";

std::string Utf8(const std::wstring& w)
{
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void Say(const std::string& line)
{
    std::string out = line + "\n";
    DWORD done = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &done, nullptr);
}

int Fail(const std::string& why)
{
    Say("FAIL " + why);
    return 1;
}

std::wstring Text(HWND h)
{
    wchar_t buf[1024];
    int n = GetWindowTextW(h, buf, 1024);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

std::wstring Class(HWND h)
{
    wchar_t buf[256];
    int n = GetClassNameW(h, buf, 256);
    return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

struct Search {
    const wchar_t* cls;
    const wchar_t* text;  // null: any
    DWORD pid;            // 0: any
    HWND found;
};

BOOL CALLBACK Match(HWND h, LPARAM lp)
{
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (s->pid && pid != s->pid) return TRUE;
    if (Class(h) != s->cls) return TRUE;
    if (s->text && Text(h) != s->text) return TRUE;
    s->found = h;
    return FALSE;
}

HWND FindTop(const wchar_t* cls, const wchar_t* text, DWORD pid = 0)
{
    Search s{cls, text, pid, nullptr};
    EnumWindows(Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND FindChild(HWND parent, const wchar_t* cls, const wchar_t* text)
{
    Search s{cls, text, 0, nullptr};
    EnumChildWindows(parent, Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

// The main form, not the hidden application window, which carries the same title and is there
// first.
HWND MainForm() { return FindTop(L"TForm", kTitle); }

BOOL CALLBACK CollectStatic(HWND h, LPARAM lp)
{
    if (Class(h) == L"Static" && !Text(h).empty()) {
        auto* out = reinterpret_cast<std::wstring*>(lp);
        if (!out->empty()) *out += L" / ";
        *out += Text(h);
    }
    return TRUE;
}

// A message box of the program (or of anyone, before the program's process is known).
bool MessageBoxUp(DWORD pid, std::string& text)
{
    HWND box = FindTop(L"#32770", nullptr, pid);
    if (!box || !IsWindowVisible(box)) return false;
    std::wstring t;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&t));
    text = "\"" + Utf8(Text(box)) + "\": " + Utf8(t);
    return true;
}

bool StartsWith(const std::wstring& s, const wchar_t* prefix) { return s.rfind(prefix, 0) == 0; }

int Read()
{
    std::string box;
    HWND main = nullptr;
    for (int i = 0; i < 1200 && !(main = MainForm()); ++i) {
        if (MessageBoxUp(0, box)) return Fail("a message box came up at the start: " + box);
        Sleep(50);
    }
    if (!main) return Fail("no main window of Tovik within 60 s");
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);

    // Every control the read needs, on a window that is shown and answers messages.
    HWND read = nullptr, save = nullptr, count = nullptr;
    for (int i = 0; i < 600; ++i) {
        if (MessageBoxUp(pid, box)) return Fail("a message box came up at the start: " + box);
        if (!IsWindow(main)) return Fail("the program ended at its start");
        read = FindChild(main, L"TButton", L"Считать");
        save = FindChild(main, L"TButton", L"Сохранить...");
        count = FindChild(main, L"TStaticText", nullptr);
        if (read && save && count && IsWindowVisible(main) && IsWindowVisible(read) && IsWindowEnabled(read)) break;
        read = save = count = nullptr;
        Sleep(50);
    }
    if (!read || !save || !count) return Fail("the main window did not get its controls within 30 s");
    DWORD_PTR ignored = 0;
    if (!SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &ignored))
        return Fail("the main window does not answer");
    const std::wstring before = Text(count);

    PostMessageW(read, BM_CLICK, 0, 0);
    bool started = false;
    std::wstring now;
    const DWORD t0 = GetTickCount();
    for (;;) {
        if (MessageBoxUp(pid, box)) return Fail("a message box came up instead of the read: " + box);
        if (!IsWindow(main)) return Fail("the program ended during the read");
        const bool idle = IsWindowEnabled(read);
        started = started || !idle;
        now = Text(count);
        if (idle && StartsWith(now, L"Нет ответа(")) return Fail("the instrument did not answer: " + Utf8(now));
        if (idle && (started || now != before) && StartsWith(now, L"Количество записей: ") &&
            now != L"Количество записей: ...")
            break;
        const DWORD spent = GetTickCount() - t0;
        if (!started && now == before && spent > 30000) return Fail("the read did not start within 30 s");
        if (spent > 600000) return Fail("the read did not end within 10 min");
        Sleep(50);
    }
    const long records = std::wcstol(now.c_str() + wcslen(L"Количество записей: "), nullptr, 10);
    if (records <= 0 || !IsWindowVisible(save)) return Fail("no records were read: " + Utf8(now));
    Sleep(1000);  // the last paint
    char line[128];
    std::snprintf(line, sizeof line, "READ %ld 0x%lx", records,
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(GetPropA(main, "__wine_x11_whole_window"))));
    Say(line);
    return 0;
}

int Close()
{
    HWND main = MainForm();
    if (!main) return Fail("no main window to close");
    PostMessageW(main, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "read") return Read();
    if (what == "close") return Close();
    return Fail("usage: DemoDriver read|close");
}
