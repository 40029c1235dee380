// The player hosting the stand-in: where each request of the control is served from, movie
// loading by name, stream and stored list, volume and FLV playback, the deferred script commands.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "base/platform.h"
#include "base/text_win.h"
#include "qel/host/qel_flash_download_win.h"
#include "qel/host/qel_flash_requests.h"
#include "qel/player/qel_flash_collections.h"
#include "tests/support/package_bytes.h"
#include "tests/support/temp_dir.h"
#include "tests/win/host_test_support.h"
#include "tools/movies/movies.h"

namespace {

const std::string kBookMovie = "FWS\x08 the book";
const std::string kPageList = "<book><page src=\"page/1.png\"/></book>";
const std::wstring kBase = AnsiToWide(std::string(kVirtualBaseUrl));

std::string ResourceBytes(const std::string& name) {
    const std::shared_ptr<TStream> stream = OpenMovieResource(name);
    std::string bytes(static_cast<size_t>(stream->Size()), '\0');
    stream->SetPosition(0);
    stream->Read(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
}

std::wstring TokenOf(TStream& stream) {
    return AnsiToWide(FormatStreamToken(StreamToken(stream)));
}

void Fill(TMemoryStream& stream, const std::string& bytes) {
    stream.Clear();
    stream.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
    stream.SetPosition(0);
}

// A file beside the test executable for the length of one test; a folder it had to create goes
// with it.
class TLooseFile {
public:
    TLooseFile(const std::string& relative, const std::string& bytes)
        : path_(std::filesystem::path(OwnExecutableDirectory()) / relative) {
        if (!std::filesystem::exists(path_.parent_path())) {
            std::filesystem::create_directories(path_.parent_path());
            createdFolder_ = path_.parent_path();
        }
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~TLooseFile() {
        std::error_code ignored;
        std::filesystem::remove(path_, ignored);
        if (!createdFolder_.empty())
            std::filesystem::remove(createdFolder_, ignored);
    }

private:
    std::filesystem::path path_, createdFolder_;
};

// The download service replaced by a double that records its call and answers with a file of
// its own through the control's callback.
struct TPullCall {
    int calls = 0;
    std::string url;
    bool callerGiven = false;
    DWORD reserved = 0;
    HRESULT answer = S_OK;
};
TPullCall gPull;

HRESULT WINAPI RecordingPullStream(IUnknown* caller, LPCSTR url, DWORD reserved,
                                   IBindStatusCallback* callback) {
    ++gPull.calls;
    gPull.url = url ? url : "(null)";
    gPull.callerGiven = caller != nullptr;
    gPull.reserved = reserved;
    if (gPull.answer != S_OK || !callback)
        return gPull.answer;
    const std::string bytes = "pulled " + gPull.url;
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return E_OUTOFMEMORY;
    stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    stream->Seek({}, STREAM_SEEK_SET, nullptr);
    STGMEDIUM medium{};
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = stream.Get();
    wchar_t empty[] = L"";
    callback->OnStartBinding(0, nullptr);
    callback->OnDataAvailable(BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION,
                              static_cast<DWORD>(bytes.size()), nullptr, &medium);
    callback->OnStopBinding(S_OK, empty);
    return S_OK;
}

class TScopedPullStream {
public:
    explicit TScopedPullStream(TURLOpenPullStreamA entry)
        : previous_(ReplacePullStreamEntry(entry)) {
        gPull = {};
    }
    ~TScopedPullStream() { ReplacePullStreamEntry(previous_); }

private:
    TURLOpenPullStreamA previous_;
};

class Player : public testing::Test {
protected:
    THostedForm hosted;
    TTempDir dir;
    const std::string book =
        dir.Write("book.exe", "MZ" + PackageBytes({{"book.swf", kBookMovie},
                                                   {"files/book.xml", kPageList},
                                                   {"Movie Two.swf", "FWS package copy"}}));
    TqelFlashPlayer* player = NewPlayer();
    ComPtr<IStandinControl> standin = StandinBehind(*player);

    TqelFlashPlayer* NewPlayer() {
        auto* created = hosted.Place(new TqelFlashPlayer(hosted.form));
        created->SetPackagePath(book);
        return created;
    }

    HRESULT Fetch(const std::wstring& url) { return standin->RequestFile(url.c_str()); }
    std::string Received(const std::wstring& url) {
        TBstr bytes;
        if (standin->GetReceived(url.c_str(), bytes.Out()) != S_OK)
            return "(nothing)";
        return std::string(reinterpret_cast<const char*>(bytes.Get()),
                           SysStringByteLen(bytes.Get()));
    }
    // The target CreateMoniker chooses, the call's result and whether a moniker came back.
    struct TChoice {
        HRESULT result;
        bool moniker;
        std::string target;
    };
    TChoice Choose(const std::wstring& request) {
        ComPtr<IMoniker> moniker;
        const HRESULT result = player->CreateMoniker(const_cast<LPOLESTR>(request.c_str()), nullptr,
                                                     moniker.GetAddressOf(), 0);
        return {result, moniker != nullptr, WideToAnsi(player->PendingTarget())};
    }
    // The calls the player made into the control's movie interface, in order.
    std::vector<std::string> MovieCalls() {
        std::vector<std::string> calls;
        for (const std::string& line : LogOf(*player))
            if (line.starts_with("FlashVersion(") || line.starts_with("LoadMovie(") ||
                line.starts_with("SetVariable("))
                calls.push_back(line);
        return calls;
    }
    // The URL of the last LoadMovie into layer.
    std::wstring LoadedUrl(int layer) {
        std::string url;
        const std::string prefix = "LoadMovie(" + std::to_string(layer) + ", \"";
        for (const std::string& line : LogOf(*player))
            if (line.starts_with(prefix))
                url = line.substr(prefix.size(), line.find("\") ->") - prefix.size());
        return AnsiToWide(url);
    }
    std::wstring Variable(const wchar_t* name) {
        TBstr value;
        if (standin->GetVariable(name, value.Out()) != S_OK)
            return L"(unset)";
        return value.Text();
    }
};

} // namespace

// ---- requests

TEST_F(Player, MapsTheBooksRequestsToPackageAndResources) {
    struct TRow {
        std::wstring request;
        std::string target;
        std::string served; // empty: nothing arrives (E_FAIL)
    };
    const std::vector<TRow> rows = {
        {kBase + L"book.swf", "<exe>book.swf", kBookMovie},
        {kBase + L"files/book.xml", "<exe>files/book.xml", kPageList},
        {L"flvplayback.swf", "<res>flvplayback.swf", ResourceBytes("FLVPLAYBACK")},
        {L"clearoverall.swf", "<res>clearoverall.swf", ResourceBytes("CLEAROVERALL")},
        {L"Steel.swf", "<res>Steel.swf", ResourceBytes("STEEL")},
        // With the base, the resource name would keep the base: the package is asked instead.
        {kBase + L"flvplayback.swf", "<exe>flvplayback.swf", ""},
        // One leading "./" is dropped before and after the base.
        {L"./" + kBase + L"book.swf", "<exe>book.swf", kBookMovie},
        {kBase + L"./book.swf", "<exe>./book.swf", kBookMovie},
        // "/" does not split a package name, "\" and ":" do.
        {kBase + L"files/page/1.jpg", "<exe>files/page/1.jpg", ""},
        {kBase + L"files\\book.xml", "<exe>book.xml", ""},
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(WideToAnsi(row.request));
        const TChoice choice = Choose(row.request);
        EXPECT_EQ(choice.result, S_OK);
        EXPECT_TRUE(choice.moniker);
        EXPECT_EQ(choice.target, row.target);
        EXPECT_EQ(Fetch(row.request), row.served.empty() ? E_FAIL : S_OK);
        EXPECT_EQ(Received(row.request), row.served.empty() ? "(nothing)" : row.served);
    }
    EXPECT_EQ(ResourceBytes("FLVPLAYBACK").substr(0, 4), "CWS\x08");
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(Player, DeclinesWhatItDoesNotServeAndAcceptsFileSchemeAlone) {
    // The extension filter is case-sensitive; only ".adf" is listed in both cases.
    for (const std::wstring& request : std::vector<std::wstring>{
             L"./picture.gif", kBase + L"Book.SWF", kBase + L"a.Xml", L"readme"}) {
        SCOPED_TRACE(WideToAnsi(request));
        const TChoice choice = Choose(request);
        EXPECT_EQ(choice.result, E_NOTIMPL);
        EXPECT_FALSE(choice.moniker);
        EXPECT_EQ(Fetch(request), S_FALSE); // the control fetches it itself
    }
    EXPECT_EQ(Choose(kBase + L"notes.ADF").result, S_OK);
    // A script page whose query names an XML file passes the filter and goes out as it is.
    EXPECT_EQ(Choose(L"http://example.invalid/page.php?f=book.xml").target,
              "http://example.invalid/page.php?f=book.xml");

    // "file://" alone, and a file:// request for a file that is not there, keep the last target.
    EXPECT_EQ(Choose(kBase + L"book.swf").target, "<exe>book.swf");
    for (const wchar_t* request : {L"file://", L"file:///z:/no/such/folder/gone.swf"}) {
        const TChoice choice = Choose(request);
        EXPECT_EQ(choice.result, S_OK);
        EXPECT_TRUE(choice.moniker);
        EXPECT_EQ(choice.target, "<exe>book.swf");
    }
    // A moniker call without an out pointer is refused, not written through.
    EXPECT_EQ(player->CreateMoniker(const_cast<LPOLESTR>(L"book.swf"), nullptr, nullptr, 0),
              E_POINTER);
}

TEST_F(Player, ServesLiveStreamsByTokenAndRefusesForgedOrStaleOnes) {
    TMemoryStream movie;
    Fill(movie, "FWS streamed");
    const std::wstring token = TokenOf(movie);
    const std::wstring copied = kBase + L"<stream>" + token + L".swf";
    EXPECT_EQ(Choose(copied).target, "<stream>" + WideToAnsi(token) + ".swf");
    EXPECT_EQ(Fetch(copied), S_OK);
    EXPECT_EQ(Received(copied), "FWS streamed");
    const std::wstring inPlace = kBase + L"<astream>" + token + L".swf";
    EXPECT_EQ(Fetch(inPlace), S_OK);
    EXPECT_EQ(Received(inPlace), "FWS streamed");
    EXPECT_TRUE(player->PendingTarget().empty());

    std::wstring staleToken;
    {
        TMemoryStream gone;
        Fill(gone, "FWS gone");
        staleToken = TokenOf(gone);
    }
    for (const std::wstring& bad :
         {L"<stream>" + staleToken + L".swf", L"<astream>" + staleToken + L".swf",
          std::wstring(L"<stream>00000000.swf"), std::wstring(L"<stream>0000ZZZZ.swf"),
          std::wstring(L"<astream>12.swf")}) {
        SCOPED_TRACE(WideToAnsi(bad));
        EXPECT_EQ(Fetch(kBase + bad), E_FAIL);
        EXPECT_EQ(Received(kBase + bad), "(nothing)");
    }
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(Player, AFailedBindingDeliversNothingAndKeepsWhatTheNextRequestOverwrites) {
    ComPtr<IMoniker> moniker;
    ASSERT_EQ(
        player->QueryInterface(IID_IMoniker, reinterpret_cast<void**>(moniker.GetAddressOf())),
        S_OK);
    EXPECT_EQ(Choose(kBase + L"missing.xml").target, "<exe>missing.xml");
    // No bind context, no callback holder, a holder that is no callback: the target is kept.
    ComPtr<IStream> out;
    EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IStream,
                                     reinterpret_cast<void**>(out.GetAddressOf())),
              E_FAIL);
    ComPtr<IBindCtx> context;
    ASSERT_EQ(CreateBindCtx(0, &context), S_OK);
    EXPECT_EQ(moniker->BindToStorage(context.Get(), nullptr, IID_IStream,
                                     reinterpret_cast<void**>(out.GetAddressOf())),
              E_FAIL);
    ComPtr<IStream> notACallback;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &notACallback), S_OK);
    ASSERT_EQ(
        context->RegisterObjectParam(const_cast<LPOLESTR>(L"_BSCB_Holder_"), notACallback.Get()),
        S_OK);
    EXPECT_EQ(moniker->BindToStorage(context.Get(), nullptr, IID_IStream,
                                     reinterpret_cast<void**>(out.GetAddressOf())),
              E_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(WideToAnsi(player->PendingTarget()), "<exe>missing.xml");

    // A package name or a stored movie that is not there: the name without its tag stays.
    EXPECT_EQ(Fetch(kBase + L"missing.xml"), E_FAIL);
    EXPECT_EQ(WideToAnsi(player->PendingTarget()), "missing.xml");
    EXPECT_EQ(Fetch(L"<list>gone.swf"), E_FAIL);
    EXPECT_EQ(WideToAnsi(player->PendingTarget()), "gone.swf");
    EXPECT_EQ(Fetch(L"<res>nothing.swf"), E_FAIL);
    // The next request chooses its own target and is served.
    EXPECT_EQ(Fetch(kBase + L"book.swf"), S_OK);
    EXPECT_TRUE(player->PendingTarget().empty());
}

TEST_F(Player, LooseFilesBesideTheExecutableComeBeforeThePackage) {
    const TLooseFile loose("files/book.xml", "<book>loose</book>");
    const std::string exeDir = ReplaceAll(OwnExecutableDirectory(), "\\", "/");
    EXPECT_EQ(Choose(kBase + L"files/book.xml").target, exeDir + "files/book.xml");
    EXPECT_EQ(Fetch(kBase + L"files/book.xml"), S_OK);
    EXPECT_EQ(Received(kBase + L"files/book.xml"), "<book>loose</book>");

    // Escapes in either letter case and the query are for the test only; the target keeps them.
    const TLooseFile spaced("leafturn-player test.xml", "<spaced/>");
    const std::wstring request = L"Leafturn%2DPlayer%20Test.xml?page=2&x=%3F";
    EXPECT_EQ(Choose(request).target, exeDir + WideToAnsi(request));
    EXPECT_EQ(Fetch(request), S_OK);
    EXPECT_EQ(Received(request), "<spaced/>");
}

TEST_F(Player, HandsOtherTargetsToTheDownloadService) {
    const std::wstring remote = L"http://example.invalid/page.php?f=book.xml";
    {
        const TScopedPullStream pull(&RecordingPullStream);
        EXPECT_EQ(Fetch(remote), S_OK);
        EXPECT_EQ(gPull.calls, 1);
        EXPECT_EQ(gPull.url, WideToAnsi(remote));
        EXPECT_FALSE(gPull.callerGiven);
        EXPECT_EQ(gPull.reserved, 0u);
        EXPECT_TRUE(player->PendingTarget().empty());
        // The service drives the control's own callback.
        EXPECT_EQ(Received(remote), "pulled " + WideToAnsi(remote));

        // A loose file is handed over as a local path with "/" separators.
        const TLooseFile loose("leafturn-player-pulled.txt", "local");
        EXPECT_EQ(Fetch(L"leafturn-player-pulled.txt"), S_OK);
        EXPECT_EQ(gPull.url,
                  ReplaceAll(OwnExecutableDirectory(), "\\", "/") + "leafturn-player-pulled.txt");

        for (const HRESULT failure : {E_ACCESSDENIED, S_FALSE}) {
            gPull.answer = failure;
            EXPECT_EQ(Fetch(remote), E_FAIL);
        }
    }
    // Without the service (as under Wine) only local files can be served, read directly.
    ASSERT_EQ(PullStreamEntry(), nullptr);
    EXPECT_EQ(Fetch(L"http://example.invalid/other.xml"), E_FAIL);
    const TLooseFile loose("leafturn-player-direct.txt", "read directly");
    EXPECT_EQ(Fetch(L"leafturn-player-direct.txt"), S_OK);
    EXPECT_EQ(Received(L"leafturn-player-direct.txt"), "read directly");
    EXPECT_TRUE(hosted.errors.empty());
}

// ---- loading by name

TEST_F(Player, LoadsMoviesBelowTheBaseAndPlainNamesOnlyForOldControls) {
    standin->ClearLog();
    player->LoadMovieUrl(0, L"book.swf");
    EXPECT_EQ(LoadedUrl(0), kBase + L"book.swf");
    EXPECT_EQ(Received(kBase + L"book.swf"), kBookMovie);
    EXPECT_EQ(player->Movie(), L"book.swf");
    EXPECT_FALSE(player->FlvMode());
    // The in-place rectangle is set again after the load.
    EXPECT_EQ(LineStarting(LogOf(*player), "SetObjectRects(pos=0,0,"),
              "SetObjectRects(pos=0,0," + std::to_string(player->Width()) + "," +
                  std::to_string(player->Height()) + ", clip=0,0," +
                  std::to_string(player->Width()) + "," + std::to_string(player->Height()) +
                  ") -> S_OK");

    player->LoadMovieUrl(0, L"c:/books/a.swf"); // version 10: like any other name
    EXPECT_EQ(LoadedUrl(0), kBase + L"c:/books/a.swf");
    standin->SetFlashVersion(0x00090000);
    player->LoadMovieUrl(0, L"c:/books/a.swf");
    EXPECT_EQ(LoadedUrl(0), L"c:/books/a.swf");
    player->LoadMovieUrl(0, L"c:\\books\\a.swf");             // only the FLV road rewrites "\"
    EXPECT_EQ(LoadedUrl(0), kBase + L"c:\\\\books\\\\a.swf"); // as the log escapes it
    EXPECT_EQ(player->Movie(), L"c:\\books\\a.swf");
    player->LoadMovieUrl(2, L"clip.FLV"); // the FLV test is case-sensitive
    EXPECT_EQ(LoadedUrl(2), kBase + L"clip.FLV");
    EXPECT_FALSE(player->FlvMode());
}

TEST_F(Player, PlaysAnFlvNameThroughThePlaybackMovieInOrder) {
    standin->ClearLog();
    player->LoadMovieUrl(0, L"films\\intro.flv");
    EXPECT_EQ(MovieCalls(),
              (std::vector<std::string>{
                  "FlashVersion() -> S_OK, 0x000A0000", "LoadMovie(0, \"flvplayback.swf\") -> S_OK",
                  "SetVariable(\"flv.contentPath\", \"http://ltb/films/intro.flv\") -> S_OK",
                  "SetVariable(\"flv.skin\", \"clearoverall.swf\") -> S_OK",
                  "SetVariable(\"flv.volume\", \"100\") -> S_OK"}));
    EXPECT_EQ(Received(L"flvplayback.swf"), ResourceBytes("FLVPLAYBACK"));
    EXPECT_EQ(Received(L"clearoverall.swf"), ResourceBytes("CLEAROVERALL"));
    EXPECT_EQ(player->Movie(), L"films/intro.flv");
    EXPECT_TRUE(player->FlvMode());

    // A skin value outside the table sets no skin variable (no skin sets the empty one). An old
    // control gets a drive path as it is.
    player->SetFLVPlaybackSkin(static_cast<TqelFLVSkins>(7));
    standin->SetFlashVersion(0x00090000);
    standin->ClearLog();
    player->LoadMovieUrl(1, L"c:\\films\\intro.flv");
    EXPECT_EQ(MovieCalls(),
              (std::vector<std::string>{
                  "FlashVersion() -> S_OK, 0x00090000", "LoadMovie(1, \"flvplayback.swf\") -> S_OK",
                  "SetVariable(\"flv.contentPath\", \"c:/films/intro.flv\") -> S_OK",
                  "SetVariable(\"flv.volume\", \"100\") -> S_OK"}));
}

TEST_F(Player, LoadsAStreamByItsContent) {
    TMemoryStream video, shortStream;
    Fill(video, "FLV\x01 video");
    Fill(shortStream, "FL");
    player->LoadMovieUrl(0, L"book.swf");
    standin->ClearLog();
    player->LoadMovieStream(0, video);
    EXPECT_EQ(Variable(L"flv.contentPath"), kBase + L"<stream>" + TokenOf(video) + L".flv");
    EXPECT_EQ(LoadedUrl(0), L"flvplayback.swf");
    EXPECT_TRUE(player->FlvMode());
    EXPECT_EQ(player->Movie(), L"");
    // The playback movie fetched the video from the stream.
    EXPECT_EQ(Received(kBase + L"<stream>" + TokenOf(video) + L".flv"), "FLV\x01 video");

    player->LoadMovieStream(0, shortStream);
    EXPECT_EQ(LoadedUrl(0), kBase + L"<stream>" + TokenOf(shortStream) + L".swf");
    EXPECT_EQ(Received(LoadedUrl(0)), "FL");
    EXPECT_FALSE(player->FlvMode());
}

// ---- Movie and the stored list

TEST_F(Player, MovieLoadsOnlyANewNameAndForgetsTheListSelection) {
    auto* list = new TqelFlashList(hosted.form);
    Fill(*list->Flashs().AddItem().Stream, "FWS listed");
    player->SetFlashList(list);
    player->SetMovie(L"book.swf");
    EXPECT_EQ(LoadedUrl(0), kBase + L"book.swf");
    player->SetFlashIndex(0);
    standin->ClearLog();
    player->SetMovie(player->Movie()); // empty after the stream load: the same text
    EXPECT_EQ(player->FlashIndex(), 0);
    EXPECT_TRUE(MovieCalls().empty());
    player->SetMovie(L"book.swf");
    EXPECT_EQ(player->FlashIndex(), -1);
    EXPECT_EQ(LoadedUrl(0), kBase + L"book.swf");
    standin->ClearLog();
    player->SetMovie(L"book.swf");
    EXPECT_TRUE(MovieCalls().empty());

    // While read from a stored form the name is only recorded.
    player->BeginLoading();
    player->SetMovie(L"stored.swf");
    player->Loaded();
    EXPECT_EQ(player->Movie(), L"stored.swf");
    EXPECT_TRUE(MovieCalls().empty());
}

TEST_F(Player, SelectsStoredMoviesByIndexClampedToTheList) {
    player->SetFlashIndex(1); // no list: nothing loads, the value stays
    EXPECT_EQ(player->FlashIndex(), 1);
    auto* list = new TqelFlashList(hosted.form);
    player->SetFlashList(list);
    player->SetFlashIndex(0); // an empty list: nothing loads
    EXPECT_EQ(player->FlashIndex(), 0);
    EXPECT_TRUE(LoadedUrl(0).empty());

    const char* names[] = {"one.swf", "two.swf", "three.swf"};
    for (const char* name : names) {
        TqelFlashStream& item = list->Flashs().AddItem();
        item.Name = name;
        Fill(*item.Stream, std::string("FWS ") + name);
    }
    player->SetFlashIndex(5);
    EXPECT_EQ(player->FlashIndex(), 2);
    const std::wstring third =
        kBase + L"<stream>" + TokenOf(*list->Flashs().Items(2).Stream) + L".swf";
    EXPECT_EQ(LoadedUrl(0), third);
    EXPECT_EQ(Received(third), "FWS three.swf");
    standin->ClearLog();
    player->SetFlashIndex(-3);
    EXPECT_EQ(player->FlashIndex(), -3);
    EXPECT_TRUE(MovieCalls().empty());

    player->SetFlashIndex(1);
    player->SetFlashList(nullptr);
    EXPECT_EQ(player->FlashIndex(), -1);
    EXPECT_EQ(player->FlashList(), nullptr);
}

TEST_F(Player, ServesListedMoviesFirstAndForgetsAListThatGoes) {
    auto* list = new TqelFlashList(hosted.form);
    TqelFlashStream& item = list->Flashs().AddItem();
    item.Name = "Movie Two.swf";
    Fill(*item.Stream, "FWS listed copy");
    player->SetFlashList(list);
    // Found by file name, escapes decoded and the query cut, in any folder and letter case, and
    // before the package entry of the same name.
    const std::wstring plain = kBase + L"Movie Two.swf";
    for (const std::wstring& request : {plain, kBase + L"Dir/MOVIE%20two.swf?from=menu"}) {
        SCOPED_TRACE(WideToAnsi(request));
        EXPECT_EQ(Choose(request).target, "<list>movie two.swf");
        EXPECT_EQ(Fetch(request), S_OK);
        EXPECT_EQ(Received(request), "FWS listed copy");
    }

    player->SetFlashIndex(0);
    delete list;
    EXPECT_EQ(player->FlashList(), nullptr);
    EXPECT_EQ(player->FlashIndex(), 0);
    EXPECT_EQ(Fetch(plain), S_OK); // now from the package
    EXPECT_EQ(Received(plain), "FWS package copy");
    standin->ClearLog();
    player->SetFlashIndex(0);
    EXPECT_TRUE(MovieCalls().empty());
    EXPECT_TRUE(hosted.errors.empty());
}

// ---- volume and skins

TEST_F(Player, AppliesOnlyVolumeChangesWithinRange) {
    standin->ClearLog();
    for (const int32_t volume : {100, 101, -1})
        player->SetVolume(volume);
    EXPECT_EQ(player->Volume(), 100);
    EXPECT_TRUE(MovieCalls().empty());

    player->SetVolume(40);
    EXPECT_EQ(player->Volume(), 40);
    const std::wstring url = LoadedUrl(1);
    ASSERT_TRUE(url.starts_with(kBase + L"<stream>")) << WideToAnsi(url);
    std::string expected = SetVolumeMovie();
    expected[kSetVolumeValueOffset] = 40;
    EXPECT_EQ(Received(url), expected);
    EXPECT_EQ(player->Movie(), L"");
    EXPECT_FALSE(player->FlvMode());
    standin->ClearLog();
    player->SetVolume(40);
    EXPECT_TRUE(MovieCalls().empty());

    // Switching volume control on applies the volume once; off, or at design time, nothing.
    player->SetVolumeControl(true);
    ASSERT_EQ(MovieCalls().size(), 1u);
    EXPECT_TRUE(MovieCalls()[0].starts_with("LoadMovie(1, ")) << MovieCalls()[0];
    EXPECT_EQ(Received(LoadedUrl(1)), expected);
    player->SetVolumeControl(false);
    player->SetDesigning(true);
    player->SetVolumeControl(true);
    EXPECT_EQ(MovieCalls().size(), 1u);
}

TEST_F(Player, ChangesTheVolumeOfAPlayingVideoThroughItsVariable) {
    player->LoadMovieUrl(0, L"intro.flv");
    standin->ClearLog();
    player->SetVolume(30);
    EXPECT_EQ(MovieCalls(),
              std::vector<std::string>{"SetVariable(\"flv.volume\", \"30\") -> S_OK"});
    EXPECT_TRUE(player->FlvMode());
}

TEST_F(Player, SetsTheSkinVariableAtOnce) {
    standin->ClearLog();
    player->SetFLVPlaybackSkin(flvnoneskin);
    EXPECT_EQ(Variable(L"flv.skin"), L"");
    player->SetFLVPlaybackSkin(flvnoneskin);
    player->SetFLVPlaybackSkin(static_cast<TqelFLVSkins>(7)); // stored, sets nothing
    EXPECT_EQ(MovieCalls(), std::vector<std::string>{"SetVariable(\"flv.skin\", \"\") -> S_OK"});
    player->SetFLVPlaybackSkin(flvmojaveskin);
    EXPECT_EQ(Variable(L"flv.skin"), L"mojave.swf");
}

// ---- the control's settings

TEST_F(Player, PublishesTheControlsSettingsThroughTheControlOnEveryAccess) {
    using P = TqelFlashPlayer;
    struct TInteger {
        DISPID dispid;
        int32_t (P::*get)();
        void (P::*set)(int32_t);
    };
    struct TBoolean {
        DISPID dispid;
        bool (P::*get)();
        void (P::*set)(bool);
    };
    struct TText {
        DISPID dispid;
        std::wstring (P::*get)();
        void (P::*set)(const std::wstring&);
    };
    const TInteger integers[] = {{105, &P::Quality, &P::SetQuality},
                                 {107, &P::FrameNum, &P::SetFrameNum},
                                 {120, &P::ScaleMode, &P::SetScaleMode},
                                 {121, &P::AlignMode, &P::SetAlignMode},
                                 {123, &P::BackgroundColor, &P::SetBackgroundColor}};
    const TBoolean booleans[] = {{106, &P::Loop, &P::SetLoop},
                                 {125, &P::Playing, &P::SetPlaying},
                                 {135, &P::Menu, &P::SetMenu},
                                 {138, &P::DeviceFont, &P::SetDeviceFont},
                                 {139, &P::EmbedMovie, &P::SetEmbedMovie},
                                 {192, &P::SeamlessTabbing, &P::SetSeamlessTabbing}};
    const TText texts[] = {{134, &P::SAlign, &P::SetSAlign},
                           {136, &P::Base, &P::SetBase},
                           {137, &P::Scale, &P::SetScale},
                           {140, &P::BGColor, &P::SetBGColor},
                           {141, &P::Quality2, &P::SetQuality2},
                           {159, &P::SWRemote, &P::SetSWRemote},
                           {170, &P::FlashVars, &P::SetFlashVars},
                           {171, &P::AllowScriptAccess, &P::SetAllowScriptAccess},
                           {190, &P::MovieData, &P::SetMovieData}};
    // What the control holds, as text.
    auto held = [&](DISPID dispid) {
        VARIANT v, text;
        VariantInit(&v);
        VariantInit(&text);
        standin->GetProperty(dispid, &v);
        VariantChangeType(&text, &v, 0, VT_BSTR);
        const std::string result = WideToAnsi(BstrText(V_BSTR(&text)));
        VariantClear(&v);
        VariantClear(&text);
        return result;
    };
    // What the player sent: the type's own variant.
    auto sent = [&](DISPID dispid, const std::string& value) {
        return LogOf(*player).back() ==
               "Invoke(" + std::to_string(dispid) + ", PROPERTYPUT, " + value + ") -> S_OK";
    };
    // Written, held by the control, read back; read again after the control's value changed
    // behind the player's back.
    VARIANT other;
    for (const TInteger& p : integers) {
        (player->*p.set)(-7);
        EXPECT_TRUE(sent(p.dispid, "I4 -7")) << p.dispid;
        EXPECT_EQ(held(p.dispid), "-7") << p.dispid;
        EXPECT_EQ((player->*p.get)(), -7) << p.dispid;
        V_VT(&other) = VT_I4;
        V_I4(&other) = 12;
        player->WriteProperty(p.dispid, other);
        EXPECT_EQ((player->*p.get)(), 12) << p.dispid;
    }
    for (const TBoolean& p : booleans) {
        (player->*p.set)(false);
        EXPECT_TRUE(sent(p.dispid, "BOOL 0")) << p.dispid;
        EXPECT_FALSE((player->*p.get)()) << p.dispid;
        (player->*p.set)(true);
        EXPECT_TRUE(sent(p.dispid, "BOOL -1")) << p.dispid;
        EXPECT_EQ(held(p.dispid), "-1") << p.dispid; // read as true
        EXPECT_TRUE((player->*p.get)()) << p.dispid;
        V_VT(&other) = VT_BOOL;
        V_BOOL(&other) = VARIANT_FALSE;
        player->WriteProperty(p.dispid, other);
        EXPECT_FALSE((player->*p.get)()) << p.dispid;
    }
    for (const TText& p : texts) {
        (player->*p.set)(L"files/x");
        EXPECT_TRUE(sent(p.dispid, "BSTR \"files/x\"")) << p.dispid;
        EXPECT_EQ(held(p.dispid), "files/x") << p.dispid;
        EXPECT_EQ((player->*p.get)(), L"files/x") << p.dispid;
        (player->*p.set)(L""); // sent as a null string
        EXPECT_TRUE(sent(p.dispid, "BSTR null")) << p.dispid;
        EXPECT_EQ((player->*p.get)(), L"") << p.dispid;
    }
    // None of them is part of the stored description.
    TMemoryStream description;
    WriteStoredDescription(description, *player, "qelflshplyr1");
    const std::string stored(reinterpret_cast<const char*>(description.Memory()),
                             static_cast<size_t>(description.Size()));
    EXPECT_NE(stored.find("ControlData"), std::string::npos);
    for (const char* name : {"Quality", "Loop", "Menu", "Scale", "FlashVars", "Seamless"})
        EXPECT_EQ(stored.find(name), std::string::npos) << name;
}

// ---- failures of the control

TEST_F(Player, RaisesTheControlsFailuresToTheCaller) {
    const auto codeOf = [](const std::function<void()>& call) {
        try {
            call();
            return S_OK;
        } catch (const TOleError& e) {
            return e.Code();
        }
    };
    // A control without the movie interface; it is asked again next time.
    standin->FailCall(L"QueryInterface(IShockwaveFlash)", E_NOINTERFACE);
    EXPECT_EQ(codeOf([&] { player->LoadMovieUrl(0, L"book.swf"); }), E_NOINTERFACE);
    standin->FailCall(L"QueryInterface(IShockwaveFlash)", S_OK);

    standin->FailCall(L"LoadMovie", E_ACCESSDENIED);
    EXPECT_EQ(codeOf([&] { player->LoadMovieUrl(0, L"book.swf"); }), E_ACCESSDENIED);
    EXPECT_EQ(player->Movie(), L"");
    standin->FailCall(L"LoadMovie", S_OK);
    standin->FailCall(L"FlashVersion", E_UNEXPECTED);
    standin->ClearLog();
    EXPECT_EQ(codeOf([&] { player->SetMovie(L"book.swf"); }), E_UNEXPECTED);
    EXPECT_TRUE(LoadedUrl(0).empty());
    standin->FailCall(L"FlashVersion", S_OK);
    // Steps already done stay done: the playback movie is loading without its variables.
    standin->FailCall(L"SetVariable", E_FAIL);
    EXPECT_EQ(codeOf([&] { player->LoadMovieUrl(0, L"intro.flv"); }), E_FAIL);
    EXPECT_EQ(LoadedUrl(0), L"flvplayback.swf");
    EXPECT_FALSE(player->FlvMode());
    EXPECT_TRUE(hosted.errors.empty());
}

// ---- script commands

TEST_F(Player, HandsScriptCommandsOverFromTheMessageLoop) {
    std::vector<std::pair<std::wstring, std::wstring>> seen;
    player->OnHandleFSCommand = [&](TqelFlashPlayer& sender, const std::wstring& command,
                                    const std::wstring& args) {
        EXPECT_EQ(&sender, player);
        seen.emplace_back(command, args);
    };
    auto raise = [&](const wchar_t* command, const wchar_t* args) {
        VARIANT v[2];
        V_VT(&v[0]) = VT_BSTR;
        V_BSTR(&v[0]) = SysAllocString(command);
        V_VT(&v[1]) = VT_BSTR;
        V_BSTR(&v[1]) = SysAllocString(args);
        EXPECT_EQ(standin->RaiseEvent(FlashEvent::kFSCommand, 2, v), S_OK);
        VariantClear(&v[0]);
        VariantClear(&v[1]);
    };
    raise(L"fullscreen", L"true");
    raise(L"fullscreen", L"false");
    EXPECT_TRUE(seen.empty()); // never inside the control's call
    EXPECT_EQ(player->PendingCommand(), L"fullscreen");
    EXPECT_EQ(player->PendingArgs(), L"false");
    hosted.application->ProcessMessages();
    EXPECT_EQ(seen, (std::vector<std::pair<std::wstring, std::wstring>>{{L"fullscreen", L"false"},
                                                                        {L"", L""}}));
    EXPECT_TRUE(player->PendingCommand().empty());
    EXPECT_TRUE(player->PendingArgs().empty());

    // Without a handler the message only empties the pair.
    player->OnHandleFSCommand = nullptr;
    raise(L"quit", L"");
    hosted.application->ProcessMessages();
    EXPECT_TRUE(player->PendingCommand().empty());

    // A message for a player destroyed meanwhile, or for none, is ignored; a player created
    // afterwards never receives it.
    int later = 0;
    raise(L"fullscreen", L"true");
    delete player;
    PostMessageA(gCommandHandler->Handle(), kFSCommandMessage, 0, 0);
    PostMessageA(gCommandHandler->Handle(), kFSCommandMessage, 0x7FFFFFF0, 0);
    TqelFlashPlayer* next = NewPlayer();
    next->OnHandleFSCommand = [&](TqelFlashPlayer&, const std::wstring&, const std::wstring&) {
        ++later;
    };
    hosted.application->ProcessMessages();
    EXPECT_EQ(later, 0);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_TRUE(hosted.errors.empty());
}

TEST_F(Player, AFailingOrDestroyingCommandHandlerRunsNoCommandTwice) {
    std::vector<std::wstring> seen;
    player->OnHandleFSCommand = [&](TqelFlashPlayer& sender, const std::wstring& command,
                                    const std::wstring& args) {
        seen.push_back(command + L" " + args);
        if (command == L"fail")
            throw TError("the command failed");
        if (command == L"close")
            delete &sender;
    };
    VARIANT v[2];
    auto raise = [&](const wchar_t* command) {
        V_VT(&v[0]) = VT_BSTR;
        V_BSTR(&v[0]) = SysAllocString(command);
        V_VT(&v[1]) = VT_BSTR;
        V_BSTR(&v[1]) = SysAllocString(L"now");
        EXPECT_EQ(standin->RaiseEvent(FlashEvent::kFSCommand, 2, v), S_OK);
        VariantClear(&v[0]);
        VariantClear(&v[1]);
    };
    raise(L"fail");
    raise(L"fail");
    hosted.application->ProcessMessages();
    // The error is shown once; the second message finds nothing pending.
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"fail now", L" "}));
    EXPECT_EQ(hosted.errors, std::vector<std::string>{"the command failed"});

    seen.clear();
    raise(L"close");
    raise(L"close");
    hosted.application->ProcessMessages();
    EXPECT_EQ(seen, std::vector<std::wstring>{L"close now"});
}

