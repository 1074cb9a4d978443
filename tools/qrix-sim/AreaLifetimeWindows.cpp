#include "tools/qrix-sim/AreaLifetime.h"

#include "platform/SharedMemoryWindows.h"
#include "platform/UniqueHandle.h"
#include "platform/WideText.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace {

std::atomic<bool>* StopFlag = nullptr;

BOOL WINAPI RequestStop(DWORD) {
    StopFlag->store(true);
    return TRUE;
}

// The event a holding `create` waits on; kernel object names share one
// namespace, so it must differ from the mapping's own name.
std::wstring RemoveEventName(const std::string& name) {
    return WideText(MappingName(name) + ".qrix-sim-remove");
}

UniqueHandle OpenRemoveEvent(const std::string& name) {
    return UniqueHandle(::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE, RemoveEventName(name).c_str()));
}

} // namespace

void InstallStopHandlers(std::atomic<bool>& stop) {
    StopFlag = &stop;
    ::SetConsoleCtrlHandler(RequestStop, TRUE);
}

int KeepCreatedAreas(std::vector<SharedArea> areas, const std::atomic<bool>& stop) {
    std::vector<UniqueHandle> removeEvents;
    std::vector<HANDLE> waitable;
    for (const SharedArea& area : areas) {
        removeEvents.emplace_back(::CreateEventW(nullptr, TRUE, FALSE, RemoveEventName(area.Name()).c_str()));
        if (!removeEvents.back().IsValid()) {
            std::cerr << "qrix-sim: " << AreaFailureText(area.Name(), "wait for remove", ::GetLastError())
                      << '\n';
            return 1;
        }
        waitable.push_back(removeEvents.back().Get());
    }
    std::cout << "holding the areas while this runs; end with Ctrl+C or 'qrix-sim remove'" << std::endl;
    // Each area goes on its own remove, as a POSIX area does; the last one ends the program.
    while (!stop.load() && !areas.empty()) {
        const DWORD woken =
            ::WaitForMultipleObjects(static_cast<DWORD>(waitable.size()), waitable.data(), FALSE, 50);
        if (woken >= WAIT_OBJECT_0 + waitable.size())
            continue;
        // The area goes before its event: once the event's name is gone, `remove` knows it is released.
        const std::size_t index = woken - WAIT_OBJECT_0;
        areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(index));
        removeEvents.erase(removeEvents.begin() + static_cast<std::ptrdiff_t>(index));
        waitable.erase(waitable.begin() + static_cast<std::ptrdiff_t>(index));
    }
    areas.clear();
    removeEvents.clear();
    return 0;
}

bool SharedArea::Remove(const std::string& name, bool& existed, std::string& error) {
    existed = false;
    if (UniqueHandle event = OpenRemoveEvent(name); event.IsValid()) {
        existed = true;
        ::SetEvent(event.Get());
    }
    if (existed) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (OpenRemoveEvent(name).IsValid()) {
            if (std::chrono::steady_clock::now() > deadline) {
                error = name + ": the 'qrix-sim create' holding it did not end";
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, WideText(MappingName(name)).c_str()));
    if (!mapping.IsValid())
        return true;
    error = name + ": held by a program other than 'qrix-sim create'; it goes when the last program using it "
                   "ends";
    return false;
}
