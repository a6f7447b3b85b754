// Writing a whole file so that a failure leaves any earlier file of that name as it was:
// the bytes go to a temporary file in the same folder, which then replaces the target.
#pragma once
#include <cstdint>
#include <string>

#include "SysUtils.h"

// The platform's input/output error, with its message texts.
class EInOutError : public Exception {
public:
    EInOutError(uint32_t code, std::string msg) : Exception(std::move(msg)), ErrorCode(code) {}
    const char* ClassName() const override { return "EInOutError"; }
    uint32_t ErrorCode;
};

std::string InOutErrorMessage(uint32_t code);

// Raises EInOutError on failure; the target is then unchanged and no temporary file remains.
void WriteWholeFile(const std::string& fileName, const std::string& bytes);
