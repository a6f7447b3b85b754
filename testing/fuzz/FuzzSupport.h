// What the fuzz targets share: taking typed values off the input, and a check that stops the
// run (and so keeps the input) when a property does not hold.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "CHECK failed: %s at %s:%d\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

class TFuzzInput {
public:
    TFuzzInput(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
    size_t Left() const { return FSize - FPos; }
    uint8_t Byte() { return FPos < FSize ? FData[FPos++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() << 8 | Byte()); }
    uint32_t Long() { return static_cast<uint32_t>(Word()) << 16 | Word(); }
    // Up to n bytes (fewer at the end of the input).
    std::vector<uint8_t> Bytes(size_t n)
    {
        n = n < Left() ? n : Left();
        std::vector<uint8_t> b(FData + FPos, FData + FPos + n);
        FPos += n;
        return b;
    }
    std::vector<uint8_t> Rest() { return Bytes(Left()); }
    // A text of up to n bytes, ended early by a NUL byte of the input.
    std::string Text(size_t n)
    {
        std::string s;
        while (s.size() < n && Left() > 0) {
            char c = static_cast<char>(Byte());
            if (c == 0) break;
            s += c;
        }
        return s;
    }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

// A copy of bytes in a heap block of exactly their size, so that AddressSanitizer stops any
// read past their end.
class TExactBlock {
public:
    explicit TExactBlock(const uint8_t* p, size_t n) : FData(new uint8_t[n]), FSize(n)
    {
        for (size_t i = 0; i < n; ++i) FData[i] = p[i];
    }
    ~TExactBlock() { delete[] FData; }
    TExactBlock(const TExactBlock&) = delete;
    TExactBlock& operator=(const TExactBlock&) = delete;
    uint8_t* Data() { return FData; }
    size_t Size() const { return FSize; }

private:
    uint8_t* FData;
    size_t FSize;
};
