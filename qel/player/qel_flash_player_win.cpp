// The player: the hosted movie-player control, movies loaded by name or from streams, the
// requests' policy, volume, FLV playback and the deferred script commands.

#include <unordered_map>

#include "base/platform.h"
#include "base/text_win.h"
#include "package/PackageLookup.h"
#include "qel/host/qel_flash_download_win.h"
#include "qel/host/qel_flash_requests.h"
#include "qel/player/qel_flash.h"
#include "qel/player/qel_flash_collections.h"
#include "qel/player/qel_flash_volume_movie.h"
#include "ui/application_win.h"

TqelCommandHandler* gCommandHandler = nullptr;

namespace {

TControlDescriptor MakeFlashDescriptor() {
    TControlDescriptor descriptor;
    descriptor.classId = CLSID_ShockwaveFlash;
    descriptor.eventInterface = DIID_ShockwaveFlashEvents;
    descriptor.events = {FlashEvent::kReadyStateChange, FlashEvent::kOnProgress,
                         FlashEvent::kFSCommand, FlashEvent::kFlashCall};
    return descriptor;
}

TControlDescriptor& FlashDescriptor() {
    static TControlDescriptor* descriptor = new TControlDescriptor(MakeFlashDescriptor());
    return *descriptor;
}

constexpr size_t kReadyStateSlot = 0, kProgressSlot = 1, kFSCommandSlot = 2, kFlashCallSlot = 3;

// Players by serial number, while they live: a posted message can only reach a live one.
std::unordered_map<uint32_t, TqelFlashPlayer*>& LivePlayers() {
    static auto* players = new std::unordered_map<uint32_t, TqelFlashPlayer*>;
    return *players;
}
uint32_t gLastSerial = 0;

std::wstring Wide(std::string_view ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring VirtualUrl(const std::wstring& name) {
    return Wide(kVirtualBaseUrl) + name;
}

bool Contains(const std::wstring& text, const wchar_t* part) {
    return text.find(part) != std::wstring::npos;
}

const wchar_t* SkinMovie(TqelFLVSkins skin) {
    switch (skin) {
    case flvclearskin:
        return L"clearoverall.swf";
    case flvsteelskin:
        return L"steel.swf";
    case flvmojaveskin:
        return L"mojave.swf";
    case flvnoneskin:
        return L"";
    }
    return nullptr;
}

} // namespace

TqelFlashPlayer::TqelFlashPlayer(TComponent* owner, IClassFactory* builtIn,
                                 const std::string& packagePath)
    : TqelOleControl(owner), builtIn_(builtIn) {
    resolver_.SetPackagePath(packagePath);
    SetFileSource(&resolver_);
    do
        ++gLastSerial;
    while (gLastSerial == 0 || LivePlayers().count(gLastSerial));
    serial_ = gLastSerial;
    try {
        ConstructHostedControl();
        WriteWideProperty(FlashProperty::kWMode, L"Transparent");
        eventSlots_[kFSCommandSlot] = {{TEventParameter::Text, TEventParameter::Text},
                                       [this](const auto& arguments) {
                                           QueueFSCommand(std::get<std::wstring>(arguments[0]),
                                                          std::get<std::wstring>(arguments[1]));
                                       }};
        ActivateControl();
    } catch (...) {
        // A control that cannot be initialised or activated is let go: the player goes on as one
        // whose control could not be made, and the reader is told why. Without an application
        // the caller is.
        AbandonControl();
        TApplication* application = TApplication::Instance();
        if (!application)
            throw;
        application->HandleCurrentException();
    }
    // Last: a player that failed to be made is never found by a message posted meanwhile.
    LivePlayers()[serial_] = this;
}

TqelFlashPlayer::~TqelFlashPlayer() {
    // The control may raise events while it closes: they find the player whole.
    ReleaseControl();
    SetFileSource(nullptr);
    LivePlayers().erase(serial_);
    flash_.Reset();
}

void TqelFlashPlayer::DescribeControl() {
    SetDescriptor(FlashDescriptor(), eventSlots_.data());
}

HRESULT TqelFlashPlayer::CreateControlObject(IOleObject_Flash** object) {
    // Decided before anything is created: a book without its movie needs no player control,
    // and the index that tells is read (and kept) for the book's files anyway.
    HRESULT result = E_FAIL;
    if (!builtIn_ || PackageHasEntry("book.swf", resolver_.PackagePath()))
        result = TqelOleControl::CreateControlObject(object);
    if (FAILED(result) && builtIn_) {
        result =
            builtIn_->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(object));
        hostsBuiltIn_ = SUCCEEDED(result);
    }
    return result;
}

