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

}  // namespace

int32_t ReadCopyHex()
{
    std::lock_guard hold(Values.lock);
    return Values.copyhex;
}

void WriteCopyHex(int32_t value)
{
    std::lock_guard hold(Values.lock);
    Values.copyhex = value;
}

std::string ReadHomeDir()
{
    std::lock_guard hold(Values.lock);
    return Values.homedir;
}

void WriteHomeDir(std::string value)
{
    std::lock_guard hold(Values.lock);
    Values.homedir = std::move(value);
}

std::string ReadLastElfPath()
{
    std::lock_guard hold(Values.lock);
    return Values.lastElfPath;
}

void WriteLastElfPath(std::string value)
{
    std::lock_guard hold(Values.lock);
    Values.lastElfPath = std::move(value);
}

void WriteLastElfPathIfEmpty(const std::string& value)
{
    std::lock_guard hold(Values.lock);
    if (Values.lastElfPath.empty())
        Values.lastElfPath = value;
}

std::string ReadStatusText()
{
    std::lock_guard hold(Values.lock);
    return Values.statusText;
}

void WriteStatusText(std::string value)
{
    std::lock_guard hold(Values.lock);
    Values.statusText = std::move(value);
}
