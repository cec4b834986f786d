#include "base/SharedValues.h"

#include <mutex>

namespace {

// The watcher thread is never stopped and may be mid-poll while static destructors run after the
// entry point returns, so the lock and the values live in storage that is never torn down.
struct Shared {
    std::mutex lock;
    int32_t copyhex = 0;
    std::string homedir;
    std::string lastElfPath;
    std::string statusText;
};

Shared& Values = *new Shared;

// Every value is read as a copy and written whole under the one lock.
template <typename T>
T Read(const T& value)
{
    std::lock_guard hold(Values.lock);
    return value;
}

template <typename T>
void Write(T& value, T given)
{
    std::lock_guard hold(Values.lock);
    value = std::move(given);
}

}  // namespace

int32_t ReadCopyHex() { return Read(Values.copyhex); }
void WriteCopyHex(int32_t value) { Write(Values.copyhex, value); }
std::string ReadHomeDir() { return Read(Values.homedir); }
void WriteHomeDir(std::string value) { Write(Values.homedir, std::move(value)); }
std::string ReadLastElfPath() { return Read(Values.lastElfPath); }
void WriteLastElfPath(std::string value) { Write(Values.lastElfPath, std::move(value)); }
std::string ReadStatusText() { return Read(Values.statusText); }
void WriteStatusText(std::string value) { Write(Values.statusText, std::move(value)); }

void WriteLastElfPathIfEmpty(const std::string& value)
{
    std::lock_guard hold(Values.lock);
    if (Values.lastElfPath.empty())
        Values.lastElfPath = value;
}
