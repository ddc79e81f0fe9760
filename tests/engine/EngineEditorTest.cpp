#include "EngineTestSupport.h"

namespace {

struct CallbackLog {
    std::vector<int32_t> indices;
    std::vector<int32_t> requests;
};

void __cdecl recordCallback(int32_t index, int32_t request, void* context)
{
    CallbackLog* log = static_cast<CallbackLog*>(context);
    log->indices.push_back(index);
    log->requests.push_back(request);
}

// A top-level frame standing in for the host's editor window.
class HostFrame {
public:
    HostFrame()
    {
        window = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 600, 500, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    }
    ~HostFrame()
    {
        if (window != nullptr && IsWindow(window)) {
            DestroyWindow(window);
        }
    }
    HWND window;
};

LPARAM point(int x, int y)
{
    return MAKELPARAM(x, y);
}

const char* const editorClass = "VelmorantEngineEditor";

struct ClassCount {
    const char* name;
    int count;
};

BOOL CALLBACK countIfOfClass(HWND window, LPARAM param)
{
    ClassCount* windows = reinterpret_cast<ClassCount*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) {
        return TRUE;
    }
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, windows->name) == 0) {
        ++windows->count;
    }
    return TRUE;
}

// This process's top-level and message-only windows of a class, whichever
// thread made them.
int windowsOfClass(const char* name)
{
    ClassCount windows = {name, 0};
    EnumWindows(&countIfOfClass, reinterpret_cast<LPARAM>(&windows));
    for (HWND window = nullptr; (window = FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;) {
        countIfOfClass(window, reinterpret_cast<LPARAM>(&windows));
    }
    return windows.count;
}

TEST(EngineEditor, WithoutAUsableParentNothingIsCreated)
{
    EngineUnderTest synth;
    int32_t width = 0;
    int32_t height = 0;
    synth.engine()->getEditorSize(&width, &height);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    synth.engine()->getEditorSize(nullptr, nullptr);
    synth.engine()->openEditor(nullptr);
    EXPECT_EQ(windowsOfClass(editorClass), 0);
    synth.engine()->openEditor(reinterpret_cast<void*>(static_cast<intptr_t>(0x1234)));  // not a window
    EXPECT_EQ(windowsOfClass(editorClass), 0);
    synth.engine()->closeEditor();
    synth.engine()->closeEditor();
    EXPECT_EQ(windowsOfClass(editorClass), 0);

    // The count sees a window where one is made: the host frame is one more.
    const int statics = windowsOfClass("Static");
    HostFrame frame;
    if (frame.window == nullptr) {
        GTEST_SKIP() << "no window station to create windows in";
    }
    EXPECT_EQ(windowsOfClass("Static"), statics + 1);
}

TEST(EngineEditor, OpensAChildOfTheHostWindowAndReportsDragsThroughTheCallback)
{
    HostFrame frame;
    if (frame.window == nullptr) {
        GTEST_SKIP() << "no window station to create windows in";
    }
    EngineUnderTest synth;
    CallbackLog log;
    synth.engine()->callback = &recordCallback;
    synth.engine()->context = &log;
    synth.engine()->openEditor(frame.window);
    HWND child = GetWindow(frame.window, GW_CHILD);
    ASSERT_NE(child, nullptr);
    int32_t width = 0;
    int32_t height = 0;
    synth.engine()->getEditorSize(&width, &height);
    RECT area;
    GetClientRect(child, &area);
    EXPECT_EQ(area.right, width);
    EXPECT_EQ(area.bottom, height);

    // Row 2 (Cutoff): the bar spans x 96..316 and rows start at y 36, 24 high.
    const int y = 36 + 2 * 24 + 12;
    SendMessageA(child, WM_LBUTTONDOWN, MK_LBUTTON, point(96 + 55, y));
    SendMessageA(child, WM_MOUSEMOVE, MK_LBUTTON, point(96 + 165, y));
    SendMessageA(child, WM_LBUTTONUP, 0, point(96 + 165, y));
    SendMessageA(child, WM_MOUSEMOVE, 0, point(96 + 200, y));  // no button: no change
    ASSERT_EQ(log.indices, (std::vector<int32_t>{2, 2}));
    EXPECT_EQ(log.requests, (std::vector<int32_t>{1, 1}));
    EXPECT_FLOAT_EQ(synth.engine()->getParameter(2), 0.75f);

    synth.engine()->closeEditor();
    EXPECT_EQ(GetWindow(frame.window, GW_CHILD), nullptr);
}

TEST(EngineEditor, ClosingAfterTheHostDestroyedItsWindowIsHarmless)
{
    EngineUnderTest synth;
    {
        HostFrame frame;
        if (frame.window == nullptr) {
            GTEST_SKIP() << "no window station to create windows in";
        }
        synth.engine()->openEditor(frame.window);
    }
    synth.engine()->closeEditor();
    EXPECT_EQ(windowsOfClass(editorClass), 0);
    HostFrame again;
    synth.engine()->openEditor(again.window);  // the class registers afresh
    EXPECT_NE(GetWindow(again.window, GW_CHILD), nullptr);
}

}  // namespace
