#include "tests/grid/GridFakeInput.h"

#include <QTest>

#include <X11/Xlib.h>
#include <dlfcn.h>

namespace {

using MotionFn = int (*)(Display*, int, int, int, unsigned long);
using ButtonFn = int (*)(Display*, unsigned, Bool, unsigned long);

} // namespace

// XTest is loaded at run time: only its shared library is needed, not its headers.
FakeInput::FakeInput() : m_Library(dlopen("libXtst.so.6", RTLD_NOW)), m_Display(XOpenDisplay(nullptr)) {
    if (m_Library != nullptr) {
        m_Motion = dlsym(m_Library, "XTestFakeMotionEvent");
        m_Button = dlsym(m_Library, "XTestFakeButtonEvent");
    }
}

FakeInput::~FakeInput() {
    if (m_Display != nullptr) {
        XCloseDisplay(static_cast<Display*>(m_Display));
    }
    if (m_Library != nullptr) {
        dlclose(m_Library);
    }
}

bool FakeInput::Usable() const {
    return m_Display != nullptr && m_Motion != nullptr && m_Button != nullptr;
}

void FakeInput::MoveTo(QPoint global) {
    reinterpret_cast<MotionFn>(m_Motion)(static_cast<Display*>(m_Display), -1, global.x(), global.y(), 0);
    Settle();
}

void FakeInput::LeftButton(bool press) {
    reinterpret_cast<ButtonFn>(m_Button)(static_cast<Display*>(m_Display), 1, press ? True : False, 0);
    Settle();
}

void FakeInput::Settle() {
    XSync(static_cast<Display*>(m_Display), False);
    QTest::qWait(60);
}
