#include <gtest/gtest.h>

#include "base/com_object_win.h"
#include "base/com_win.h"
#include "base/handles_win.h"
#include "base/scoped_flag.h"

TEST(StreamAdapter, ServesItsStreamUntilTheLastReferenceGoesAndThenLetsGoOfIt) {
    auto stream = std::make_shared<TStringStream>("bytes");
    const std::weak_ptr<TStream> watch = stream;
    ComPtr<IStream> adapter = MakeStreamAdapter(std::move(stream));
    ComPtr<IStream> second = adapter;
    adapter.Reset();
    char bytes[8] = {};
    ULONG read = 0;
    ASSERT_HRESULT_SUCCEEDED(second->Read(bytes, sizeof bytes, &read));
    EXPECT_EQ(std::string(bytes, read), "bytes");
    EXPECT_FALSE(watch.expired());
    second.Reset();
    EXPECT_TRUE(watch.expired());
}

namespace {

// {6F1D2C3B-4A59-4E86-9B70-1C2D3E4F5A6B}
constexpr IID kTestSelf = {
    0x6F1D2C3B, 0x4A59, 0x4E86, {0x9B, 0x70, 0x1C, 0x2D, 0x3E, 0x4F, 0x5A, 0x6B}};

// Two interfaces, one of them under two names, and a part counted with it.
class TTwoFaced final : public TComObject<TTwoFaced, IPersistStream, IOleWindow> {
public:
    static constexpr const IID& kSelf = kTestSelf;
    static const auto& Faces() {
        static const TFace faces[] = {TFace::As<IPersistStream>(IID_IPersistStream),
                                      TFace::As<IPersistStream>(IID_IPersist),
                                      TFace::As<IOleWindow>(IID_IOleWindow)};
        return faces;
    }
    explicit TTwoFaced(bool& gone) : gone_(gone), part_(*static_cast<IOleWindow*>(this)) {}
    ~TTwoFaced() { gone_ = true; }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_FAIL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }

    class TPart final : public TComPart<TPart, IOleWindow> {
    public:
        using TComPart::TComPart;
        static const auto& Faces() {
            static const TFace faces[] = {TFace::As<IOleWindow>(IID_IOleWindow)};
            return faces;
        }
        HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_FAIL; }
        HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }
    };
    TPart& Part() { return part_; }

private:
    bool& gone_;
    TPart part_;
};

} // namespace

TEST(ComObject, AnswersFromItsTableWithOneIdentityAndGoesAtTheLastRelease) {
    bool gone = false;
    auto* object = new TTwoFaced(gone);
    IOleWindow* window = object;
    IPersistStream* persist = object;
    EXPECT_EQ(window->AddRef(), 2u);

    IUnknown *a = nullptr, *b = nullptr;
    ASSERT_EQ(window->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a)), S_OK);
    ASSERT_EQ(persist->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b)), S_OK);
    EXPECT_EQ(a, b);
    void* named = nullptr;
    ASSERT_EQ(window->QueryInterface(IID_IPersist, &named), S_OK);
    EXPECT_EQ(named, static_cast<void*>(persist));
    EXPECT_EQ(object->References(), 5);

    void* none = &gone;
    EXPECT_EQ(persist->QueryInterface(IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(persist->QueryInterface(IID_IPersist, nullptr), E_POINTER);

    // The object is found again behind its faces, uncounted; another object's gives nothing.
    EXPECT_EQ(ComObjectOf<TTwoFaced>(window), object);
    EXPECT_EQ(ComObjectOf<TTwoFaced>(persist), object);
    const ComPtr<IStream> other = MakeStreamAdapter(std::make_shared<TStringStream>(""));
    EXPECT_EQ(ComObjectOf<TTwoFaced>(other.Get()), nullptr);

    // The part answers for itself and keeps the whole alive.
    IUnknown* part = nullptr;
    ASSERT_EQ(object->Part().QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&part)), S_OK);
    EXPECT_EQ(part, static_cast<IUnknown*>(static_cast<IOleWindow*>(&object->Part())));
    EXPECT_EQ(object->References(), 6);

    for (IUnknown* held :
         {a, b, static_cast<IUnknown*>(named), part, static_cast<IUnknown*>(window)})
        held->Release();
    EXPECT_FALSE(gone);
    EXPECT_EQ(persist->Release(), 0u);
    EXPECT_TRUE(gone);
}

TEST(Owners, GiveBackWhatTheyTookOnEveryExit) {
    // A nested guard of a flag leaves it as the outer one set it; a depth counts down on a throw.
    bool flag = false;
    int depth = 0;
    {
        const TScopedFlag outer(flag);
        { const TScopedFlag inner(flag); }
        EXPECT_TRUE(flag);
        try {
            const TScopedDepth nested(depth);
            EXPECT_EQ(depth, 1);
            throw TError("out");
        } catch (const TError&) {
        }
    }
    EXPECT_FALSE(flag);
    EXPECT_EQ(depth, 0);

    // What a device context held before comes back, however many objects were selected since.
    const TMemoryDc dc(CreateCompatibleDC(nullptr));
    const HGDIOBJ original = GetCurrentObject(dc.Get(), OBJ_BITMAP);
    const TGdiObject first(CreateBitmap(1, 1, 1, 1, nullptr)),
        second(CreateBitmap(1, 1, 1, 1, nullptr));
    {
        const TSelectedObject selected(dc.Get(), first.Get());
        selected.Select(second.Get());
        EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), second.Get());
    }
    EXPECT_EQ(GetCurrentObject(dc.Get(), OBJ_BITMAP), original);

    const TGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, 4));
    {
        const TGlobalLock locked(memory.Get());
        ASSERT_NE(locked.Data(), nullptr);
        EXPECT_EQ(GlobalFlags(memory.Get()) & GMEM_LOCKCOUNT, 1u);
    }
    EXPECT_EQ(GlobalFlags(memory.Get()) & GMEM_LOCKCOUNT, 0u);
}