void* TqelFlashPlayer::QueryDerivedInterface(REFIID iid) {
    return iid == IID_IBindHost ? static_cast<IBindHost*>(this) : nullptr;
}

IShockwaveFlash& TqelFlashPlayer::GetFlashInterface() {
    if (!flash_ && (!HostedObject() || FAILED(QueryFor(HostedObject(), flash_))))
        throw TOleError(E_NOINTERFACE, "Interface not supported");
    return *flash_.Get();
}

void TqelFlashPlayer::LoadMovieUrl(int32_t layer, const std::wstring& name) {
    if (CreationFailed())
        return;
    IShockwaveFlash& flash = GetFlashInterface();
    long version = 0;
    OleCheck(flash.FlashVersion(&version));
    const uint32_t major = static_cast<uint32_t>(version) >> 16;
    if (Contains(name, L".flv")) {
        std::wstring copy = name;
        for (wchar_t& c : copy)
            if (c == L'\\')
                c = L'/';
        OleCheck(flash.LoadMovie(layer, TBstr(L"flvplayback.swf").Get()));
        SetFlashVariable(L"flv.contentPath",
                         Contains(copy, L":/") && major < 10 ? copy : VirtualUrl(copy));
        SetSkinVariable();
        SetFlashVariable(L"flv.volume", std::to_wstring(volume_));
        movie_ = copy;
        flvMode_ = true;
    } else {
        const std::wstring url = Contains(name, L":/") && major < 10 ? name : VirtualUrl(name);
        OleCheck(flash.LoadMovie(layer, TBstr(url).Get()));
        movie_ = name;
        flvMode_ = false;
    }
    // The load may have moved the control: its in-place rectangle is set again.
    SetBounds(Left(), Top(), Width(), Height());
}

void TqelFlashPlayer::LoadMovieStream(int32_t layer, TStream& stream) {
    if (CreationFailed())
        return;
    char signature[3] = {};
    stream.SetPosition(0);
    const int64_t got = stream.Read(signature, 3);
    stream.SetPosition(0);
    const std::wstring token = Wide(FormatStreamToken(StreamToken(stream)));
    const std::wstring streamUrl = VirtualUrl(Wide(kStreamTag) + token);
    IShockwaveFlash& flash = GetFlashInterface();
    if (got == 3 && signature[0] == 'F' && signature[1] == 'L' && signature[2] == 'V') {
        OleCheck(flash.LoadMovie(layer, TBstr(L"flvplayback.swf").Get()));
        SetFlashVariable(L"flv.contentPath", streamUrl + L".flv");
        SetSkinVariable();
        SetFlashVariable(L"flv.volume", std::to_wstring(volume_));
        flvMode_ = true;
    } else {
        OleCheck(flash.LoadMovie(layer, TBstr(streamUrl + L".swf").Get()));
        flvMode_ = false;
    }
    movie_.clear();
}

void TqelFlashPlayer::SetFlashVariable(const std::wstring& name, const std::wstring& value) {
    if (CreationFailed())
        return;
    OleCheck(GetFlashInterface().SetVariable(TBstr(name).Get(), TBstr(value).Get()));
}

