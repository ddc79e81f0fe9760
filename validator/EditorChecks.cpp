// editor.*: a sane reported size, and opening into a host's window and
// closing, twice. Needs a window station; without one the check is skipped.
#include <windows.h>

#include "Checks.h"

namespace validator {

namespace {

constexpr int32_t maxEditorSide = 4096;

void size(CheckContext& context, Verdict& verdict)
{
    EngineInstance engine(context.module);
    if (!engine.created()) {
        verdict.fail("no engine object from the factory");
        return;
    }
    int32_t width = -1;
    int32_t height = -1;
    engine.getEditorSize(&width, &height);
    if (width == 0 && height == 0) {
        verdict.skip("the engine has no window of its own (0 x 0)");
        return;
    }
    if (width < 1 || width > maxEditorSide || height < 1 || height > maxEditorSide) {
        verdict.fail("getEditorSize", format("1 to %d pixels each way", maxEditorSide),
                     format("%d x %d", width, height));
    }
    int32_t widthAgain = -1;
    int32_t heightAgain = -1;
    engine.getEditorSize(&widthAgain, &heightAgain);
    if (widthAgain != width || heightAgain != height) {
        verdict.fail("getEditorSize asked again", format("%d x %d", width, height),
                     format("%d x %d", widthAgain, heightAgain));
    }
    verdict.note(format("%d x %d", width, height));
}

void pumpMessages(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    MSG message;
    do {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

void openClose(CheckContext& context, Verdict& verdict)
{
    HWND frame = CreateWindowExA(0, "STATIC", "velmorant-validate", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                 nullptr, GetModuleHandleA(nullptr), nullptr);
    if (frame == nullptr) {
        verdict.skip(format("no usable window station: a host window cannot be created (error %lu)",
                            static_cast<unsigned long>(GetLastError())));
        return;
    }
    {
        EngineInstance engine(context.module);
        if (!engine.created()) {
            verdict.fail("no engine object from the factory");
        } else {
            for (int round = 1; round <= 2; ++round) {
                engine.openEditor(frame);
                pumpMessages(100);
                if (GetWindow(frame, GW_CHILD) == nullptr) {
                    verdict.note(format("opening %d made no child window in the host's window", round));
                }
                engine.closeEditor();
                pumpMessages(50);
                if (GetWindow(frame, GW_CHILD) != nullptr) {
                    verdict.fail(format("closeEditor after opening %d", round), "no window left in the host's window",
                                 "a child window still there");
                }
            }
        }
    }
    DestroyWindow(frame);
}

}  // namespace

void addEditorChecks(std::vector<CheckDefinition>& checks)
{
    checks.push_back({"editor.size", size});
    checks.push_back({"editor.open-close", openClose});
}

}  // namespace validator
