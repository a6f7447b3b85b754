// Run-time basics the rest of the system presupposes: the exception base with a cp1251
// message, and the strict integer conversion used for every integer typed or read as text.
#pragma once
#include <cstdint>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string msg) : FMessage(std::move(msg)) {}
    const std::string& Message() const { return FMessage; }
    void SetMessage(std::string msg) { FMessage = std::move(msg); }
    const char* what() const noexcept override { return FMessage.c_str(); }
    virtual const char* ClassName() const { return "Exception"; }

private:
    std::string FMessage;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EConvertError"; }
};

// Strict conversion: optional leading blanks, optional sign, then decimal digits or "$" and hex
// digits, nothing else; decimal must fit a signed 32-bit integer, hex a 32-bit pattern.
bool TryStrToInt(const std::string& s, int32_t& value);
// As TryStrToInt; failure raises EConvertError "'<s>' is not a valid integer value".
int32_t StrToInt(const std::string& s);
// As TryStrToInt; failure gives def.
int32_t StrToIntDef(const std::string& s, int32_t def);

std::string IntToStr(int64_t v);
std::string Trim(const std::string& s);
std::string UpperCase(const std::string& s);  // ASCII letters only
std::string LowerCase(const std::string& s);  // ASCII letters only
// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A component or object of the wrong kind where a given one was required.
class EInvalidCast : public Exception {
public:
    using Exception::Exception;
    const char* ClassName() const override { return "EInvalidCast"; }
};
