#include "IniFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "Cp1251.h"

// The file is read and written as its own bytes (a Unicode one converted here), and only its
// name goes to the system (as UTF-16): the profile functions would take the name in the system's
// code page, and read and write the contents through it, which need not be 1251. The rules are
// theirs: names match without regard to case, blanks round names and values go, one pair of
// quotes round a value goes, a line beginning with ";" is a comment, and the first of two equal
// names counts.
struct TIniFile::TContents {
    struct Line {
        size_t begin, end, next;  // the text [begin, end), the line ending up to next
        enum { Other, Section, Key } kind;
        std::string name;   // section or key name as written, without blanks round it
        std::string value;  // a key's value as written, without blanks round it
        bool hasValue;      // a key line with "="
    };
    struct Section {
        size_t header;  // its line
        size_t end;     // the line after its last one
        std::unordered_map<std::string, size_t> keys;  // upper-case name -> first line
    };

    // A file that begins with a byte-order mark holds Unicode text, as the profile functions
    // read and wrote it: it is parsed as cp1251 (the system's strings) and written back in its own
    // encoding, lines not rewritten as they were, letters cp1251 lacks included.
    enum Encoding { Cp1251, Utf16LE, Utf16BE, Utf8 };

    bool known = false;  // read at least once
    bool exists = false;
    FILETIME written{};
    ULONGLONG size = 0;
    Encoding encoding = Cp1251;
    std::string mark;                // the byte-order mark, written back as it was
    std::string odd;                 // a UTF-16 file's odd last byte, kept last
    std::string bytes;               // the text in cp1251
    std::vector<std::wstring> text;  // a Unicode file's lines as it has them, with their endings
    std::vector<Line> lines;
    std::vector<Section> sections;
    std::unordered_map<std::string, size_t> sectionIndex;  // upper-case name -> first section

    void Load(const std::string& file);
    void SetText(const std::wstring& w);
    std::string Saved(const std::wstring& w) const;
    std::wstring KeyName(size_t line) const;
    void Parse();
    const Line* Find(const std::string& section, const std::string& ident) const;
    const Section* FindSection(const std::string& section) const;
};

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string Trimmed(const std::string& s, size_t b, size_t e)
{
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

// Upper case of cp1251 text, as the system's own case mapping has it.
std::string Upper(const std::string& s)
{
    static const std::vector<unsigned char> table = [] {
        std::vector<unsigned char> t(256);
        for (int i = 0; i < 256; ++i) {
            t[i] = static_cast<unsigned char>(i);
            std::wstring w = ToWide(std::string(1, static_cast<char>(i)));
            if (w.size() != 1) continue;
            CharUpperBuffW(&w[0], 1);
            std::string back = FromWide(w);
            if (back.size() == 1 && ToWide(back) == w) t[i] = static_cast<unsigned char>(back[0]);
        }
        return t;
    }();
    std::string u(s);
    for (char& c : u) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return u;
}

bool Stamp(const std::string& fileName, FILETIME& written, ULONGLONG& size)
{
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW(ToWide(fileName).c_str(), GetFileExInfoStandard, &a) ||
        (a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    written = a.ftLastWriteTime;
    size = (static_cast<ULONGLONG>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
    return true;
}

bool ReadBytes(const std::string& fileName, std::string& bytes)
{
    HANDLE h = CreateFileW(ToWide(fileName).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bytes.clear();
    char buf[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, buf, sizeof buf, &got, nullptr) != 0) && got > 0) bytes.append(buf, got);
    CloseHandle(h);
    return ok;
}

bool WriteBytes(const std::string& fileName, const std::string& bytes)
{
    HANDLE h = CreateFileW(ToWide(fileName).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD written = 0;
        ok = WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written, nullptr) &&
             written > 0;
        done += written;
    }
    ok = ok && SetEndOfFile(h);
    return CloseHandle(h) && ok;
}

}  // namespace

