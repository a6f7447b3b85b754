// One open channel of the stand-in server: a serial port and a worker thread that carries out
// the masters' Modbus requests on it, one after the other.
#pragma once
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orlent {

struct LineSettings {
    std::string port = "COM1";
    int speed = 4;  // ordinal: 1200 .. 115200, then 600
    int flow = 0;
    int answerDelay = 500;
    int byteTimeout = 10;
    int retries = 10;
};

// One request of a master and, once done, its answer.
struct Request {
    int kind = 0;
    int qid = 0;
    int args[3] = {};             // elements 2 .. 4 (kind 9: ArchNum, Count, RecIndex)
    std::vector<int> format;      // archive record layout (element 5 of kind 9)
    int valueType = 18;           // element 4 of kinds 2 and 4
    int count = 1;                // element 5 of kinds 2 and 4
    int addr = 1;
    int retries = 1;
    // answer
    int fun = 0;
    int result = 0;
    std::vector<int32_t> values;  // Value: one number, or an array when more than one
    bool floats = false;
};

class Channel {
public:
    Channel(LONG id, const LineSettings& s) : FId(id), FSettings(s) {}
    ~Channel();
    LONG Id() const { return FId; }
    // Opens the port and starts the worker; false when the port cannot be opened.
    bool Open();
    // Ends the worker (queued requests are answered "channel closed") and closes the port.
    void Close();
    bool IsOpen() const { return FPort != INVALID_HANDLE_VALUE; }

    // Queues a request; done runs on the worker thread once it is answered.
    void Queue(std::shared_ptr<Request> r, std::function<void(std::shared_ptr<Request>)> done);
    // Carries it out at once on the calling thread.
    void Execute(Request& r);

private:
    int Exchange(const std::vector<uint8_t>& frame, std::vector<uint8_t>& reply, int retries);
    void Receive(std::vector<uint8_t>& reply);
    void Run();

    LONG FId;
    LineSettings FSettings;
    HANDLE FPort = INVALID_HANDLE_VALUE;
    std::mutex FLine;  // one exchange on the line at a time
    std::mutex FQueueLock;
    std::condition_variable FWake;
    std::deque<std::pair<std::shared_ptr<Request>, std::function<void(std::shared_ptr<Request>)>>> FQueue;
    bool FStop = false;
    std::thread FWorker;
};

// Result codes of the replies (the server's status table).
enum : int {
    ResOk = 0, ResNoAnswer = 1, ResChecksum = 2, ResChannelClosed = 3, ResNotSupported = 4, ResBadData = 5,
    ResBusy = 8, ResFailed = 9, ResBadAddress = 11, ResWrongAddress = 12, ResUnknown = 14, ResBadType = 15,
    ResLength = 16
};

}  // namespace orlent
