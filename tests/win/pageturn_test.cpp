// The built-in page-turning control hosted by the player, in this process: which control the
// player hosts, the exchange with the host, what it draws of a book, a turn, pages that fail.

#include <gtest/gtest.h>

#include "pageturn/pageturn_object_win.h"
#include "tests/support/package_bytes.h"
#include "tests/support/temp_dir.h"
#include "tests/win/host_test_support.h"
#include "tools/drive/png.h"

namespace {

constexpr COLORREF kRed = RGB(220, 20, 20), kBlue = RGB(20, 20, 220), kGreen = RGB(20, 160, 40);
constexpr COLORREF kBackground = RGB(54, 56, 60);

std::string PageList(const std::vector<std::string>& sources) {
    std::string xml = "<book title=\"Test\">";
    for (const std::string& source : sources)
        xml += "<page src=\"" + source + "\"/>";
    return xml + "</book>";
}

std::string Png(COLORREF colour) {
    return SolidPng(30, 40, GetRValue(colour), GetGValue(colour), GetBValue(colour));
}

// A player that records every name the control asks it for.
class TRecordingPlayer : public TqelFlashPlayer {
public:
    using TqelFlashPlayer::TqelFlashPlayer;
    HRESULT STDMETHODCALLTYPE CreateMoniker(LPOLESTR name, IBindCtx* context, IMoniker** moniker,
                                            DWORD reserved) override {
        requests.push_back(name ? name : L"");
        return TqelFlashPlayer::CreateMoniker(name, context, moniker, reserved);
    }
    std::vector<std::wstring> requests;
};

class PageTurn : public testing::Test {
protected:
    // The player with the built-in control on offer, for a book of these files.
    TRecordingPlayer* Open(const std::vector<std::pair<std::string, std::string>>& files) {
        const std::string book = dir.Write("book.exe", "MZ" + PackageBytes(files));
        player = hosted.Place(new TRecordingPlayer(hosted.form, PageTurnClassObject(), book));
        control = TPageTurnControl::Of(player->HostedObject());
        if (control)
            control->SetClock([this] { return now; });
        return player;
    }
    // Loads the book as the viewer does and lets the control do all it queued.
    void Load() {
        player->LoadMovieUrl(0, L"book.swf");
        Settle();
    }
    void Settle() {
        for (int i = 0; i < 100 && control->RunPendingWork(); ++i) {
        }
        hosted.application->ProcessMessages();
    }
    void Key(WPARAM key) {
        player->Perform(WM_KEYDOWN, key, 0);
        Settle();
    }
    // Time passes and the timer runs.
    void At(double seconds) {
        now = seconds;
        control->Tick();
    }
    COLORREF Pixel(int x, int y) const {
        const uint32_t p = *player->OutputBitmap()->PixelAddress(x, y);
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
    POINT Middle(TPageSide side) const {
        const TRect slot = control->View().Layout().Slot(side);
        return {(slot.left + slot.right) / 2, (slot.top + slot.bottom) / 2};
    }
    COLORREF PixelAt(POINT p) const { return Pixel(p.x, p.y); }
    std::vector<uint32_t> Frame() const {
        const TqelBitmap& output = *player->OutputBitmap();
        return {output.Bits(), output.Bits() + size_t(output.Width()) * output.Height()};
    }
    // How many pixels of a frame painted bit by bit differ from the whole picture drawn anew
    // (but for a mark at (markX, markY) that nothing has repainted).
    size_t DifferingFromAnew(const std::vector<uint32_t>& frame, int markX = -1, int markY = -1) {
        control->RedrawAll();
        std::vector<uint32_t> anew = Frame();
        if (markX >= 0)
            anew[size_t(markY) * player->Width() + markX] =
                frame[size_t(markY) * player->Width() + markX];
        size_t differ = 0;
        for (size_t i = 0; i < anew.size(); ++i)
            differ += anew[i] != frame[i];
        return differ;
    }

    THostedForm hosted;
    TTempDir dir;
    TRecordingPlayer* player = nullptr;
    TPageTurnControl* control = nullptr;
    double now = 0;
};

} // namespace

TEST_F(PageTurn, HostedWhereTheBookHasNoMovieOrThePlayerControlCannotBeHad) {
    // With the stand-in for the player control registered, a book without a movie still gets
    // the built-in control.
    Open({{"files/book.xml", PageList({"1.png"})}});
    ASSERT_TRUE(control);
    EXPECT_TRUE(player->HostsBuiltInControl());
    EXPECT_FALSE(player->CreationFailed());
    CLSID clsid{};
    ComPtr<IPersist> persist;
    ASSERT_HRESULT_SUCCEEDED(player->HostedObject()->QueryInterface(IID_PPV_ARGS(&persist)));
    ASSERT_HRESULT_SUCCEEDED(persist->GetClassID(&clsid));
    EXPECT_EQ(clsid, CLSID_LeafturnPageTurn);
    delete player;

    // A book with its movie gets the player control when it can be created ...
    Open({{"book.swf", "FWS movie"}, {"files/book.xml", PageList({"1.png"})}});
    EXPECT_FALSE(control);
    EXPECT_TRUE(StandinBehind(*player));
    EXPECT_FALSE(player->HostsBuiltInControl());
    delete player;

    // ... and the built-in one when it cannot.
    hosted.server.reset();
    Open({{"book.swf", "FWS movie"}, {"files/book.xml", PageList({"1.png"})}});
    EXPECT_TRUE(control);
    EXPECT_TRUE(player->HostsBuiltInControl());
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(PageTurn, HonoursTheHostsCallsAndFetchesEveryFileThroughIt) {
    Open({{"files/book.xml", PageList({"page/1.png", "page/2.png"})},
          {"files/page/1.png", Png(kRed)},
          {"files/page/2.png", Png(kBlue)}});
    ASSERT_TRUE(control);
    std::vector<int32_t> readyStates, progress;
    player->SetOnReadyStateChange(
        [&](TqelFlashPlayer&, int32_t state) { readyStates.push_back(state); });
    player->SetOnProgress([&](TqelFlashPlayer&, int32_t percent) { progress.push_back(percent); });
    // Activated windowless in the transparent window mode, its properties kept.
    EXPECT_TRUE(player->WindowlessIntf());
    EXPECT_TRUE(player->ViewIntf());
    EXPECT_EQ(player->ReadWideProperty(FlashProperty::kWMode), L"Transparent");
    player->WriteIntProperty(FlashProperty::kQuality, 3);
    EXPECT_EQ(player->ReadIntProperty(FlashProperty::kQuality), 3);
    EXPECT_TRUE(player->ReadBoolProperty(FlashProperty::kLoop));

    Load();
    EXPECT_EQ(player->requests, (std::vector<std::wstring>{L"http://ltb/files/book.xml",
                                                           L"http://ltb/files/page/1.png",
                                                           L"http://ltb/files/page/2.png"}));
    EXPECT_EQ(readyStates, std::vector<int32_t>{4});
    EXPECT_EQ(progress, std::vector<int32_t>{100});
    EXPECT_EQ(control->View().Layout().PageCount(), 2);

    // Its state goes into the host's stored description and comes back into a new control.
    const std::vector<uint8_t> state = player->SaveStoredData();
    ASSERT_GT(state.size(), 8u);
    EXPECT_EQ(std::string(state.begin(), state.begin() + 4), "LTPT");
    ComPtr<IPersistStreamInit> fresh;
    ASSERT_HRESULT_SUCCEEDED(PageTurnClassObject()->CreateInstance(nullptr, IID_PPV_ARGS(&fresh)));
    ComPtr<IStream> stream;
    ASSERT_HRESULT_SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    stream->Write(state.data(), ULONG(state.size()), nullptr);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(fresh->Load(stream.Get()), S_OK);
    ComPtr<IDispatch> properties;
    ASSERT_HRESULT_SUCCEEDED(fresh.As(&properties));
    VARIANT quality;
    VariantInit(&quality);
    DISPPARAMS none{};
    ASSERT_EQ(properties->Invoke(FlashProperty::kQuality, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                 &quality, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(V_I4(&quality), 3);
    // Damaged state is refused whole.
    ComPtr<IPersistStreamInit> other;
    ASSERT_HRESULT_SUCCEEDED(PageTurnClassObject()->CreateInstance(nullptr, IID_PPV_ARGS(&other)));
    stream->SetSize({{uint32_t(state.size() - 3), 0}});
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(other->Load(stream.Get()), E_FAIL);
    EXPECT_EQ(other->InitNew(), S_OK);
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(PageTurn, DrawsTheCoverAloneOnTheRightThenTheSpreadPixelExact) {
    Open({{"files/book.xml", PageList({"page/1.png", "page/2.png", "page/3.png"})},
          {"files/page/1.png", Png(kRed)},
          {"files/page/2.png", Png(kBlue)},
          {"files/page/3.png", Png(kGreen)}});
    Load();
    ASSERT_TRUE(control->View().Layout().TwoPages());
    EXPECT_EQ(PixelAt(Middle(TPageSide::Right)), kRed);
    EXPECT_EQ(PixelAt(Middle(TPageSide::Left)), kBackground);
    EXPECT_EQ(Pixel(2, 2), kBackground);
    // The page fills its place: its corners are the picture's too.
    const TRect right = control->View().Layout().Slot(TPageSide::Right);
    EXPECT_EQ(Pixel(right.right - 1, right.bottom - 1), kRed);
    EXPECT_EQ(Pixel(right.right - 1, right.top), kRed);

    Key(VK_RIGHT);
    At(1);
    EXPECT_EQ(control->View().Spread(), 1);
    EXPECT_EQ(PixelAt(Middle(TPageSide::Left)), kBlue);
    EXPECT_EQ(PixelAt(Middle(TPageSide::Right)), kGreen);
    Key(VK_RIGHT); // the last spread: nothing turns
    EXPECT_FALSE(control->View().Turn());
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(PageTurn, ATurnsFramesDifferFromItsStartAndEndAndRepaintOnlyTheLeaf) {
    Open({{"files/book.xml", PageList({"page/1.png", "page/2.png", "page/3.png"})},
          {"files/page/1.png", Png(kRed)},
          {"files/page/2.png", Png(kBlue)},
          {"files/page/3.png", Png(kGreen)}});
    Load();
    const std::vector<uint32_t> start = Frame();
    // The host repaints everything at the first request after it was sized; that is done here.
    player->InvalidateRect(nullptr, FALSE);
    Key(VK_RIGHT);
    ASSERT_TRUE(control->View().Turn());
    // Early on only the corner lifts, and only around it is drawn again: a mark far from it in
    // the host's picture stays.
    *player->OutputBitmap()->PixelAddress(2, 2) = 0xFF123456u;
    At(0.12);
    const std::vector<uint32_t> early = Frame();
    EXPECT_EQ(Pixel(2, 2), RGB(0x12, 0x34, 0x56));
    const TRect right = control->View().Layout().Slot(TPageSide::Right);
    EXPECT_EQ(Pixel(right.left + RectWidth(right) / 4, right.top + 2), kRed);
    EXPECT_NE(Pixel(right.right - 3, right.bottom - 3), kRed);
    for (double t = 0.14; t < 0.25; t += 0.02)
        At(t);
    At(0.25);
    const std::vector<uint32_t> middle = Frame();
    EXPECT_NE(middle, start);
    EXPECT_NE(middle, early);
    // What the frames repainted bit by bit is what the whole picture drawn anew shows (but for
    // the mark, which nothing repainted until now).
    EXPECT_EQ(DifferingFromAnew(middle, 2, 2), 0u);
    At(1);
    const std::vector<uint32_t> end = Frame();
    EXPECT_NE(middle, end);
    EXPECT_FALSE(control->View().Turn());
    EXPECT_EQ(PixelAt(Middle(TPageSide::Right)), kGreen);
    // The same going back from the spread at rest.
    Key(VK_LEFT);
    for (double t = 1.02; t < 1.3; t += 0.02)
        At(t);
    ASSERT_TRUE(control->View().Turn());
    EXPECT_EQ(DifferingFromAnew(Frame()), 0u);
}

TEST_F(PageTurn, AZoomedPageShowsItsLargePicture) {
    Open({{"files/book.xml", "<book><page src=\"page/1.png\" large=\"large/1.png\"/></book>"},
          {"files/page/1.png", Png(kRed)},
          {"files/large/1.png", Png(kBlue)}});
    Load();
    const POINT cover = Middle(TPageSide::Right);
    player->Perform(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(cover.x, cover.y));
    Settle();
    ASSERT_TRUE(control->View().Zoom());
    EXPECT_EQ(player->requests.back(), L"http://ltb/files/large/1.png");
    EXPECT_EQ(PixelAt(cover), kBlue);
    // Back to the spread: the page as it was.
    for (int i = 0; i < 10 && control->View().Zoom(); ++i)
        player->Perform(WM_CHAR, '-', 0);
    Settle();
    EXPECT_FALSE(control->View().Zoom());
    EXPECT_EQ(PixelAt(Middle(TPageSide::Right)), kRed);
}

TEST_F(PageTurn, PagesThatCannotBeShownAreMarkedAndStopNothing) {
    Open({{"files/book.xml", PageList({"page/1.png", "page/missing.png", "page/3.png"})},
          {"files/page/1.png", Png(kRed)},
          {"files/page/3.png", "not a picture"}});
    Load();
    Key(VK_RIGHT);
    At(1);
    Settle();
    const auto& pages = control->Pages();
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].status, TPageState::TStatus::Ready);
    EXPECT_EQ(pages[1].status, TPageState::TStatus::Broken);
    EXPECT_EQ(pages[2].status, TPageState::TStatus::Broken);
    // The mark in the page's middle, the page's paper around it.
    const POINT left = Middle(TPageSide::Left);
    const TRect slot = control->View().Layout().Slot(TPageSide::Left);
    int marked = 0;
    for (int y = slot.top; y < left.y; ++y)
        marked += Pixel(left.x, y) == RGB(184, 84, 70);
    EXPECT_GT(marked, 5);
    EXPECT_EQ(Pixel(left.x, slot.top + 3), RGB(250, 248, 243));
    Key(VK_LEFT);
    At(2);
    EXPECT_EQ(PixelAt(Middle(TPageSide::Right)), kRed);
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(PageTurn, AFileThatGrowsPastWhatABooksFileCanBeIsRefusedWhole) {
    ComPtr<IOleObject> object;
    ASSERT_HRESULT_SUCCEEDED(PageTurnClassObject()->CreateInstance(nullptr, IID_PPV_ARGS(&object)));
    TPageTurnControl& owner = *TPageTurnControl::Of(object.Get());
    using TCallback = TBindCallback<TPageTurnControl, TFetch>;
    const auto deliver = [](IBindStatusCallback* callback, SIZE_T size) {
        const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
        ASSERT_TRUE(memory);
        STGMEDIUM medium{};
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = memory;
        EXPECT_EQ(callback->OnDataAvailable(BSCF_INTERMEDIATEDATANOTIFICATION, DWORD(size), nullptr,
                                            &medium),
                  S_OK);
        GlobalFree(memory);
    };
    // Within the bound, a file arrives as it came.
    const auto fits = std::make_shared<TFetch>();
    const auto fitsCallback = AdoptComPtr<IBindStatusCallback>(new TCallback(owner, fits));
    deliver(fitsCallback.Get(), 16);
    fitsCallback->OnStopBinding(S_OK, nullptr);
    EXPECT_TRUE(fits->done);
    EXPECT_EQ(fits->result, S_OK);
    EXPECT_EQ(fits->bytes.size(), 16u);
    // Past it, nothing more is taken, not even a piece that would fit again, and the file fails.
    const auto grows = std::make_shared<TFetch>();
    const auto growsCallback = AdoptComPtr<IBindStatusCallback>(new TCallback(owner, grows));
    deliver(growsCallback.Get(), 16);
    deliver(growsCallback.Get(), TCallback::kMaxDelivery);
    deliver(growsCallback.Get(), 16);
    EXPECT_EQ(grows->bytes.size(), 16u);
    growsCallback->OnStopBinding(S_OK, nullptr);
    EXPECT_TRUE(grows->done);
    EXPECT_EQ(grows->result, E_OUTOFMEMORY);
    EXPECT_TRUE(grows->bytes.empty());
}

TEST_F(PageTurn, WithoutAPageListItTellsWhatTheBookNeeds) {
    hosted.server.reset();
    Open({{"book.swf", "FWS a movie"}});
    Load();
    EXPECT_EQ(control->Message().substr(0, 42), L"This book needs the movie player control.\n");
    // Something is written in the middle, over the background.
    int text = 0;
    for (int x = 0; x < player->Width(); ++x)
        text += Pixel(x, player->Height() / 2 - 12) != kBackground;
    EXPECT_GT(text, 20);

    delete player;
    Open({{"files/book.xml", "<book></book>"}});
    Load();
    EXPECT_EQ(control->Message().substr(0, 23), L"This book has no pages.");
}