void TIniFile::TContents::Load(const std::string& file)
{
    struct Mark {
        const char* bytes;
        Encoding encoding;
    };
    static const Mark marks[] = {{"\xFF\xFE", Utf16LE}, {"\xFE\xFF", Utf16BE}, {"\xEF\xBB\xBF", Utf8}};
    encoding = Cp1251;
    mark.clear();
    odd.clear();
    text.clear();
    for (const Mark& m : marks)
        if (file.compare(0, strlen(m.bytes), m.bytes) == 0) {
            encoding = m.encoding;
            mark = m.bytes;
            break;
        }
    std::wstring w;
    if (encoding == Utf16LE || encoding == Utf16BE) {
        const int hi = encoding == Utf16BE ? 0 : 1;
        for (size_t i = mark.size(); i + 1 < file.size(); i += 2)
            w.push_back(static_cast<wchar_t>(static_cast<unsigned char>(file[i + hi]) << 8 |
                                             static_cast<unsigned char>(file[i + 1 - hi])));
        if ((file.size() - mark.size()) % 2) odd = file.substr(file.size() - 1);
    } else if (encoding == Utf8 && file.size() > mark.size()) {
        const char* p = file.data() + mark.size();
        const int len = static_cast<int>(file.size() - mark.size());
        int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p, len, nullptr, 0);
        // Not UTF-8 after all: its bytes are taken as they are, the mark kept in front of them.
        if (n <= 0) encoding = Cp1251;
        w.resize(static_cast<size_t>(n > 0 ? n : 0));
        if (n > 0) MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p, len, w.data(), n);
    }
    if (encoding == Cp1251) bytes = file.substr(mark.size());
    else SetText(w);
}

// A Unicode file's text: its lines kept, and converted line by line so that the lines of the
// cp1251 text are the same.
void TIniFile::TContents::SetText(const std::wstring& w)
{
    text.clear();
    bytes.clear();
    for (size_t b = 0; b < w.size();) {
        size_t nl = w.find(L'\n', b);
        size_t next = nl == std::wstring::npos ? w.size() : nl + 1;
        text.push_back(w.substr(b, next - b));
        std::string line;
        FromWideExact(text.back(), line);
        bytes += line;
        b = next;
    }
}

// The file's bytes for a text in its encoding.
std::string TIniFile::TContents::Saved(const std::wstring& w) const
{
    std::string out = mark;
    if (encoding == Utf8) {
        int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
        std::string u(static_cast<size_t>(n > 0 ? n : 0), '\0');
        if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), u.data(), n, nullptr, nullptr);
        return out + u;
    }
    const int hi = encoding == Utf16BE ? 0 : 1;
    for (wchar_t c : w) {
        char pair[2];
        pair[hi] = static_cast<char>(c >> 8);
        pair[1 - hi] = static_cast<char>(c & 0xFF);
        out.append(pair, 2);
    }
    return out + odd;
}

// A Unicode file's key name on a line as the file has it: the cp1251 one has "?" for letters
// that cp1251 lacks.
std::wstring TIniFile::TContents::KeyName(size_t line) const
{
    const std::wstring& t = text[line];
    auto blank = [](wchar_t c) { return c < 0x80 && IsBlank(static_cast<char>(c)); };
    size_t b = 0, e = std::min(t.find(L'='), t.size());
    while (b < e && blank(t[b])) ++b;
    while (e > b && blank(t[e - 1])) --e;
    return t.substr(b, e - b);
}

