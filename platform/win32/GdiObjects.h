#pragma once
// Owners of GDI and user objects.
#include "platform/win32/UniqueHandle.h"

inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void DeleteMemoryDc(HDC dc) { DeleteDC(dc); }
inline void ReleaseScreenDc(HDC dc) { ReleaseDC(nullptr, dc); }
inline void DestroyIconHandle(HICON icon) { DestroyIcon(icon); }
inline void DestroyCursorHandle(HCURSOR cursor) { DestroyCursor(cursor); }
inline void DestroyWindowHandle(HWND window) { DestroyWindow(window); }

using UniqueBitmap = UniqueResource<HBITMAP, DeleteGdiObject>;
using UniqueBrush = UniqueResource<HBRUSH, DeleteGdiObject>;
using UniqueFont = UniqueResource<HFONT, DeleteGdiObject>;
using UniqueMemoryDc = UniqueResource<HDC, DeleteMemoryDc>;
using UniqueScreenDc = UniqueResource<HDC, ReleaseScreenDc>;
using UniqueIcon = UniqueResource<HICON, DestroyIconHandle>;
using UniqueCursor = UniqueResource<HCURSOR, DestroyCursorHandle>;
using UniqueWindow = UniqueResource<HWND, DestroyWindowHandle>;

// Keeps object selected into dc for its own lifetime, so that the object can be freed afterwards.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() { SelectObject(dc_, previous_); }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A memory DC that draws into bitmap.
class BitmapDc {
public:
    explicit BitmapDc(HBITMAP bitmap) : dc_(CreateCompatibleDC(nullptr)), bitmap_(dc_.Get(), bitmap) {}
    HDC Get() const { return dc_.Get(); }

private:
    UniqueMemoryDc dc_;
    SelectedObject bitmap_;
};

// The DC of a WM_PAINT, ended in its destructor.
class PaintDc {
public:
    explicit PaintDc(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    ~PaintDc() { EndPaint(window_, &paint_); }
    HDC Get() const { return dc_; }
    const RECT& Area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};
