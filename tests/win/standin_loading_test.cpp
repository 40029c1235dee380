// Movies and their files through the host's binding host; the playback movie; the demo scene.

#include <gtest/gtest.h>

#include <wincodec.h>

#include "base/handles_win.h"
#include "qel/host/shockwave_flash.h"
#include "tests/win/standin_site.h"

namespace {

class StandinLoading : public testing::Test {
protected:
    TComApartment apartment;
    TStandinServer server;
    TTestContainer container;

    void Load(int layer, const wchar_t* url) {
        ComPtr<IShockwaveFlash> flash;
        ASSERT_HRESULT_SUCCEEDED(container.object.As(&flash));
        TBstr text(url);
        ASSERT_EQ(flash->LoadMovie(layer, text.Get()), S_OK);
    }
    void Set(const wchar_t* name, const wchar_t* value) {
        ComPtr<IShockwaveFlash> flash;
        ASSERT_HRESULT_SUCCEEDED(container.object.As(&flash));
        TBstr n(name), v(value);
        ASSERT_EQ(flash->SetVariable(n.Get(), v.Get()), S_OK);
    }
    std::string Received(const wchar_t* url) {
        TBstr bytes;
        if (container.standin->GetReceived(url, bytes.Out()) != S_OK)
            return "(nothing)";
        return std::string(reinterpret_cast<const char*>(bytes.Get()),
                           SysStringByteLen(bytes.Get()));
    }
    // The URLs the stand-in asked the binding host for, in order.
    std::vector<std::string> Requests() {
        std::vector<std::string> urls;
        for (const std::string& line : StandinLog(container.standin.Get()))
            if (line.starts_with("bindhost.CreateMoniker(\""))
                urls.push_back(line.substr(24, line.find("\")") - 24));
        return urls;
    }
    void Key(WPARAM key) { Message(WM_KEYDOWN, key, 0); }
    void Click(int x, int y) { Message(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
    void Message(UINT message, WPARAM wParam, LPARAM lParam) {
        ComPtr<IOleInPlaceObjectWindowless> windowless;
        ASSERT_HRESULT_SUCCEEDED(container.object.As(&windowless));
        LRESULT result = 0;
        ASSERT_EQ(windowless->OnWindowMessage(message, wParam, lParam, &result), S_OK);
    }
    LONG Page() {
        LONG page = -1, count = 0;
        BOOL fullscreen = FALSE;
        container.standin->GetScene(&page, &count, &fullscreen);
        return page;
    }
    // The colour at the centre of the picture drawn at the in-place rectangle.
    COLORREF CentreColour() {
        const RECT& r = container.site.position;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = r.right;
        info.bmiHeader.biHeight = -r.bottom;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        const TMemoryDc dc(CreateCompatibleDC(nullptr));
        const TGdiObject bitmap(
            CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        const HGDIOBJ old = SelectObject(dc.Get(), bitmap.Get());
        ComPtr<IViewObject> view;
        container.object.As(&view);
        EXPECT_EQ(view->Draw(DVASPECT_TRANSPARENT, -1, nullptr, nullptr, nullptr, dc.Get(), nullptr,
                             nullptr, nullptr, 0),
                  S_OK);
        GdiFlush();
        const uint32_t p = static_cast<uint32_t*>(bits)[(r.bottom / 2) * r.right + r.right / 2];
        SelectObject(dc.Get(), old);
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

// A picture of one colour in a container format, made by the platform's imaging component.
std::string SolidPicture(const GUID& container, UINT width, UINT height, COLORREF colour) {
    ComPtr<IWICImagingFactory> factory;
    EXPECT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                              CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)));
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ComPtr<IWICBitmapEncoder> encoder;
    EXPECT_HRESULT_SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder));
    encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    encoder->CreateNewFrame(&frame, &options);
    frame->Initialize(options.Get());
    frame->SetSize(width, height);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    frame->SetPixelFormat(&format);
    EXPECT_EQ(format, GUID_WICPixelFormat24bppBGR);
    std::vector<BYTE> pixels;
    for (UINT i = 0; i < width * height; ++i)
        pixels.insert(pixels.end(), {GetBValue(colour), GetGValue(colour), GetRValue(colour)});
    EXPECT_HRESULT_SUCCEEDED(
        frame->WritePixels(height, width * 3, static_cast<UINT>(pixels.size()), pixels.data()));
    frame->Commit();
    encoder->Commit();
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string png(static_cast<size_t>(stat.cbSize.QuadPart), '\0');
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(png.data(), static_cast<ULONG>(png.size()), &read);
    return png;
}

std::string SolidPng(UINT width, UINT height, COLORREF colour) {
    return SolidPicture(GUID_ContainerFormatPng, width, height, colour);
}

constexpr COLORREF kRed = RGB(220, 10, 10), kBlue = RGB(10, 20, 230);

const std::string kScene = "LEAFTURN-SCENE 1\r\n"
                           "# the sample book\r\n"
                           "pages files/book.xml\r\n"
                           "next-keys Right PageDown\r\n"
                           "prev-keys Left PageUp\r\n"
                           "fullscreen-key F\r\n";

} // namespace

