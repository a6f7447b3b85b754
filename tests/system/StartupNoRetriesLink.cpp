// A link library with every export but "Retries", for the start-up that must refuse it.
#include <cstdint>

extern "C" {
bool __stdcall Connect(int32_t, int32_t, uint8_t) { return false; }
bool __stdcall Disconnect() { return true; }
int32_t __stdcall Test() { return 56; }
int32_t __stdcall GetDevName(int32_t, void*, int32_t) { return 16; }
int32_t __stdcall ReadInputRegister(int32_t, int32_t, int32_t, int32_t, void*) { return 16; }
int32_t __stdcall ReadHoldingRegister(int32_t, int32_t, int32_t, int32_t, void*) { return 16; }
int32_t __stdcall WriteRegister(int32_t, int32_t, int32_t, int32_t, void*) { return 16; }
int32_t __stdcall AnyFunction(int32_t, int32_t, int32_t, void*) { return 16; }
}