void TIniFile::TContents::Parse()
{
    lines.clear();
    sections.clear();
    sectionIndex.clear();
    for (size_t b = 0; b < bytes.size();) {
        size_t nl = bytes.find('\n', b);
        size_t next = nl == std::string::npos ? bytes.size() : nl + 1;
        size_t e = nl == std::string::npos ? bytes.size() : nl;
        if (e > b && bytes[e - 1] == '\r') --e;
        Line l{b, e, next, Line::Other, {}, {}, false};
        size_t s = b;
        while (s < e && IsBlank(bytes[s])) ++s;
        if (s < e && bytes[s] == '[') {
            size_t close = e;
            while (close > s && bytes[close - 1] != ']') --close;
            l.kind = Line::Section;
            l.name = Trimmed(bytes, s + 1, close > s + 1 ? close - 1 : e);
        } else if (s < e && bytes[s] != ';') {
            size_t eq = bytes.find('=', s);
            l.kind = Line::Key;
            l.hasValue = eq < e;
            l.name = Trimmed(bytes, s, l.hasValue ? eq : e);
            if (l.hasValue) l.value = Trimmed(bytes, eq + 1, e);
        }
        if (l.kind == Line::Section) {
            if (!sections.empty()) sections.back().end = lines.size();
            sections.push_back(Section{lines.size(), 0, {}});
            sectionIndex.emplace(Upper(l.name), sections.size() - 1);
        } else if (l.kind == Line::Key && !sections.empty()) {
            sections.back().keys.emplace(Upper(l.name), lines.size());
        }
        lines.push_back(std::move(l));
        b = next;
    }
    if (!sections.empty()) sections.back().end = lines.size();
}

const TIniFile::TContents::Section* TIniFile::TContents::FindSection(const std::string& section) const
{
    auto s = sectionIndex.find(Upper(Trimmed(section, 0, section.size())));
    return s == sectionIndex.end() ? nullptr : &sections[s->second];
}

const TIniFile::TContents::Line* TIniFile::TContents::Find(const std::string& section,
                                                           const std::string& ident) const
{
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    auto k = s->keys.find(Upper(Trimmed(ident, 0, ident.size())));
    return k == s->keys.end() ? nullptr : &lines[k->second];
}

TIniFile::TIniFile(std::string fileName)
    : FFileName(std::move(fileName)), FContents(std::make_unique<TContents>())
{
}

TIniFile::~TIniFile() = default;

// The file as it is now: read again only when its time or size has changed.
const TIniFile::TContents& TIniFile::Contents() const
{
    TContents& c = *FContents;
    FILETIME written{};
    ULONGLONG size = 0;
    bool exists = Stamp(FFileName, written, size);
    if (c.known && exists == c.exists && (!exists || (CompareFileTime(&written, &c.written) == 0 && size == c.size)))
        return c;
    c.known = true;
    c.exists = exists;
    c.written = written;
    c.size = size;
    std::string file;
    if (exists && !ReadBytes(FFileName, file)) file.clear();
    c.Load(file);
    c.Parse();
    return c;
}

