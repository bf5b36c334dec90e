#include "platform/win32/ResourceImages.h"

#include "platform/win32/ComPtr.h"

// The GUIDs of the imaging component are defined here, not taken from an import library.
#include <initguid.h>
#include <wincodec.h>

namespace {

HINSTANCE ProgramModule() { return GetModuleHandleW(nullptr); }

// A 24-bit, top-down bitmap whose pixels can be written directly.
UniqueBitmap NewBitmap(SIZE size, void*& bits)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size.cx;
    info.bmiHeader.biHeight = -size.cy;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    bits = nullptr;
    return UniqueBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
}

UniqueBitmap DecodePng(const BYTE* data, DWORD length, SIZE& size)
{
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                PutVoid(factory))) ||
        FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(data), length)) ||
        FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.Put())) ||
        FAILED(decoder->GetFrame(0, frame.Put())) || FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->GetSize(&width, &height)))
        return {};
    size = {static_cast<LONG>(width), static_cast<LONG>(height)};
    void* bits = nullptr;
    UniqueBitmap bitmap = NewBitmap(size, bits);
    const UINT stride = (width * 3 + 3) / 4 * 4;
    if (!bitmap || FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits))))
        return {};
    return bitmap;
}

UniqueBitmap Scaled(HBITMAP source, SIZE from, SIZE to)
{
    void* bits = nullptr;
    UniqueBitmap target = NewBitmap(to, bits);
    if (!target) return {};
    const BitmapDc sourceDc(source);
    const BitmapDc targetDc(target.Get());
    SetStretchBltMode(targetDc.Get(), HALFTONE);
    SetBrushOrgEx(targetDc.Get(), 0, 0, nullptr);
    StretchBlt(targetDc.Get(), 0, 0, to.cx, to.cy, sourceDc.Get(), 0, 0, from.cx, from.cy, SRCCOPY);
    return target;
}

}  // namespace

UniqueIcon IconResource(int id, int size)
{
    return UniqueIcon(
        static_cast<HICON>(LoadImageW(ProgramModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

UniqueBitmap PngResource(int id, SIZE size)
{
    // Resource memory belongs to the module and needs no freeing.
    const HRSRC found = FindResourceW(ProgramModule(), MAKEINTRESOURCEW(id), RT_RCDATA);
    const HGLOBAL loaded = found ? LoadResource(ProgramModule(), found) : nullptr;
    const auto* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data) return {};
    SIZE drawn{};
    UniqueBitmap image = DecodePng(data, SizeofResource(ProgramModule(), found), drawn);
    if (!image || (drawn.cx == size.cx && drawn.cy == size.cy)) return image;
    return Scaled(image.Get(), drawn, size);
}
