#pragma once
// The player component: the host of the movie-player control (or of the control that takes its
// place), movies loaded by name or from streams, volume, FLV playback and the deferred script
// commands.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <windows.h>

#include "qel/host/qel_flash_olehost.h"
#include "qel/player/qel_flash_resolver.h"
#include "ui/hidden_window_win.h"

// The skins of the FLV playback movie.
enum TqelFLVSkins : int32_t {
    flvclearskin = 0,
    flvsteelskin = 1,
    flvmojaveskin = 2,
    flvnoneskin = 3
};

class TqelFlashPlayer;
using TqelFlashPlayerOnReadyStateChange =
    std::function<void(TqelFlashPlayer& sender, int32_t newState)>;
using TqelFlashPlayerOnProgress = std::function<void(TqelFlashPlayer& sender, int32_t percentDone)>;
using TqelFlashFlashCall =
    std::function<void(TqelFlashPlayer& sender, const std::wstring& request)>;
using TqelFlashPlayerFSCommand = std::function<void(
    TqelFlashPlayer& sender, const std::wstring& command, const std::wstring& args)>;

// Posted to the command handler's window for a player's pending script command; WParam names
// the player by its serial number.
constexpr UINT kFSCommandMessage = WM_USER + 1220;

class TqelFlashPlayer : public TqelOleControl, public IBindHost {
public:
    // With builtIn, the control that class object makes is hosted instead of the player control
    // when the package at packagePath (empty: the running executable) has no "book.swf" entry,
    // or when the player control cannot be created.
    explicit TqelFlashPlayer(TComponent* owner, IClassFactory* builtIn = nullptr,
                             const std::string& packagePath = "");
    ~TqelFlashPlayer() override;

    // Whether the hosted control is the built-in one.
    bool HostsBuiltInControl() const { return hostsBuiltIn_; }

    // The control's player interface (cached); raises when the control has none.
    IShockwaveFlash& GetFlashInterface();
    // Loads a movie or an FLV video given by name or URL into a layer (0: the base movie).
    void LoadMovieUrl(int32_t layer, const std::wstring& name);
    // Loads the movie or FLV video a stream holds; the stream must live while it is fetched.
    void LoadMovieStream(int32_t layer, TStream& stream);
    void SetFlashVariable(const std::wstring& name, const std::wstring& value);

    const std::wstring& Movie() const { return movie_; }
    void SetMovie(const std::wstring& movie);
    bool FlvMode() const { return flvMode_; }

    // The stored movies (not owned); the player is told when the list goes away.
    TqelFlashList* FlashList() const { return flashList_; }
    void SetFlashList(TqelFlashList* list);
    // The stored movie last selected, -1 for none; selecting loads it into layer 0.
    int32_t FlashIndex() const { return flashIndex_; }
    void SetFlashIndex(int32_t index);

    int32_t Volume() const { return volume_; }
    void SetVolume(int32_t volume);
    bool VolumeControl() const { return volumeControl_; }
    void SetVolumeControl(bool volumeControl);
    TqelFLVSkins FLVPlaybackSkin() const { return skin_; }
    void SetFLVPlaybackSkin(TqelFLVSkins skin);
    void ApplyVolume(int32_t value);

    // The control's own settings, read from and written to the control on every access (never
    // kept here, never part of the stored description).
    using TqelOleControl::SetMenu; // the frame's, beside the setting's
    int32_t Quality() { return ReadIntProperty(FlashProperty::kQuality); }
    void SetQuality(int32_t value) { WriteIntProperty(FlashProperty::kQuality, value); }
    bool Loop() { return ReadBoolProperty(FlashProperty::kLoop); }
    void SetLoop(bool value) { WriteBoolProperty(FlashProperty::kLoop, value); }
    int32_t FrameNum() { return ReadIntProperty(FlashProperty::kFrameNum); }
    void SetFrameNum(int32_t value) { WriteIntProperty(FlashProperty::kFrameNum, value); }
    int32_t ScaleMode() { return ReadIntProperty(FlashProperty::kScaleMode); }
    void SetScaleMode(int32_t value) { WriteIntProperty(FlashProperty::kScaleMode, value); }
    int32_t AlignMode() { return ReadIntProperty(FlashProperty::kAlignMode); }
    void SetAlignMode(int32_t value) { WriteIntProperty(FlashProperty::kAlignMode, value); }
    int32_t BackgroundColor() { return ReadIntProperty(FlashProperty::kBackgroundColor); }
    void SetBackgroundColor(int32_t value) {
        WriteIntProperty(FlashProperty::kBackgroundColor, value);
    }
    bool Playing() { return ReadBoolProperty(FlashProperty::kPlaying); }
    void SetPlaying(bool value) { WriteBoolProperty(FlashProperty::kPlaying, value); }
    std::wstring SAlign() { return ReadWideProperty(FlashProperty::kSAlign); }
    void SetSAlign(const std::wstring& value) { WriteWideProperty(FlashProperty::kSAlign, value); }
    bool Menu() { return ReadBoolProperty(FlashProperty::kMenu); }
    void SetMenu(bool value) { WriteBoolProperty(FlashProperty::kMenu, value); }
    std::wstring Base() { return ReadWideProperty(FlashProperty::kBase); }
    void SetBase(const std::wstring& value) { WriteWideProperty(FlashProperty::kBase, value); }
    std::wstring Scale() { return ReadWideProperty(FlashProperty::kScale); }
    void SetScale(const std::wstring& value) { WriteWideProperty(FlashProperty::kScale, value); }
    bool DeviceFont() { return ReadBoolProperty(FlashProperty::kDeviceFont); }
    void SetDeviceFont(bool value) { WriteBoolProperty(FlashProperty::kDeviceFont, value); }
    bool EmbedMovie() { return ReadBoolProperty(FlashProperty::kEmbedMovie); }
    void SetEmbedMovie(bool value) { WriteBoolProperty(FlashProperty::kEmbedMovie, value); }
    std::wstring BGColor() { return ReadWideProperty(FlashProperty::kBGColor); }
    void SetBGColor(const std::wstring& value) {
        WriteWideProperty(FlashProperty::kBGColor, value);
    }
    std::wstring Quality2() { return ReadWideProperty(FlashProperty::kQuality2); }
    void SetQuality2(const std::wstring& value) {
        WriteWideProperty(FlashProperty::kQuality2, value);
    }
    std::wstring SWRemote() { return ReadWideProperty(FlashProperty::kSWRemote); }
    void SetSWRemote(const std::wstring& value) {
        WriteWideProperty(FlashProperty::kSWRemote, value);
    }
    std::wstring FlashVars() { return ReadWideProperty(FlashProperty::kFlashVars); }
    void SetFlashVars(const std::wstring& value) {
        WriteWideProperty(FlashProperty::kFlashVars, value);
    }
    std::wstring AllowScriptAccess() { return ReadWideProperty(FlashProperty::kAllowScriptAccess); }
    void SetAllowScriptAccess(const std::wstring& value) {
        WriteWideProperty(FlashProperty::kAllowScriptAccess, value);
    }
    std::wstring MovieData() { return ReadWideProperty(FlashProperty::kMovieData); }
    void SetMovieData(const std::wstring& value) {
        WriteWideProperty(FlashProperty::kMovieData, value);
    }
    bool SeamlessTabbing() { return ReadBoolProperty(FlashProperty::kSeamlessTabbing); }
    void SetSeamlessTabbing(bool value) {
        WriteBoolProperty(FlashProperty::kSeamlessTabbing, value);
    }

