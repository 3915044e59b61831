// Test tool for the Windows program under Wine: finds the simulator's window by its class and
// title and prints what Windows knows of it, one "key values" line each. With --close it then
// asks the window to close, as its close box would. Exits 1 when no window appears in time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    double waitSeconds = 30;
    bool close = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--close") == 0) {
            close = true;
        } else if (std::strcmp(argv[i], "--wait") == 0 && i + 1 < argc) {
            waitSeconds = std::atof(argv[++i]);
        }
    }

    HWND window = nullptr;
    const ULONGLONG start = GetTickCount64();
    while ((window = FindWindowA("CodeBlocksWindowsApp", "DRK-20VT5P")) == nullptr &&
           GetTickCount64() - start < static_cast<ULONGLONG>(waitSeconds * 1000))
        Sleep(100);
    if (window == nullptr) {
        std::puts("found 0");
        return 1;
    }

    char className[64] = {}, title[64] = {};
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, title, sizeof title);
    RECT desktop{}, outer{}, client{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
    const auto has = [style](LONG_PTR bits) { return (style & bits) == bits ? 1 : 0; };

    std::printf("found 1\n");
    std::printf("class %s\n", className);
    std::printf("title %s\n", title);
    std::printf("desktop %ld %ld %ld %ld\n", desktop.left, desktop.top, desktop.right,
                desktop.bottom);
    std::printf("window %ld %ld %ld %ld\n", outer.left, outer.top, outer.right, outer.bottom);
    std::printf("client %ld %ld %ld %ld\n", origin.x, origin.y, client.right, client.bottom);
    std::printf("style border %d sysmenu %d caption %d sizing %d minimize %d maximize %d\n",
                has(WS_BORDER), has(WS_SYSMENU), has(WS_CAPTION), has(WS_THICKFRAME),
                has(WS_MINIMIZEBOX), has(WS_MAXIMIZEBOX));
    std::printf("classstyle %lu\n",
                static_cast<unsigned long>(GetClassLongPtrA(window, GCL_STYLE)));
    std::fflush(stdout);
    if (close) PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
}