TEST_F(StandinLoading, LoadsAMovieThroughTheBindingHostAndRecordsEveryNotification) {
    container.site.files[L"http://lt/book.swf"] = "placeholder movie\n";
    container.Activate();
    container.standin->ClearLog();
    Load(0, L"http://lt/book.swf");
    EXPECT_EQ(Received(L"http://lt/book.swf"), "placeholder movie\n");
    EXPECT_EQ(StandinLog(container.standin.Get()),
              (std::vector<std::string>{
                  "QueryInterface(IShockwaveFlash) -> S_OK", // the test's own, for LoadMovie
                  "site.QueryInterface(IServiceProvider) -> S_OK",
                  "site.QueryService(SID_SBindHost, IBindHost) -> S_OK",
                  "bindhost.CreateMoniker(\"http://lt/book.swf\") -> S_OK, moniker=set",
                  "api.CreateBindCtx() -> S_OK",
                  "api.RegisterBindStatusCallback() -> S_OK",
                  "OnStartBinding(binding=null) -> S_OK",
                  "OnProgress(100, 100, 6, \"\") -> S_OK",
                  "OnDataAvailable(flags=5, size=18, tymed=4) -> S_OK, 18 bytes read",
                  "OnStopBinding(S_OK, \"\") -> S_OK",
                  "moniker.BindToStorage(IStream) -> S_OK",
                  "api.RevokeBindStatusCallback() -> S_OK",
                  "* received 18 bytes of \"http://lt/book.swf\"",
                  "site.InvalidateRect(null, FALSE) -> S_OK",
                  "LoadMovie(0, \"http://lt/book.swf\") -> S_OK",
              }));
    // A movie it does not understand: nothing is played, nothing more is asked for.
    EXPECT_EQ(Requests(), std::vector<std::string>{"http://lt/book.swf"});
}

TEST_F(StandinLoading, FilesTheHostDeclinesAreOnlyNoted) {
    container.Activate();
    container.standin->ClearLog();
    Load(0, L"./picture.gif");
    EXPECT_EQ(Received(L"./picture.gif"), "(nothing)");
    EXPECT_TRUE(InOrder(StandinLog(container.standin.Get()),
                        {"bindhost.CreateMoniker(\"./picture.gif\") -> E_NOTIMPL, moniker=null",
                         "* declined \"./picture.gif\": no moniker; would fetch it itself",
                         "LoadMovie(0, \"./picture.gif\") -> S_OK"}));
    for (const std::string& line : StandinLog(container.standin.Get()))
        EXPECT_FALSE(line.starts_with("api.CreateBindCtx")) << line;

    // A site without a binding host.
    container.site.offerBindHost = false;
    EXPECT_EQ(container.standin->RequestFile(L"http://lt/files/book.xml"), S_FALSE);
    EXPECT_TRUE(InOrder(StandinLog(container.standin.Get()),
                        {"site.QueryService(SID_SBindHost, IBindHost) -> E_NOINTERFACE",
                         "* declined \"http://lt/files/book.xml\": no binding host; would fetch "
                         "it itself"}));
}

TEST_F(StandinLoading, RequestsFilesForTestsAsAMovieWould) {
    container.site.files[L"http://lt/files/book.xml"] = "<book/>";
    container.Activate();
    EXPECT_EQ(container.standin->RequestFile(L"http://lt/files/book.xml"), S_OK);
    EXPECT_EQ(Received(L"http://lt/files/book.xml"), "<book/>");
    // An empty file arrives as empty, not as nothing.
    container.site.files[L"empty.txt"] = "";
    EXPECT_EQ(container.standin->RequestFile(L"empty.txt"), S_OK);
    EXPECT_EQ(Received(L"empty.txt"), "");
}

