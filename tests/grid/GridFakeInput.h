#pragma once
// Pointer and button events made by the X server itself (XTest), so that the window system decides
// which window gets each one, as it does for a person at the desk.

#include <QPoint>

class FakeInput {
public:
    FakeInput();
    ~FakeInput();
    FakeInput(const FakeInput&) = delete;
    FakeInput& operator=(const FakeInput&) = delete;

    bool Usable() const;
    void MoveTo(QPoint global);
    void LeftButton(bool press);

private:
    void Settle();

    void* m_Library = nullptr;
    void* m_Display = nullptr;
    void* m_Motion = nullptr;
    void* m_Button = nullptr;
};
