#include "EditorShot.h"

#include <windows.h>

namespace host {

namespace {

const char* const frameClass = "VelmorantHostEditorShot";
constexpr int32_t maxSide = 8192;
// Rounds of messages and effEditIdle before the copy: the editor paints on
// the first, and the rest let timers and late invalidations come through.
constexpr int idleRounds = 6;

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

void pumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The top-level window the editor is opened in, exactly its size: a popup
// has no frame, so its client area is the whole window.
class ShotFrame {
public:
    ShotFrame(int32_t width, int32_t height)
    {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = &frameProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        windowClass.lpszClassName = frameClass;
        registered = RegisterClassExA(&windowClass) != 0;
        if (registered) {
            window = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, frameClass, "velmorant-host editor", WS_POPUP, 0,
                                     0, width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
        }
    }
    ~ShotFrame()
    {
        if (window != nullptr && IsWindow(window)) {
            DestroyWindow(window);
        }
        if (registered) {
            UnregisterClassA(frameClass, GetModuleHandleA(nullptr));
        }
    }
    ShotFrame(const ShotFrame&) = delete;
    ShotFrame& operator=(const ShotFrame&) = delete;

    HWND window = nullptr;

private:
    bool registered = false;
};

// The window's pixels through its own device context into a DIB section.
// Wine's null display driver keeps a window's pixels in memory it can copy
// from, but PrintWindow there renders the frame without its children.
bool copyPixels(HWND window, EditorPicture& picture)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC source = GetDC(window);
    if (source == nullptr) {
        return false;
    }
    HDC memory = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP bitmap = memory != nullptr ? CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool copied = false;
    if (bitmap != nullptr && bits != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        copied = BitBlt(memory, 0, 0, picture.width, picture.height, source, 0, 0, SRCCOPY) != FALSE;
        GdiFlush();
        if (copied) {
            const uint8_t* pixel = static_cast<const uint8_t*>(bits);  // blue, green, red, unused
            const size_t count = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
            picture.rgb.resize(count * 3);
            for (size_t i = 0; i < count; ++i) {
                picture.rgb[3 * i] = pixel[4 * i + 2];
                picture.rgb[3 * i + 1] = pixel[4 * i + 1];
                picture.rgb[3 * i + 2] = pixel[4 * i];
            }
        }
        SelectObject(memory, previous);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
    ReleaseDC(window, source);
    return copied;
}

}  // namespace

bool captureEditor(PluginInstance& plugin, EditorPicture& picture, std::string& error)
{
    picture = EditorPicture();
    if ((plugin.record().flags & effFlagsHasEditor) == 0) {
        error = "the plug-in has no editor to picture";
        return false;
    }
    ERect* rectangle = nullptr;
    plugin.dispatch(effEditGetRect, 0, 0, &rectangle);
    if (rectangle == nullptr || IsBadReadPtr(rectangle, sizeof *rectangle)) {
        error = "the plug-in answered the editor size request without a rectangle";
        return false;
    }
    picture.width = rectangle->right - rectangle->left;
    picture.height = rectangle->bottom - rectangle->top;
    if (picture.width <= 0 || picture.height <= 0 || picture.width > maxSide || picture.height > maxSide) {
        error = "the plug-in reports an editor of " + std::to_string(picture.width) + " x " +
                std::to_string(picture.height) + " pixels";
        return false;
    }
    ShotFrame frame(picture.width, picture.height);
    if (frame.window == nullptr) {
        error = "cannot make a window for the editor (is there a display?)";
        return false;
    }
    ShowWindow(frame.window, SW_SHOWNOACTIVATE);
    plugin.dispatch(effEditOpen, 0, 0, frame.window);
    if (GetWindow(frame.window, GW_CHILD) == nullptr) {
        plugin.dispatch(effEditClose);
        error = "the plug-in opened no window in the editor frame";
        return false;
    }
    RedrawWindow(frame.window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    for (int round = 0; round < idleRounds; ++round) {
        pumpMessages();
        plugin.dispatch(effEditIdle);
        Sleep(15);
    }
    pumpMessages();
    const bool copied = copyPixels(frame.window, picture);
    plugin.dispatch(effEditClose);
    pumpMessages();
    if (!copied) {
        error = "cannot copy the editor's pixels";
        return false;
    }
    return true;
}

}  // namespace host