TEST_F(StandinLoading, ThePlaybackMovieFetchesSkinAndVideoOnceTheVolumeIsSet) {
    container.site.files[L"flvplayback.swf"] = "CWS playback";
    container.site.files[L"clearoverall.swf"] = "CWS skin";
    container.site.files[L"steel.swf"] = "CWS steel";
    container.site.files[L"http://lt/films/intro.flv"] = "FLV video";
    container.Activate();
    Load(0, L"flvplayback.swf");
    Set(L"flv.contentPath", L"http://lt/films/intro.flv");
    Set(L"flv.skin", L"clearoverall.swf");
    EXPECT_EQ(Requests(), std::vector<std::string>{"flvplayback.swf"});
    Set(L"flv.volume", L"100");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"flvplayback.swf", "clearoverall.swf",
                                                    "http://lt/films/intro.flv"}));
    EXPECT_EQ(Received(L"http://lt/films/intro.flv"), "FLV video");
    EXPECT_EQ(Received(L"clearoverall.swf"), "CWS skin");
    // Later: a new skin is fetched at once, a volume change fetches nothing.
    Set(L"flv.volume", L"40");
    Set(L"flv.skin", L"steel.swf");
    Set(L"flv.skin", L"");
    EXPECT_EQ(Requests().back(), "steel.swf");
    EXPECT_EQ(Requests().size(), 4u);
    TBstr value;
    ASSERT_EQ(container.standin->GetVariable(L"flv.volume", value.Out()), S_OK);
    EXPECT_EQ(value.Text(), L"40");
    EXPECT_EQ(container.standin->GetVariable(L"flv.unknown", value.Out()), S_FALSE);
}

TEST_F(StandinLoading, ThePlaybackMovieWithoutSkinFetchesOnlyTheVideo) {
    container.site.files[L"flvplayback.swf"] = "CWS playback";
    container.Activate();
    // Set before the playback movie is loaded: they count once it has arrived.
    Set(L"flv.contentPath", L"http://lt/a.flv");
    Set(L"flv.skin", L"");
    Set(L"flv.volume", L"100");
    Load(0, L"flvplayback.swf");
    EXPECT_EQ(Requests(), (std::vector<std::string>{"flvplayback.swf", "http://lt/a.flv"}));
    // Another movie in its layer ends it.
    Load(0, L"http://lt/other.swf");
    Set(L"flv.skin", L"steel.swf");
    EXPECT_EQ(Requests().back(), "http://lt/other.swf");
}

TEST_F(StandinLoading, ASceneTurnsItsPagesByKeyAndClickAndSendsTheFullscreenCommand) {
    container.site.position = {0, 0, 200, 150};
    container.site.files[L"http://lt/book.swf"] = kScene;
    container.site.files[L"http://lt/files/book.xml"] =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<book title=\"a &gt; b\">\n"
        "  <!-- <page src=\"page/0.png\"/> -->\n"
        "  <page src=\"page/1.png\"/>\n  <page\n src='page/2.png' />\n</book>\n";
    container.site.files[L"http://lt/files/page/1.png"] = SolidPng(40, 30, kRed);
    container.site.files[L"http://lt/files/page/2.png"] = SolidPng(40, 30, kBlue);
    container.Activate();
    container.standin->ClearLog();
    Load(0, L"http://lt/book.swf");
    EXPECT_TRUE(
        InOrder(StandinLog(container.standin.Get()),
                {"bindhost.CreateMoniker(\"http://lt/book.swf\") -> S_OK, moniker=set",
                 "* received " + std::to_string(kScene.size()) + " bytes of \"http://lt/book.swf\"",
                 "bindhost.CreateMoniker(\"http://lt/files/book.xml\") -> S_OK, moniker=set",
                 "* page list \"http://lt/files/book.xml\": 2 pages", "* page 1 of 2",
                 "bindhost.CreateMoniker(\"http://lt/files/page/1.png\") -> S_OK, "
                 "moniker=set",
                 "* page 1: 40x30", "site.InvalidateRect(null, FALSE) -> S_OK",
                 "LoadMovie(0, \"http://lt/book.swf\") -> S_OK"}));
    LONG page = -1, count = 0;
    BOOL fullscreen = TRUE;
    ASSERT_EQ(container.standin->GetScene(&page, &count, &fullscreen), S_OK);
    EXPECT_EQ(page, 0);
    EXPECT_EQ(count, 2);
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(CentreColour(), kRed);

    container.site.invalidations.clear();
    Key(VK_RIGHT);
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(container.site.invalidations, std::vector<std::string>{"rect null"});
    EXPECT_EQ(CentreColour(), kBlue);
    Key(VK_NEXT); // the last page: no turn, no request, no repaint
    EXPECT_EQ(Page(), 1);
    EXPECT_EQ(container.site.invalidations.size(), 1u);
    Click(30, 75); // left half: back
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(CentreColour(), kRed);
    Click(150, 75); // right half: forward
    EXPECT_EQ(Page(), 1);
    Key(VK_PRIOR);
    EXPECT_EQ(Page(), 0);
    Key('X'); // not one of the scene's keys
    EXPECT_EQ(Page(), 0);
    EXPECT_EQ(Requests().size(), 7u); // book, list, the first page and one page per turn

    Key('F');
    Key('F');
    EXPECT_EQ(container.sink.events, (std::vector<std::string>{"150: \"fullscreen\", \"true\"",
                                                               "150: \"fullscreen\", \"false\""}));
}