// Writes the file with lines [From, To) of the last read replaced by Text (cp1251, whole lines);
// the edits in order, none overlapping.
bool TIniFile::Store(const std::vector<TEdit>& edits)
{
    TContents& c = *FContents;
    const bool unicode = c.encoding != TContents::Cp1251;
    std::string bytes;
    std::wstring text;
    size_t line = 0;
    auto keep = [&](size_t upto) {
        for (; line < upto; ++line) {
            const TContents::Line& l = c.lines[line];
            if (unicode) text += c.text[line];
            else bytes.append(c.bytes, l.begin, l.next - l.begin);
        }
    };
    for (const TEdit& e : edits) {
        keep(e.From);
        if (unicode) text += e.Wide.empty() ? ToWide(e.Text) : e.Wide;
        else bytes += e.Text;
        line = e.To;
    }
    keep(c.lines.size());
    if (!WriteBytes(FFileName, unicode ? c.Saved(text) : c.mark + bytes)) {
        c.known = false;
        return false;
    }
    c.known = Stamp(FFileName, c.written, c.size);
    c.exists = c.known;
    if (unicode) c.SetText(text);
    else c.bytes = std::move(bytes);
    c.Parse();
    return true;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& def) const
{
    const TContents::Line* l = Contents().Find(section, ident);
    std::string v;
    if (l && l->hasValue) {
        v = l->value;
        if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    } else {
        v = def;
        while (!v.empty() && v.back() == ' ') v.pop_back();
    }
    // Values are read through a 2048-byte buffer.
    if (v.size() > 2047) v.resize(2047);
    return v;
}

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def) const
{
    return IniTextToInt(ReadString(section, ident, ""), def);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const
{
    return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident,
                           const std::string& value)
{
    const TContents& c = Contents();
    TEdit edit;
    if (const TContents::Section* s = c.FindSection(section)) {
        if (const TContents::Line* l = c.Find(section, ident)) {
            // The line with its own ending.
            edit.From = static_cast<size_t>(l - c.lines.data());
            edit.To = edit.From + 1;
            edit.Text = l->name + "=" + value + c.bytes.substr(l->end, l->next - l->end);
            if (c.encoding != TContents::Cp1251)
                edit.Wide = c.KeyName(edit.From) + ToWide(edit.Text.substr(l->name.size()));
        } else {
            // After the section's last line that is not blank or a comment.
            size_t last = s->header;
            for (size_t i = s->header + 1; i < s->end; ++i)
                if (c.lines[i].kind == TContents::Line::Key) last = i;
            const TContents::Line& after = c.lines[last];
            edit.From = edit.To = last + 1;
            edit.Text = ident + "=" + value + "\r\n";
            if (after.next == after.end) edit.Text.insert(0, "\r\n");  // the file's last line, unended
        }
    } else {
        edit.From = edit.To = c.lines.size();
        if (!c.bytes.empty() && c.bytes.back() != '\n') edit.Text = "\r\n";
        edit.Text += "[" + section + "]\r\n" + ident + "=" + value + "\r\n";
    }
    if (!Store({edit})) throw EIniFileException("Unable to write to " + FFileName);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value)
{
    WriteString(section, ident, IntToStr(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    WriteString(section, ident, value ? "1" : "0");
}

void TIniFile::ReadSection(const std::string& section, TStringList& keys) const
{
    keys.Clear();
    const TContents& c = Contents();
    const std::string want = Upper(Trimmed(section, 0, section.size()));
    // Every section of that name, as the profile functions list them.
    for (const TContents::Section& s : c.sections) {
        if (Upper(c.lines[s.header].name) != want) continue;
        for (size_t i = s.header + 1; i < s.end; ++i)
            if (c.lines[i].kind == TContents::Line::Key && !c.lines[i].name.empty()) keys.Add(c.lines[i].name);
    }
}

void TIniFile::ReadSections(TStringList& sections) const
{
    sections.Clear();
    const TContents& c = Contents();
    for (const TContents::Section& s : c.sections) sections.Add(c.lines[s.header].name);
}

void TIniFile::ReadSectionValues(const std::string& section, TStringList& values) const
{
    TStringList keys;
    ReadSection(section, keys);
    values.Clear();
    for (const std::string& k : keys) values.Add(k + "=" + ReadString(section, k, ""));
}

bool TIniFile::SectionExists(const std::string& section) const
{
    TStringList keys;
    ReadSection(section, keys);
    return keys.Count() > 0;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) const
{
    TStringList keys;
    ReadSection(section, keys);
    return keys.IndexOf(ident) >= 0;
}

void TIniFile::EraseSection(const std::string& section)
{
    const TContents& c = Contents();
    const std::string want = Upper(Trimmed(section, 0, section.size()));
    std::vector<TEdit> edits;
    for (const TContents::Section& s : c.sections)
        if (Upper(c.lines[s.header].name) == want) edits.push_back(TEdit{s.header, s.end, {}, {}});
    if (!edits.empty() && !Store(edits)) throw EIniFileException("Unable to write to " + FFileName);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    const TContents& c = Contents();
    if (const TContents::Line* l = c.Find(section, ident)) {
        const size_t i = static_cast<size_t>(l - c.lines.data());
        Store({TEdit{i, i + 1, {}, {}}});
    }
}
