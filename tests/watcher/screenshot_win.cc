#include <windows.h>

#include <vector>

#include "screenshot.h"

namespace brxwatch {

namespace {

struct ScreenDc {
  HDC dc = GetDC(nullptr);
  ~ScreenDc() {
    if (dc) ReleaseDC(nullptr, dc);
  }
};
struct MemoryDc {
  HDC dc;
  ~MemoryDc() {
    if (dc) DeleteDC(dc);
  }
};
struct Bitmap {
  HBITMAP bitmap;
  ~Bitmap() {
    if (bitmap) DeleteObject(bitmap);
  }
};
struct File {
  HANDLE h;
  ~File() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

bool SaveScreenshot(const std::wstring& bmp_path) {
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  if (width <= 0 || height <= 0) return false;
  ScreenDc screen;
  if (!screen.dc) return false;
  MemoryDc memory{CreateCompatibleDC(screen.dc)};
  Bitmap bitmap{CreateCompatibleBitmap(screen.dc, width, height)};
  if (!memory.dc || !bitmap.bitmap) return false;
  HGDIOBJ old = SelectObject(memory.dc, bitmap.bitmap);
  bool copied = BitBlt(memory.dc, 0, 0, width, height, screen.dc, 0, 0, SRCCOPY) != FALSE;
  SelectObject(memory.dc, old);
  if (!copied) return false;

  BITMAPINFOHEADER info = {};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up, as BMP files store it
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
  if (!GetDIBits(memory.dc, bitmap.bitmap, 0, height, pixels.data(),
                 reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)) {
    return false;
  }

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(header) + sizeof(info);
  header.bfSize = header.bfOffBits + static_cast<DWORD>(pixels.size());
  File file{CreateFileW(bmp_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.h == INVALID_HANDLE_VALUE) return false;
  return WriteAll(file.h, &header, sizeof(header)) && WriteAll(file.h, &info, sizeof(info)) &&
         WriteAll(file.h, pixels.data(), static_cast<DWORD>(pixels.size()));
}

}  // namespace brxwatch
