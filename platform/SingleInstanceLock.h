#pragma once

#ifndef _WIN32
#include "platform/UniqueFd.h"
#endif

#include <memory>
#include <string>

// The program-wide lock that keeps a second instance from running. It is an
// exclusive flock on a file in /tmp that every user can open (on Windows the
// named mutex "Global\<name>"): the kernel frees it when the holder ends, however
// it ends. A program that cannot take it for any reason must not run: two
// observers would start every tool twice.
class SingleInstanceLock {
public:
    enum class Outcome { Acquired, HeldElsewhere, Failed };

    static constexpr const char* DefaultName = "{2194ABA1-QRIX-4e6b-8C26-D191BB16F9E6}";

    // Locks "/tmp/<name>.lock" (creates "Global\<name>" on Windows).
    explicit SingleInstanceLock(const std::string& name = DefaultName);

    Outcome Result() const { return m_Outcome; }
    const std::string& LockPath() const { return m_Path; }
    // The system's text for a failed attempt, ending with a line break.
    const std::string& ErrorText() const { return m_Error; }

private:
    std::string m_Path;
#ifdef _WIN32
    // The mutex's handle as a plain pointer: <windows.h> and its macros stay out
    // of the programs that include this header.
    struct CloseMutex {
        void operator()(void* handle) const;
    };
    std::unique_ptr<void, CloseMutex> m_Mutex;
#else
    UniqueFd m_Fd;
#endif
    Outcome m_Outcome = Outcome::Failed;
    std::string m_Error;
};
