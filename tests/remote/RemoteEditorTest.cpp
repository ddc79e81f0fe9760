// The engine's editor, drawn by the engine host, is a child of the host's
// window across the two processes, and comes back after a restart. Needs
// windows: runs in the null-display prefix (the remote_editor entry).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../shell/ShellTestSupport.h"
#include "RemoteTestSupport.h"

using namespace remote_test;
using velmorant_test::RecordingHost;
using velmorant_test::StagedEffect;

namespace {

struct Child {
    HWND window;
    DWORD process;
    RECT rect;
};

BOOL CALLBACK collect(HWND window, LPARAM found)
{
    Child child{window, 0, {}};
    GetWindowThreadProcessId(window, &child.process);
    GetWindowRect(window, &child.rect);
    reinterpret_cast<std::vector<Child>*>(found)->push_back(child);
    return TRUE;
}

std::vector<Child> childrenOf(HWND parent)
{
    std::vector<Child> found;
    EnumChildWindows(parent, &collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Handles what the host's window is sent until the children settle.
void pump()
{
    for (int round = 0; round < 20; ++round) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        Sleep(5);
    }
}

TEST(RemoteEditor, TheEnginesWindowIsAChildOfTheHostsWindowAndReturnsAfterARestart)
{
    EngineProcessSetting::erase(HKEY_CURRENT_USER);
    EngineProcessSetting setting(1);
    RemoteStage stage("RemoteTestEngine.dll");
    ASSERT_TRUE(stage.ready());
    shell_test::MessageBoxRecorder boxes(stage.module(), false);
    RecordingHost host;
    StagedEffect effect(stage.instantiate(host.callback()));
    ASSERT_TRUE(effect);
    HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(parent, nullptr);

    ERect* rect = nullptr;
    EXPECT_EQ(effect.dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, 200);
    EXPECT_EQ(rect->bottom, 100);

    EXPECT_EQ(effect.dispatch(effEditOpen, 0, 0, parent), 1);
    pump();
    std::vector<DWORD> hosts = engineHostsOf();
    ASSERT_EQ(hosts.size(), 1u);
    std::vector<Child> children = childrenOf(parent);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].process, hosts[0]);
    EXPECT_EQ(children[0].rect.right - children[0].rect.left, 200);

    // Killed with its window open, the engine host takes its window along;
    // the restart opens the editor in the host's window again.
    ASSERT_TRUE(killProcess(hosts[0]));
    pump();
    EXPECT_TRUE(childrenOf(parent).empty());
    effect.dispatch(effEditIdle);
    pump();
    hosts = engineHostsOf();
    ASSERT_EQ(hosts.size(), 1u);
    children = childrenOf(parent);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0].process, hosts[0]);
    EXPECT_EQ(boxes.messages().size(), 1u);

    effect.dispatch(effEditClose);
    pump();
    EXPECT_TRUE(childrenOf(parent).empty());
    DestroyWindow(parent);
}

}  // namespace