void TqelFlashPlayer::SetMovie(const std::wstring& movie) {
    if (movie == movie_)
        return;
    flashIndex_ = -1;
    movie_ = movie;
    // While the component is read from a stored description the name is only recorded.
    if (!Loading())
        LoadMovieUrl(0, movie_);
}

// ---- stored movies

void TqelFlashPlayer::SetFlashList(TqelFlashList* list) {
    flashList_ = list;
    if (list)
        list->FreeNotification(this);
    else
        flashIndex_ = -1;
}

void TqelFlashPlayer::SetFlashIndex(int32_t index) {
    flashIndex_ = index;
    if (!flashList_ || index < 0)
        return;
    const int32_t count = flashList_->Flashs().Count();
    if (count == 0)
        return;
    if (flashIndex_ > count - 1)
        flashIndex_ = count - 1;
    if (TMemoryStream* stream = flashList_->Flashs().Items(flashIndex_).Stream.get())
        LoadMovieStream(0, *stream);
}

void TqelFlashPlayer::Notification(TComponent* component, TOperation operation) {
    TqelOleControl::Notification(component, operation);
    // The list is not ours: once it goes, nothing may reach it; the index stays as it was.
    if (operation == TOperation::Remove && component == flashList_)
        flashList_ = nullptr;
}

TStream* TqelFlashPlayer::ListedStream(const std::string& name) {
    if (!flashList_)
        return nullptr;
    TqelFlashStream* item = flashList_->FindStream(name);
    return item ? item->Stream.get() : nullptr;
}

// ---- volume and FLV playback

void TqelFlashPlayer::SetVolume(int32_t volume) {
    if (volume < 0 || volume > 100 || volume == volume_)
        return;
    volume_ = volume;
    ApplyVolume(volume);
}

void TqelFlashPlayer::SetVolumeControl(bool volumeControl) {
    volumeControl_ = volumeControl;
    if (volumeControl && !Designing())
        ApplyVolume(volume_);
}

void TqelFlashPlayer::SetFLVPlaybackSkin(TqelFLVSkins skin) {
    if (skin == skin_)
        return;
    skin_ = skin;
    SetSkinVariable();
}

void TqelFlashPlayer::SetSkinVariable() {
    if (const wchar_t* movie = SkinMovie(skin_))
        SetFlashVariable(L"flv.skin", movie);
}

void TqelFlashPlayer::ApplyVolume(int32_t value) {
    // Without a control there is nothing to tell, and no resource needs to be found.
    if (CreationFailed())
        return;
    if (flvMode_) {
        SetFlashVariable(L"flv.volume", std::to_wstring(volume_));
        return;
    }
    std::shared_ptr<TStream> resource = OpenMovieResource("SETVOLUME");
    auto movie = std::make_unique<TMemoryStream>();
    movie->CopyFrom(*resource, resource->Size());
    if (movie->Size() > static_cast<int64_t>(kSetVolumeValueOffset))
        movie->Memory()[kSetVolumeValueOffset] = static_cast<uint8_t>(value);
    movie->SetPosition(0);
    // Kept until the next volume change: a control may fetch it after LoadMovie returns.
    volumeMovie_ = std::move(movie);
    LoadMovieStream(1, *volumeMovie_);
}

// ---- events

void TqelFlashPlayer::SetOnReadyStateChange(TqelFlashPlayerOnReadyStateChange handler) {
    eventSlots_[kReadyStateSlot] = {{TEventParameter::Integer}, nullptr};
    if (handler)
        eventSlots_[kReadyStateSlot].handler = [this, handler](const auto& arguments) {
            handler(*this, std::get<int32_t>(arguments[0]));
        };
}

void TqelFlashPlayer::SetOnProgress(TqelFlashPlayerOnProgress handler) {
    eventSlots_[kProgressSlot] = {{TEventParameter::Integer}, nullptr};
    if (handler)
        eventSlots_[kProgressSlot].handler = [this, handler](const auto& arguments) {
            handler(*this, std::get<int32_t>(arguments[0]));
        };
}

