#include "mysql/protocol/CRVio.h"

#include "base/Exception.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace tabellix {
namespace {

constexpr auto RetryPause = std::chrono::milliseconds(10);
constexpr int WriteAttempts = 3;

} // namespace

void TCRVio::Connect() {
    FBufferLen = 0;
    FBufferPos = 0;
    FBuffer.assign(ReadAheadSize, 0);
}

int TCRVio::TakeBuffered(uint8_t* buffer, int offset, int count) {
    int n = std::min(count, FBufferLen - FBufferPos);
    if (n <= 0)
        return 0;
    std::memcpy(buffer + offset, FBuffer.data() + FBufferPos, static_cast<size_t>(n));
    FBufferPos += n;
    if (FBufferPos == FBufferLen) {
        FBufferPos = 0;
        FBufferLen = 0;
    }
    return n;
}

int TCRVio::Read(uint8_t* buffer, int offset, int count) {
    int result = TakeBuffered(buffer, offset, count);
    offset += result;
    count -= result;
    if (count == 0)
        return result;
    if (FBufferLen != 0)
        throw EAssertionFailed("TCRVio.Read: read-ahead buffer not empty");
    // A receive that yields nothing ends the read: the peer closed, the call
    // failed or the read time-out passed, which a second try would wait out
    // once more.
    bool attemptLeft = true;
    if (count < ReadAheadLimit && !FBuffer.empty()) {
        FBufferLen = ReadNoWait(FBuffer.data(), 0, static_cast<int>(FBuffer.size()));
        attemptLeft = FBufferLen != 0;
        int n = TakeBuffered(buffer, offset, count);
        result += n;
        offset += n;
        count -= n;
    }
    while (count > 0 && attemptLeft) {
        int n = ReadNoWait(buffer, offset, count);
        result += n;
        offset += n;
        count -= n;
        attemptLeft = n != 0;
        if (!attemptLeft && count > 0)
            std::this_thread::sleep_for(RetryPause);
    }
    return result;
}

int TCRVio::Write(const uint8_t* buffer, int offset, int count) {
    int result = 0;
    int failures = 0;
    while (count > 0) {
        int n = WriteNoWait(buffer, offset, count);
        if (n != 0) {
            offset += n;
            result += n;
            count -= n;
            continue;
        }
        if (++failures == WriteAttempts)
            break;
        std::this_thread::sleep_for(RetryPause);
    }
    return result;
}

bool TCRVio::WaitForData(int) {
    throw EAssertionFailed("TCRVio.WaitForData is not implemented");
}

} // namespace tabellix