// ---- the player's life

TEST_F(Player, EventsRaisedWhileTheControlClosesOrDeactivatesFindAWholePlayer) {
    std::vector<std::string> seen;
    const uint32_t serial = player->Serial();
    // Each handler looks at the player it is given: still the live player of its serial.
    const auto whole = [serial](TqelFlashPlayer& sender) {
        return TqelFlashPlayer::FindLive(serial) == &sender && sender.Serial() == serial;
    };
    player->SetOnReadyStateChange([&](TqelFlashPlayer& sender, int32_t state) {
        seen.push_back("ready " + std::to_string(state) + (whole(sender) ? "" : " (gone)"));
    });
    player->SetOnProgress([&](TqelFlashPlayer& sender, int32_t percent) {
        seen.push_back("progress " + std::to_string(percent) + (whole(sender) ? "" : " (gone)"));
    });
    player->SetOnFlashCall([&](TqelFlashPlayer& sender, const std::wstring& request) {
        seen.push_back("call " + WideToAnsi(request) + (whole(sender) ? "" : " (gone)"));
    });
    player->OnHandleFSCommand = [&](TqelFlashPlayer&, const std::wstring&, const std::wstring&) {
        seen.push_back("command");
    };
    auto raiseDuring = [&](const wchar_t* call, DISPID dispid, std::vector<VARIANT> args) {
        TStandinAction raise{};
        raise.kind = kActRaiseEvent;
        raise.dispid = dispid;
        raise.count = static_cast<ULONG>(args.size());
        raise.args = args.data();
        EXPECT_EQ(standin->ActDuring(call, 1, &raise), S_OK);
        for (VARIANT& v : args)
            VariantClear(&v);
    };
    auto integer = [](LONG value) {
        VARIANT v;
        V_VT(&v) = VT_I4;
        V_I4(&v) = value;
        return v;
    };
    auto text = [](const wchar_t* value) {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(value);
        return v;
    };

    raiseDuring(L"InPlaceDeactivate", FlashEvent::kReadyStateChange, {integer(2)});
    player->InPlaceIntf()->InPlaceDeactivate();
    EXPECT_EQ(seen, std::vector<std::string>{"ready 2"});
    EXPECT_EQ(player->InPlaceIntf(), nullptr);

    seen.clear();
    raiseDuring(L"Close", FlashEvent::kReadyStateChange, {integer(4)});
    raiseDuring(L"Close", FlashEvent::kOnProgress, {integer(100)});
    raiseDuring(L"Close", FlashEvent::kFlashCall, {text(L"<invoke name=\"bye\"/>")});
    raiseDuring(L"Close", FlashEvent::kFSCommand, {text(L"fullscreen"), text(L"false")});
    delete player;
    hosted.application->ProcessMessages(); // the command queued while closing finds no player
    EXPECT_EQ(seen,
              (std::vector<std::string>{"ready 4", "progress 100", "call <invoke name=\"bye\"/>"}));
    EXPECT_TRUE(hosted.errors.empty());
}

