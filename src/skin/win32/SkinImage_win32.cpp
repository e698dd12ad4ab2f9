#include "skin/SkinImage.h"
#include "skin/win32/Win32Skin.h"

#include <shlwapi.h>

#include <cstring>

namespace nb {
namespace {

std::string FormatOf(const std::string& bytes) {
    if (bytes.compare(0, 4, "\x89PNG") == 0) return "png";
    if (bytes.compare(0, 3, "\xFF\xD8\xFF") == 0) return "jpeg";
    if (bytes.compare(0, 2, "BM") == 0) return "bmp";
    return {};
}

bool ResourceBytes(int id, LPCWSTR type, std::string& bytes) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const DWORD size = SizeofResource(nullptr, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return false;
    bytes.assign(static_cast<const char*>(data), size);
    return true;
}

}  // namespace

bool ReadSkinResource(int id, SkinResourceType type, std::string& bytes) {
    if (type == SkinResourceType::Png) return ResourceBytes(id, MAKEINTRESOURCEW(10) /* RT_RCDATA */, bytes);
    // A bitmap resource is the file without its file header: put one back so that the
    // bytes are a BMP file like the one the resource was made from.
    std::string dib;
    if (!ResourceBytes(id, MAKEINTRESOURCEW(2) /* RT_BITMAP */, dib) || dib.size() < sizeof(BITMAPINFOHEADER))
        return false;
    BITMAPINFOHEADER info;
    std::memcpy(&info, dib.data(), sizeof info);
    DWORD colours = info.biClrUsed;
    if (colours == 0 && info.biBitCount <= 8) colours = 1u << info.biBitCount;
    DWORD masks = (info.biCompression == BI_BITFIELDS && info.biSize == sizeof(BITMAPINFOHEADER)) ? 12 : 0;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfSize = static_cast<DWORD>(sizeof file + dib.size());
    file.bfOffBits = static_cast<DWORD>(sizeof file + info.biSize + masks + colours * 4);
    bytes.assign(reinterpret_cast<const char*>(&file), sizeof file);
    bytes += dib;
    return true;
}

SkinImage DecodeSkinImage(const std::string& bytes) {
    SkinImage empty;
    empty.SetLastStatus(SkinStatus::UnknownImageFormat);
    const std::string format = FormatOf(bytes);
    if (format.empty()) return empty;
    IStream* stream = SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<UINT>(bytes.size()));
    if (!stream) return empty;
    SkinImage result = empty;
    {
        Gdiplus::Bitmap bitmap(stream);
        const int width = static_cast<int>(bitmap.GetWidth());
        const int height = static_cast<int>(bitmap.GetHeight());
        if (bitmap.GetLastStatus() == Gdiplus::Ok && width > 0 && height > 0) {
            std::vector<std::uint32_t> pixels(static_cast<size_t>(width) * height);
            Gdiplus::BitmapData data{};
            data.Width = static_cast<UINT>(width);
            data.Height = static_cast<UINT>(height);
            data.Stride = width * 4;
            data.PixelFormat = PixelFormat32bppPARGB;
            data.Scan0 = pixels.data();
            Gdiplus::Rect rect(0, 0, width, height);
            // Decoded straight into the picture's words, premultiplied as the toolkit keeps them.
            if (bitmap.LockBits(&rect, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                                PixelFormat32bppPARGB, &data) == Gdiplus::Ok) {
                bitmap.UnlockBits(&data);
                result = SkinImage(width, height, std::move(pixels), format);
            }
        }
    }
    stream->Release();
    return result;
}

}  // namespace nb
