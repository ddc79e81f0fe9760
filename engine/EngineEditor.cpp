#include "EngineEditor.h"

#include <windows.h>

#include <cstdio>

#include "SynthEngine.h"

namespace engine {

namespace {

const char* const className = "VelmorantEngineEditor";
constexpr UINT_PTR refreshTimer = 1;

HINSTANCE engineModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&engineModule), &module);
    return module;
}

int32_t signedLow(intptr_t value)
{
    return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
}

int32_t signedHigh(intptr_t value)
{
    return static_cast<int16_t>(static_cast<uint16_t>((value >> 16) & 0xFFFF));
}

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    EngineEditor* editor = reinterpret_cast<EngineEditor*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (editor != nullptr && message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        editor->windowDestroyed();
    } else if (editor != nullptr && editor->window() == window) {
        return editor->handleMessage(message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool EngineEditor::open(void* parentWindow)
{
    close();
    HWND parent = static_cast<HWND>(parentWindow);
    if (parent == nullptr || !IsWindow(parent)) {
        return false;
    }
    HINSTANCE module = engineModule();
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = &editorWindowProc;
    windowClass.hInstance = module;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = nullptr;
    windowClass.lpszClassName = className;
    if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }
    HWND window = CreateWindowExA(0, className, "Velmorant", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width,
                                  height, parent, nullptr, module, this);
    if (window == nullptr) {
        UnregisterClassA(className, module);
        return false;
    }
    handle = window;
    for (int32_t index = 0; index < ParameterCount; ++index) {
        shown[index] = engine.getParameter(index);
    }
    SetTimer(window, refreshTimer, 100, nullptr);
    return true;
}

void EngineEditor::close()
{
    HWND window = static_cast<HWND>(handle);
    if (window != nullptr && IsWindow(window)) {
        DestroyWindow(window);  // WM_DESTROY clears `handle`
    }
    handle = nullptr;
    dragRow = -1;
    // Fails harmlessly while another instance's window still uses the class;
    // the last one to close takes it away before the module can be unloaded.
    UnregisterClassA(className, engineModule());
}

void EngineEditor::windowDestroyed()
{
    handle = nullptr;
    dragRow = -1;
}

int32_t EngineEditor::rowAt(int32_t y) const
{
    if (y < titleHeight) {
        return -1;
    }
    const int32_t row = (y - titleHeight) / rowHeight;
    return row < ParameterCount ? row : -1;
}

void EngineEditor::dragTo(int32_t x)
{
    if (dragRow < 0) {
        return;
    }
    const float value = static_cast<float>(x - barLeft) / static_cast<float>(barWidth);
    engine.setParameterFromEditor(dragRow, value);
    InvalidateRect(static_cast<HWND>(handle), nullptr, FALSE);
}

intptr_t EngineEditor::handleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    HWND window = static_cast<HWND>(handle);
    switch (message) {
    case WM_PAINT:
        paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        const int32_t x = signedLow(lParam);
        const int32_t row = rowAt(signedHigh(lParam));
        if (row >= 0 && x >= barLeft - 4 && x <= barLeft + barWidth + 4) {
            dragRow = row;
            SetCapture(window);
            dragTo(x);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (dragRow >= 0 && (wParam & MK_LBUTTON) != 0) {
            dragTo(signedLow(lParam));
        }
        return 0;
    case WM_LBUTTONUP:
        if (dragRow >= 0) {
            dragRow = -1;
            ReleaseCapture();
        }
        return 0;
    case WM_CAPTURECHANGED:
        dragRow = -1;
        return 0;
    case WM_LBUTTONDBLCLK: {
        const int32_t row = rowAt(signedHigh(lParam));
        if (row >= 0) {
            engine.setParameterFromEditor(row, parameterInfo(row).defaultValue);
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    }
    case WM_TIMER:
        // The host or a loaded state may have changed values behind the window.
        for (int32_t index = 0; index < ParameterCount; ++index) {
            if (engine.getParameter(index) != shown[index]) {
                InvalidateRect(window, nullptr, FALSE);
                break;
            }
        }
        return 0;
    case WM_DESTROY:
        KillTimer(window, refreshTimer);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void EngineEditor::paint()
{
    HWND window = static_cast<HWND>(handle);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (dc == nullptr) {
        return;
    }
    RECT client = {0, 0, width, height};
    HBRUSH background = CreateSolidBrush(RGB(36, 40, 48));
    HBRUSH track = CreateSolidBrush(RGB(60, 66, 78));
    HBRUSH fill = CreateSolidBrush(RGB(232, 148, 62));
    FillRect(dc, &client, background);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(240, 240, 240));
    TextOutA(dc, 12, 10, "Velmorant", 9);
    SetTextColor(dc, RGB(200, 204, 212));
    for (int32_t index = 0; index < ParameterCount; ++index) {
        const float value = engine.getParameter(index);
        shown[index] = value;
        const int32_t top = titleHeight + index * rowHeight;
        char name[9];
        char display[9];
        char label[9];
        engine.getParameterName(index, name, sizeof name);
        engine.getParameterDisplay(index, display, sizeof display);
        engine.getParameterLabel(index, label, sizeof label);
        TextOutA(dc, 12, top + 4, name, lstrlenA(name));
        RECT bar = {barLeft, top + 6, barLeft + barWidth, top + rowHeight - 6};
        FillRect(dc, &bar, track);
        bar.right = barLeft + static_cast<LONG>(value * static_cast<float>(barWidth) + 0.5f);
        FillRect(dc, &bar, fill);
        char text[20];
        std::snprintf(text, sizeof text, "%s %s", display, label);
        TextOutA(dc, barLeft + barWidth + 10, top + 4, text, lstrlenA(text));
    }
    DeleteObject(fill);
    DeleteObject(track);
    DeleteObject(background);
    EndPaint(window, &ps);
}

}  // namespace engine
