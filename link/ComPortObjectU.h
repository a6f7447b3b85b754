// The Modbus RTU master's link to one serial port: the link object with its two time-outs and
// RS-485 direction control, the CRC, and the frames and reply checks of the four requests.
// The CRC and frame helpers need nothing of Win32 (ComPortObjectU.Frames.cpp), so they build
// natively as well.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

class TSerialPort;

using TArrayByte = std::vector<uint8_t>;

// Link result codes of the requests.
constexpr int LinkOk = 0;
constexpr int LinkBadCrc = 2;     // the reply fails its CRC (or is longer than a reply can be)
constexpr int LinkNoReply = 16;   // no reply, or one too short for the request

// ---- CRC-16 of Modbus RTU, table driven (high and low byte tables) ---------------------------
extern const uint8_t CrcHighTable[256];
extern const uint8_t CrcLowTable[256];
// First * 256 + Second: frames carry First, then Second. 0xFFFF when Count <= 0.
uint16_t Crc16(const uint8_t* Data, int Start, int Count);
uint16_t Crc16(const TArrayByte& Data, int Start, int Count);  // stays inside Data
void AppendCrc(TArrayByte& Frame);

// ---- frames and replies ---------------------------------------------------------------------
// Buffer limits of the link object: a reception holds at most this many reply bytes.
constexpr int MaxReplyBytes = 255;

bool Is32BitType(int ValueType);
// Registers on the wire for Count values of ValueType (two per 32-bit value).
int RegisterCount(int Count, int ValueType);

TArrayByte SlaveIdFrame(int Addr);
TArrayByte ReadFrame(int Addr, int StartReg, int Count, int ValueType, bool Holding);
TArrayByte WriteFrame(int Addr, int StartReg, int Count, int ValueType, const uint8_t* Data);
TArrayByte AnyFunctionFrame(int Addr, int Func, int Len, const uint8_t* Data);

// A received reply as the link object keeps it: Buf[0] = n, the reply in Buf[1..n].
// 0 when its CRC is good, 16 when it has fewer than 4 bytes, 2 otherwise.
int JudgeReply(const TArrayByte& Buf);
// Adds bytes read from the line to a reception in Buf (256 bytes, Buf[0] the count so far).
// Bytes past MaxReplyBytes are dropped; false when any was.
bool AddReplyBytes(TArrayByte& Buf, const uint8_t* Bytes, int Count);
// The status of a reception: a cut reply (broken) never passes, whatever its CRC.
int ReplyStatus(const TArrayByte& Buf, bool Broken);
// Reply parsers; each touches the caller's buffer only on success.
std::string SlaveIdName(const TArrayByte& Buf, int MaxLen);
int TakeReadReply(const TArrayByte& Buf, int Count, int ValueType, uint8_t* Data);
int TakeWriteReply(const TArrayByte& Buf);
int TakeAnyReply(const TArrayByte& Buf, uint8_t* Data);

// ---- the link object ------------------------------------------------------------------------
// Bit rates and the busy hold after a send (3.5 characters of 11 bits, rounded up), by speed index.
extern const int SpeedBitRates[8];
extern const int SpeedHoldMs[8];

class TComPortObject {
public:
    TComPortObject();   // calibrates (one second of busy waiting), then makes Port
    ~TComPortObject();  // destroys Port, which closes it
    TComPortObject(const TComPortObject&) = delete;
    TComPortObject& operator=(const TComPortObject&) = delete;

    void SetPortName(const std::string& Name);
    void SetSpeed(uint8_t Index) { Speed = Index; }
    void SetByteTimeout(int Ms) { ByteTimeout = Ms; }
    void SetAnswerDelay(int Ms) { AnswerDelay = Ms; }
    void SetFlowControl(uint8_t Value) { FlowControl = Value; }
    void SetRetries(int N) { Retries = N < 1 ? 1 : N > 25 ? 25 : N; }

    bool OpenLink();
    void CloseLink();
    // One reply into ABuf: ABuf[0] = count (at most 255), the bytes after it.
    void ReceiveReply(TArrayByte& ABuf);
    // True when the last reception was cut: more than 255 bytes, or a line that never fell silent.
    bool ReplyBroken() const { return FReplyBroken; }
    // Longest byte loop of one reception, ms: twice the line time of 256 characters at the
    // current speed, plus one ByteTimeout.
    int ByteLoopLimit() const;
    void Calibrate();
    void BusyDelay(int Ms);

    // Sends the request in ABuf (its first Len bytes) with up to Retries attempts; ABuf then holds
    // the last reply. 0 on a reply with a good CRC; otherwise the last attempt's failure (16 or 2).
    int Transaction(TArrayByte& ABuf, int Len);
    int ReportSlaveId(int Addr, std::string& Name, int MaxLen);
    int ReadRegisters(int Addr, int StartReg, int Count, int ValueType, uint8_t* Data, bool Holding);
    int WriteRegisters(int Addr, int StartReg, int Count, int ValueType, const uint8_t* Data);
    int SendAnyFunction(int Addr, int Func, int Len, uint8_t* Data);

    TSerialPort* Port = nullptr;
    uint8_t Speed = 0;
    int32_t ByteTimeout = 0;
    int32_t AnswerDelay = 0;
    uint8_t FlowControl = 0;
    int32_t Retries = 1;
    TArrayByte Buf;
    uint32_t LoopsPerSecond = 0;

private:
    int SendWithDirection(const TArrayByte& Frame);
    bool FReplyBroken = false;
};