TEST_F(StandinLoading, BrokenScenesPageListsAndPicturesNeverStopTheControl) {
    container.site.position = {0, 0, 100, 100};
    container.site.files[L"http://lt/book.swf"] =
        "LEAFTURN-SCENE 1\nwhat is this\nnext-keys Right NoSuchKey\npages list.xml\n";
    container.site.files[L"http://lt/list.xml"] =
        "<book><page src=\"p1.png\"/><page src=\"p2.png\"/><page src=\"p3.png\"/><page src=\"p4";
    container.site.files[L"http://lt/p1.png"] = "\x89PNG\r\n\x1a\n but not really";
    container.site.files[L"http://lt/p2.png"] = SolidPng(10, 10, kRed).substr(0, 60);
    container.Activate();
    Load(0, L"http://lt/book.swf");
    Key(VK_RIGHT);
    Key(VK_RIGHT); // p3.png is not there at all: the host declines it
    EXPECT_EQ(Page(), 2);
    Key(VK_RIGHT);
    EXPECT_EQ(Page(), 2); // only three pages were listed
    const auto log = StandinLog(container.standin.Get());
    EXPECT_TRUE(
        InOrder(log, {"* scene: line 2 not understood", "* scene: unknown key \"NoSuchKey\"",
                      "* page list \"http://lt/list.xml\": 3 pages, the rest not understood",
                      "* page 1 of 3", "* page 2 of 3", "* page 3 of 3",
                      "* declined \"http://lt/p3.png\": no moniker; would fetch it itself"}));
    int undecoded = 0;
    for (const std::string& line : log)
        undecoded += line.starts_with("* page 1: \"http://lt/p1.png\" not decoded") ||
                     line.starts_with("* page 2: \"http://lt/p2.png\" not decoded");
    EXPECT_EQ(undecoded, 2);
    CentreColour(); // a page without a picture draws the placeholder

    // A movie whose first line is not the signature is no scene.
    container.site.files[L"http://lt/other.swf"] = "LEAFTURN-SCENE 2\npages list.xml\n";
    Load(0, L"http://lt/other.swf");
    LONG page = 0, count = 0;
    BOOL fullscreen = FALSE;
    EXPECT_EQ(container.standin->GetScene(&page, &count, &fullscreen), S_FALSE);
}

// Each format by the decoder its first bytes name; a picture no signature names, a Targa file, by
// the imaging component's own search.
TEST_F(StandinLoading, DecodesPagesOfEveryCommonFormat) {
    container.site.position = {0, 0, 64, 48};
    container.site.files[L"http://lt/book.swf"] =
        "LEAFTURN-SCENE 1\npages list.xml\nnext-keys Right\n";
    std::string list = "<book>";
    const GUID formats[] = {GUID_ContainerFormatJpeg, GUID_ContainerFormatBmp,
                            GUID_ContainerFormatTiff};
    std::string targa("\0\0\2\0\0\0\0\0\0\0\0\0\x20\0\x18\0\x18\x20", 18); // 32x24, 24 bits
    for (int i = 0; i < 32 * 24; ++i)
        targa += {char(GetBValue(kBlue)), char(GetGValue(kBlue)), char(GetRValue(kBlue))};
    for (int page = 1; page <= 4; ++page) {
        const std::wstring name = L"http://lt/" + std::to_wstring(page);
        container.site.files[name] =
            page <= 3 ? SolidPicture(formats[page - 1], 32, 24, kBlue) : targa;
        list += "<page src=\"" + std::to_string(page) + "\"/>";
    }
    container.site.files[L"http://lt/list.xml"] = list + "</book>";
    container.Activate();
    Load(0, L"http://lt/book.swf");
    for (int page = 1; page <= 4; ++page) {
        EXPECT_TRUE(InOrder(StandinLog(container.standin.Get()),
                            {"* page " + std::to_string(page) + ": 32x24"}))
            << page;
        const COLORREF centre = CentreColour(); // JPEG is lossy: close to the colour, not equal
        EXPECT_NEAR(GetRValue(centre), GetRValue(kBlue), 8) << page;
        EXPECT_NEAR(GetGValue(centre), GetGValue(kBlue), 8) << page;
        EXPECT_NEAR(GetBValue(centre), GetBValue(kBlue), 8) << page;
        Key(VK_RIGHT);
    }
}
