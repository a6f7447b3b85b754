// The workbook writer from random cells: what the independent reader (xlsread.py, over a pipe
// to one long-lived process) reads back must be the same cells, texts and bold marks.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "FuzzSupport.h"
#include "XlsBook.h"

namespace {

class TReader {
public:
    TReader()
    {
        int in[2], out[2];
        FUZZ_CHECK(pipe(in) == 0 && pipe(out) == 0);
        if (fork() == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            close(in[1]);
            close(out[0]);
            execl("/usr/bin/python3", "python3", XLS_READER, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        FTo = in[1];
        FFrom = out[0];
    }
    std::string Dump(const std::string& book)
    {
        uint32_t n = static_cast<uint32_t>(book.size());
        std::string msg(reinterpret_cast<const char*>(&n), 4);
        msg += book;
        for (size_t at = 0; at < msg.size();) {
            ssize_t w = write(FTo, msg.data() + at, msg.size() - at);
            if (w < 0 && errno == EINTR) continue;  // the fuzzer's own timer
            FUZZ_CHECK(w > 0);
            at += static_cast<size_t>(w);
        }
        std::string got;
        while (got.size() < 4 || got.compare(got.size() - 4, 4, "end\n") != 0 ||
               (got.size() > 4 && got[got.size() - 5] != '\n')) {
            char buf[4096];
            ssize_t r = read(FFrom, buf, sizeof buf);
            if (r < 0 && errno == EINTR) continue;
            FUZZ_CHECK(r > 0);  // the reader died
            got.append(buf, static_cast<size_t>(r));
        }
        return got;
    }

private:
    int FTo = -1, FFrom = -1;
};

std::string Escaped(const std::string& s)
{
    std::string o;
    for (char c : s) {
        if (c == '\\') o += "\\\\";
        else if (c == '\t') o += "\\t";
        else if (c == '\r') o += "\\r";
        else if (c == '\n') o += "\\n";
        else o += c;
    }
    return o;
}

}  // namespace

// Without the reader there is nothing to compare with: stop before any input is taken for a find.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "the workbook target needs /usr/bin/python3 with xlrd (python3-xlrd)\n");
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TReader reader;
    TFuzzInput in(data, size);
    const std::string name = in.Text(in.Byte() % 32);
    TXlsSheet sheet(name.empty() ? "..." : name);
    std::map<std::pair<int, int>, std::string> texts;
    std::map<std::pair<int, int>, bool> bold;  // cells with a format: bold or not
    while (in.Left() > 0) {
        const uint8_t op = in.Byte();
        // Mostly a small sheet; now and then a farther row, or one off the sheet. (The last rows
        // of a sheet cost the reader most of a second each: the unit tests write them.)
        int row = 1 + in.Byte() % 12;
        if (op & 0x80) row = 1 + in.Word() % 1024;
        if ((op & 0xC0) == 0x40) row = (op & 0x20) ? TXlsSheet::MaxRows + 1 + in.Byte() : -in.Byte();
        const int col = 1 + in.Byte() % 10;
        const bool fits = row >= 1 && row <= TXlsSheet::MaxRows;
        try {
            switch (op & 3) {
            case 0:
            case 1: {
                std::vector<uint8_t> b = in.Bytes(in.Byte() % 40);
                std::string text(b.begin(), b.end());
                sheet.SetText(row, col, text);
                if (text.empty()) texts.erase({row, col});
                else texts[{row, col}] = text;
                break;
            }
            case 2: {
                const int last = col + in.Byte() % 4;
                sheet.SetBold(row, col, last);
                for (int c = col; c <= last; ++c) bold[{row, c}] = true;
                break;
            }
            default:
                sheet.SetTextFormat(row, col, col);
                bold.emplace(std::make_pair(row, col), false);
                break;
            }
            FUZZ_CHECK(fits);
        } catch (const Exception&) {
            FUZZ_CHECK(!fits);
        }
    }

    std::set<std::string> want{"sheets 1", "sheet " + Escaped(name.empty() ? "..." : name)};
    for (const auto& [at, text] : texts) {
        auto b = bold.find(at);
        want.insert(Format("cell %d %d 1 %d ", at.first - 1, at.second - 1, b != bold.end() && b->second) +
                    Escaped(text));
    }
    for (const auto& [at, isBold] : bold)
        if (!texts.count(at)) want.insert(Format("cell %d %d 6 %d ", at.first - 1, at.second - 1, isBold ? 1 : 0));

    const std::string dump = reader.Dump(sheet.Build());
    std::set<std::string> got;
    for (size_t at = 0; at < dump.size();) {
        size_t e = dump.find('\n', at);
        std::string line = dump.substr(at, e - at);
        if (line != "end") got.insert(line);
        at = e + 1;
    }
    if (got != want) {
        std::fprintf(stderr, "the reader sees:\n%s\n", dump.c_str());
        for (const std::string& w : want)
            if (!got.count(w)) std::fprintf(stderr, "missing: %s\n", w.c_str());
        for (const std::string& g : got)
            if (!want.count(g)) std::fprintf(stderr, "unexpected: %s\n", g.c_str());
        FUZZ_CHECK(got == want);
    }
    return 0;
}