// Without an application nobody can be told why the control failed: the construction fails, and
// leaves nothing a posted message can find.
TEST(PlayerWithoutApplication, AFailedConstructionLeavesNothingAPostedMessageCanFind) {
    TComApartment apartment;
    TStandinServer server;
    const uint32_t last = TqelFlashPlayer(nullptr).Serial();
    SetEnvironmentVariableW(L"LEAFTURN_STANDIN_FAIL", L"DoVerb=0x80004005");
    EXPECT_THROW(TqelFlashPlayer(nullptr), TOleError);
    SetEnvironmentVariableW(L"LEAFTURN_STANDIN_FAIL", nullptr);
    EXPECT_EQ(TqelFlashPlayer::FindLive(last + 1), nullptr);
    PostMessageA(gCommandHandler->Handle(), kFSCommandMessage, last + 1, 0);
    for (MSG message; PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);)
        DispatchMessageA(&message);
    EXPECT_GT(TqelFlashPlayer(nullptr).Serial(), last + 1); // the number is never given again
}

TEST_F(Player, AHandlerReplacedWhileItRunsLivesUntilItReturns) {
    // Held only by a handler: it goes when the handler does, and tells whether that was early.
    struct TWatch {
        bool& running;
        bool& early;
        ~TWatch() { early = early || running; }
    };
    bool running = false, early = false;
    int calls = 0;
    player->SetOnReadyStateChange([watch = std::make_shared<TWatch>(running, early), &running,
                                   &calls](TqelFlashPlayer& sender, int32_t) {
        running = true;
        ++calls;
        sender.SetOnReadyStateChange(nullptr);
        running = false;
    });
    player->OnHandleFSCommand = [watch = std::make_shared<TWatch>(running, early), &running,
                                 &calls](TqelFlashPlayer& sender, const std::wstring&,
                                         const std::wstring&) {
        running = true;
        ++calls;
        sender.OnHandleFSCommand = nullptr;
        running = false;
    };
    VARIANT v[2];
    V_VT(&v[0]) = VT_I4;
    V_I4(&v[0]) = 3;
    EXPECT_EQ(standin->RaiseEvent(FlashEvent::kReadyStateChange, 1, v), S_OK);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(early);
    V_VT(&v[0]) = VT_BSTR;
    V_BSTR(&v[0]) = SysAllocString(L"quit");
    V_VT(&v[1]) = VT_BSTR;
    V_BSTR(&v[1]) = nullptr;
    EXPECT_EQ(standin->RaiseEvent(FlashEvent::kFSCommand, 2, v), S_OK);
    VariantClear(&v[0]);
    hosted.application->ProcessMessages();
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(early);
    EXPECT_FALSE(player->OnHandleFSCommand);
}
