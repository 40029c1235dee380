#include "pages/picture_win.h"

#include <wincodec.h>

#include "base/com_win.h"
#include "pages/page_list.h"

namespace {

// The decoder of the few formats pages come in, known by their first bytes as the packer knows
// them: asking the imaging factory to find one reads the registration of every codec it has,
// which for the first page of a book costs more than decoding it. Anything else, or a decoder
// that refuses the stream, is left to the factory's search.
ComPtr<IWICBitmapDecoder> DecoderBySignature(const std::vector<uint8_t>& bytes, IStream* stream) {
    const std::string extension =
        ImageExtension(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    const CLSID* decoder = extension == "png"   ? &CLSID_WICPngDecoder
                           : extension == "jpg" ? &CLSID_WICJpegDecoder
                           : extension == "gif" ? &CLSID_WICGifDecoder
                           : extension == "bmp" ? &CLSID_WICBmpDecoder
                           : extension == "tif" ? &CLSID_WICTiffDecoder
                                                : nullptr;
    if (!decoder)
        return nullptr;
    ComPtr<IWICBitmapDecoder> result;
    if (SUCCEEDED(
            CoCreateInstance(*decoder, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&result))) &&
        SUCCEEDED(result->Initialize(stream, WICDecodeMetadataCacheOnDemand)))
        return result;
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return nullptr;
}

} // namespace

std::unique_ptr<TPagePicture> DecodePicture(const std::vector<uint8_t>& bytes, HRESULT& problem) {
    problem = S_OK;
    const auto fail = [&](HRESULT code) -> std::unique_ptr<TPagePicture> {
        problem = FAILED(code) ? code : E_FAIL;
        return nullptr;
    };
    if (bytes.empty())
        return fail(E_INVALIDARG);
    ComPtr<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&factory));
    if (FAILED(hr))
        return fail(hr);
    ComPtr<IWICStream> stream;
    if (FAILED(hr = factory->CreateStream(&stream)) ||
        FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()),
                                                 static_cast<DWORD>(bytes.size()))))
        return fail(hr);
    ComPtr<IWICBitmapDecoder> decoder = DecoderBySignature(bytes, stream.Get());
    ComPtr<IWICBitmapFrameDecode> frame;
    if ((!decoder &&
         FAILED(hr = factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                      WICDecodeMetadataCacheOnDemand, &decoder))) ||
        FAILED(hr = decoder->GetFrame(0, &frame)))
        return fail(hr);
    UINT width = 0, height = 0;
    if (FAILED(hr = frame->GetSize(&width, &height)))
        return fail(hr);
    if (width == 0 || height == 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        UINT64{width} * height > kMaxPicturePixels)
        return fail(WINCODEC_ERR_IMAGESIZEOUTOFRANGE);
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(hr = factory->CreateFormatConverter(&converter)) ||
        FAILED(hr = converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA,
                                          WICBitmapDitherTypeNone, nullptr, 0.0,
                                          WICBitmapPaletteTypeCustom)))
        return fail(hr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height); // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    auto picture = std::make_unique<TPagePicture>();
    picture->bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!picture->bitmap || !bits)
        return fail(E_OUTOFMEMORY);
    const UINT stride = width * 4;
    if (FAILED(
            hr = converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits))))
        return fail(hr);
    picture->bits = static_cast<uint32_t*>(bits);
    picture->width = static_cast<int>(width);
    picture->height = static_cast<int>(height);
    return picture;
}

void DrawPictureScaled(HDC dc, const TPagePicture& picture, const RECT& area) {
    const TRect fit =
        FitRect(picture.width, picture.height, {area.left, area.top, area.right, area.bottom});
    if (RectIsEmpty(fit))
        return;
    const TMemoryDc source(CreateCompatibleDC(dc));
    if (!source)
        return;
    const TSelectedObject selected(source.Get(), picture.bitmap.Get());
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(dc, fit.left, fit.top, RectWidth(fit), RectHeight(fit), source.Get(), 0, 0,
               picture.width, picture.height, blend);
}