    void SetOnReadyStateChange(TqelFlashPlayerOnReadyStateChange handler);
    void SetOnProgress(TqelFlashPlayerOnProgress handler);
    void SetOnFlashCall(TqelFlashFlashCall handler);
    // Runs from the message loop, after the control's event call has returned.
    TqelFlashPlayerFSCommand OnHandleFSCommand;

    const std::wstring& PendingTarget() const { return resolver_.PendingTarget(); }
    const std::wstring& PendingCommand() const { return pendingCommand_; }
    const std::wstring& PendingArgs() const { return pendingArgs_; }
    // Where "<exe>" requests are read from; empty (the default) for the running executable.
    void SetPackagePath(const std::string& path) { resolver_.SetPackagePath(path); }

    // The number that names this player in posted messages; never given to another player.
    uint32_t Serial() const { return serial_; }
    // The live player of that serial number, or null.
    static TqelFlashPlayer* FindLive(uint32_t serial);
    // Runs OnHandleFSCommand with the pending pair and empties it.
    void DeliverFSCommand();

    // ---- IUnknown (the component's), IBindHost
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return TqelOleControl::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return TqelOleControl::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return TqelOleControl::Release(); }
    // Chooses where the control's request is served from; the site's moniker serves it.
    HRESULT STDMETHODCALLTYPE CreateMoniker(LPOLESTR name, IBindCtx* context, IMoniker** moniker,
                                            DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE MonikerBindToStorage(IMoniker* moniker, IBindCtx* context,
                                                   IBindStatusCallback* callback, REFIID iid,
                                                   void** object) override;
    HRESULT STDMETHODCALLTYPE MonikerBindToObject(IMoniker* moniker, IBindCtx* context,
                                                  IBindStatusCallback* callback, REFIID iid,
                                                  void** object) override;

protected:
    void DescribeControl() override;
    void* QueryDerivedInterface(REFIID iid) override;
    void Notification(TComponent* component, TOperation operation) override;
    HRESULT CreateControlObject(IOleObject_Flash** object) override;

private:
    // The stored movie that serves a "<list>" request of this name, or null.
    TStream* ListedStream(const std::string& name);
    void QueueFSCommand(const std::wstring& command, const std::wstring& args);
    void SetSkinVariable();

    TqelResolver resolver_{[this](const std::string& name) { return ListedStream(name); }};
    std::array<TEventSlot, 4> eventSlots_;
    ComPtr<IClassFactory> builtIn_;
    bool hostsBuiltIn_ = false;
    ComPtr<IShockwaveFlash> flash_;
    std::wstring movie_;
    bool flvMode_ = false;
    TqelFlashList* flashList_ = nullptr;
    int32_t flashIndex_ = -1;
    int32_t volume_ = 100;
    bool volumeControl_ = false;
    TqelFLVSkins skin_ = flvclearskin;
    // The last volume movie: kept, so that a control fetching it later still finds it.
    std::unique_ptr<TMemoryStream> volumeMovie_;
    std::wstring pendingCommand_, pendingArgs_;
    uint32_t serial_ = 0;
};

// Receives the posted script commands of every player on a hidden window of its own.
class TqelCommandHandler {
public:
    TqelCommandHandler();
    HWND Handle() const { return window_.Handle(); }

private:
    std::optional<LRESULT> HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    THiddenWindow window_;
};

// The process's command handler, between unit start and shutdown.
extern TqelCommandHandler* gCommandHandler;

// Creates the command handler; shutdown frees it and the download service, if it was bound.
void QelFlashUnitStart();
void QelFlashUnitShutdown();