void TqelFlashPlayer::SetOnFlashCall(TqelFlashFlashCall handler) {
    eventSlots_[kFlashCallSlot] = {{TEventParameter::Text}, nullptr};
    if (handler)
        eventSlots_[kFlashCallSlot].handler = [this, handler](const auto& arguments) {
            handler(*this, std::get<std::wstring>(arguments[0]));
        };
}

void TqelFlashPlayer::QueueFSCommand(const std::wstring& command, const std::wstring& args) {
    pendingCommand_ = command;
    pendingArgs_ = args;
    if (gCommandHandler)
        PostMessageA(gCommandHandler->Handle(), kFSCommandMessage, serial_, 0);
}

void TqelFlashPlayer::DeliverFSCommand() {
    const uint32_t serial = serial_;
    // Also when the handler fails: a message still queued must not run the same command again.
    // The handler may have let the player go.
    const auto emptyPending = [serial] {
        if (TqelFlashPlayer* player = FindLive(serial)) {
            player->pendingCommand_.clear();
            player->pendingArgs_.clear();
        }
    };
    if (OnHandleFSCommand) {
        const std::wstring command = pendingCommand_, args = pendingArgs_;
        // A copy: the handler may assign OnHandleFSCommand and must live until it returns.
        const TqelFlashPlayerFSCommand handler = OnHandleFSCommand;
        try {
            handler(*this, command, args);
        } catch (...) {
            emptyPending();
            throw;
        }
    }
    emptyPending();
}

TqelFlashPlayer* TqelFlashPlayer::FindLive(uint32_t serial) {
    const auto found = LivePlayers().find(serial);
    return found == LivePlayers().end() ? nullptr : found->second;
}

// ---- IBindHost

HRESULT STDMETHODCALLTYPE TqelFlashPlayer::CreateMoniker(LPOLESTR name, IBindCtx*,
                                                         IMoniker** moniker, DWORD) {
    if (!moniker)
        return E_POINTER;
    *moniker = nullptr;
    // Decided first: a declined request or a failure hands out nothing.
    try {
        if (!resolver_.Choose(name ? name : L""))
            return E_NOTIMPL;
    } catch (...) {
        return E_FAIL;
    }
    *moniker = static_cast<IMoniker*>(this);
    AddRef();
    return S_OK;
}

// The control binds through the moniker it got; these are never needed. The caller keeps its
// references: nothing is released here.
HRESULT STDMETHODCALLTYPE TqelFlashPlayer::MonikerBindToStorage(IMoniker*, IBindCtx*,
                                                                IBindStatusCallback*, REFIID,
                                                                void**) {
    return S_OK;
}

HRESULT STDMETHODCALLTYPE TqelFlashPlayer::MonikerBindToObject(IMoniker*, IBindCtx*,
                                                               IBindStatusCallback*, REFIID,
                                                               void**) {
    return S_OK;
}

// ---- the command handler

TqelCommandHandler::TqelCommandHandler()
    : window_([this](UINT message, WPARAM wParam, LPARAM lParam) {
          return HandleMessage(message, wParam, lParam);
      }) {}

std::optional<LRESULT> TqelCommandHandler::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message != kFSCommandMessage)
        return std::nullopt;
    // A message may outlive its player: only a live one is touched.
    if (TqelFlashPlayer* player = TqelFlashPlayer::FindLive(static_cast<uint32_t>(wParam))) {
        try {
            player->DeliverFSCommand();
        } catch (...) {
            if (TApplication* application = TApplication::Instance())
                application->HandleCurrentException();
        }
    }
    return 0;
}

void QelFlashUnitStart() {
    // The download service is bound when a request first needs it.
    gCommandHandler = new TqelCommandHandler;
}

void QelFlashUnitShutdown() {
    ReleaseDownloadService();
    delete gCommandHandler;
    gCommandHandler = nullptr;
}
