#include "platform/SingleInstanceLock.h"

#include "platform/ErrorText.h"
#include "platform/WideText.h"

#include <windows.h>

void SingleInstanceLock::CloseMutex::operator()(void* handle) const {
    ::CloseHandle(handle);
}

// A mutex that exists already means another instance runs, whoever owns it: its
// handle is held for the whole life of that program.
SingleInstanceLock::SingleInstanceLock(const std::string& name) : m_Path("Global\\" + name) {
    m_Mutex.reset(::CreateMutexW(nullptr, FALSE, WideText(m_Path).c_str()));
    const DWORD error = ::GetLastError();
    if (m_Mutex && error != ERROR_ALREADY_EXISTS) {
        m_Outcome = Outcome::Acquired;
        return;
    }
    m_Error = ::ErrorText(static_cast<int>(error));
    // Made by another user's session, it may exist without our being allowed in.
    m_Outcome = error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED ? Outcome::HeldElsewhere
                                                                              : Outcome::Failed;
    m_Mutex.reset();
}
