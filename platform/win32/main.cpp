// The Windows simulator: the instrument's front panel in a fixed window centred on the desktop.
//
// The window's behaviour is the core's shell logic: creation powers the instrument on,
// initialises the LCD view and arms the 100 ms timer; every timer message runs the host tick,
// redraws and invalidates the window, whose paint redraws once more; either mouse button down
// is the button hit test, either button up releases MODE; keys, mouse movement and sizing do
// nothing and the background is never erased. The firmware is a fiber of this thread.
//
// Resources: bitmap 100 is the panel picture (its size is the window's outer size, and its
// pixels are what the renderer composes every frame from), raw data 101 the speech memory
// image. Sound: sndPlaySoundA with the WAV image in memory, synchronous.
#include <windows.h>
// windows.h first: the multimedia header needs its types.
#include <mmsystem.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "simulator.h"

HWND MainWindow = nullptr;
HBITMAP PanelBitmap = nullptr;

namespace {

// The size of PanelBitmap; also the window's outer size.
int32_t PanelWidth = 0;
int32_t PanelHeight = 0;

const char ClassName[] = "CodeBlocksWindowsApp";
const char Title[] = "DRK-20VT5P";
constexpr int PanelResource = 100;
constexpr int VoiceResource = 101;
constexpr UINT_PTR TimerId = 1;
constexpr UINT TimerPeriodMs = 100;

// Rows of a 24-bit device-independent bitmap are padded to four bytes.
constexpr int32_t DibStride(int32_t width) {
    return (width * 3 + 3) / 4 * 4;
}
constexpr uint32_t BmpHeaderSize = 54;  // file header 14 + information header 40

void PutLe(uint8_t* p, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

BITMAPINFO TopDownInfo(int32_t width, int32_t height, WORD bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: rows from the top down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bits;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// Hands the pixels of PanelBitmap to the core as the panel picture, read back as a 24-bit
// BMP file image (top-down rows), the form the core decodes. False when there is no bitmap
// or its pixels cannot be read.
bool UsePanelBitmap() {
    if (PanelBitmap == nullptr || PanelWidth <= 0 || PanelHeight <= 0) return false;
    const uint32_t pixelBytes = static_cast<uint32_t>(DibStride(PanelWidth) * PanelHeight);
    // Held for the whole run: the core keeps the picture it is given.
    static std::vector<uint8_t> image;
    image.assign(BmpHeaderSize + pixelBytes, 0);
    BITMAPINFO info = TopDownInfo(PanelWidth, PanelHeight, 24);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, PanelBitmap, 0, static_cast<UINT>(PanelHeight),
                               image.data() + BmpHeaderSize, &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != PanelHeight) return false;

    uint8_t* h = image.data();
    h[0] = 'B';
    h[1] = 'M';
    PutLe(h + 2, BmpHeaderSize + pixelBytes, 4);
    PutLe(h + 6, 0, 4);
    PutLe(h + 10, BmpHeaderSize, 4);
    PutLe(h + 14, 40, 4);
    PutLe(h + 18, static_cast<uint32_t>(PanelWidth), 4);
    PutLe(h + 22, static_cast<uint32_t>(-PanelHeight), 4);
    PutLe(h + 26, 1, 2);
    PutLe(h + 28, 24, 2);
    std::memset(h + 30, 0, 24);  // no compression, sizes and palette left to their defaults
    return SimSetPanelPicture(image.data(), BmpHeaderSize + pixelBytes);
}

// Step 1 of the start-up: bitmap resource 100 and its size.
void LoadPanel(HINSTANCE instance) {
    PanelBitmap = LoadBitmapA(instance, MAKEINTRESOURCEA(PanelResource));
    BITMAP header{};
    if (PanelBitmap != nullptr && GetObjectA(PanelBitmap, sizeof header, &header) != 0) {
        PanelWidth = header.bmWidth;
        PanelHeight = header.bmHeight;
    }
    // Without a usable resource the face is plain light grey (the program carries each
    // resource once: here, as a resource).
    UsePanelBitmap();
    PanelWidth = SimFrameWidth();
    PanelHeight = SimFrameHeight();
}

// Step 3: raw data resource 101, held for the whole run.
void LoadVoiceImage(HINSTANCE instance) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(VoiceResource), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return;  // no image: the instrument is silent
    SimSetVoiceImage(static_cast<const uint8_t*>(data), SizeofResource(instance, found));
}

// The sound service: plays the in-memory WAV image and returns when it has been heard.
void WindowsSoundService(const uint8_t* wav, uint32_t) {
    sndPlaySoundA(reinterpret_cast<LPCSTR>(wav), SND_MEMORY | SND_NODEFAULT);
}

// Composes the panel and puts the finished frame into the window in one operation.
void PutFrame(HDC dc) {
    const uint32_t* frame = SimFrame();  // 32-bit pixels in the bitmap's own byte order
    const int32_t width = SimFrameWidth(), height = SimFrameHeight();
    const BITMAPINFO info = TopDownInfo(width, height, 32);
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), frame, &info, DIB_RGB_COLORS);
}

void Redraw() {
    HDC dc = GetDC(MainWindow);
    PutFrame(dc);
    ReleaseDC(MainWindow, dc);
}

}  // namespace

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    MainWindow = window;
    switch (message) {
        case WM_CREATE:
            SimStart();
            SetTimer(window, TimerId, TimerPeriodMs, nullptr);
            return 0;
        case WM_DESTROY:
            KillTimer(window, TimerId);
            PostQuitMessage(0);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            PutFrame(dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_TIMER:
            SimTick();
            Redraw();
            InvalidateRect(window, nullptr, TRUE);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            SimMouseDown(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            SimMouseUp();
            return 0;
        case WM_SIZE:
        case WM_KEYDOWN:
        case WM_CHAR:
        case WM_MOUSEMOVE:
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    LoadPanel(instance);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BACKGROUND));
    windowClass.lpszClassName = ClassName;
    if (RegisterClassExA(&windowClass) == 0) {
        // Without its window the program cannot run: say so and fail.
        MessageBoxA(nullptr, "The window class could not be registered.", Title,
                    MB_OK | MB_ICONERROR);
        return 1;
    }

    LoadVoiceImage(instance);
    SimSetSoundService(WindowsSoundService);

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    const int x = desktop.left + (desktop.right - desktop.left) / 2 - PanelWidth / 2;
    const int y = desktop.top + (desktop.bottom - desktop.top) / 2 - PanelHeight / 2;

    HWND window = CreateWindowExA(0, ClassName, Title, WS_BORDER | WS_SYSMENU, x, y, PanelWidth,
                                  PanelHeight, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);

    MSG message{};
    // GetMessageA gives -1 on an error; that ends the loop too instead of spinning.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
