#include "qel/host/qel_winapi_win.h"

namespace {

HMODULE LoadByName(const char* name) {
    return ::LoadLibraryA(name);
}
void ReleaseModule(HMODULE module) {
    ::FreeLibrary(module);
}
HMODULE FindLoadedModule(const char* name) {
    return ::GetModuleHandleA(name);
}
FARPROC FindProcedure(HMODULE module, const char* name) {
    return ::GetProcAddress(module, name);
}
void QuerySystemVersion(OSVERSIONINFOA& info) {
    ::GetVersionExA(&info); // its own result is not needed: a failure leaves the record zeroed
}

constexpr TSystemLibraries kRealSystem = {LoadByName, ReleaseModule, FindLoadedModule,
                                          FindProcedure, QuerySystemVersion};

constinit TOptionalApi gOptionalApi(&kRealSystem);

class TCriticalSectionLock {
public:
    explicit TCriticalSectionLock(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~TCriticalSectionLock() { LeaveCriticalSection(&section_); }
    TCriticalSectionLock(const TCriticalSectionLock&) = delete;
    TCriticalSectionLock& operator=(const TCriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& section_;
};

// A looked-up address as the entry point it is.
template <typename TEntry>
TEntry Bind(const TSystemLibraries& system, HMODULE module, const char* name) {
    return reinterpret_cast<TEntry>(reinterpret_cast<void (*)()>(system.FindProc(module, name)));
}

} // namespace

const TSystemLibraries& RealSystemLibraries() {
    return kRealSystem;
}

TOptionalApi& OptionalApi() {
    return gOptionalApi;
}

void TOptionalApi::Start() {
    const TSystemLibraries& system = *system_;

    OSVERSIONINFOA version = {};
    static_assert(sizeof(version) == 148);
    version.dwOSVersionInfoSize = sizeof(version);
    system.QueryVersion(version);
    isNtPlatform_ = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    isVersion4_ = version.dwMajorVersion == 4;

    user32Library_ = system.Load("user32.dll");
    if (user32Library_) {
        setLayeredWindowAttributes_ = Bind<decltype(setLayeredWindowAttributes_)>(
            system, user32Library_, "SetLayeredWindowAttributes");
        updateLayeredWindow_ =
            Bind<decltype(updateLayeredWindow_)>(system, user32Library_, "UpdateLayeredWindow");
    }
    hasLayeredWindows_ = setLayeredWindowAttributes_ != nullptr;

    InitializeCriticalSection(&themeLock_);
    themesDeferred_ = true;

    if (HMODULE user32 = system.FindLoaded("user32.dll")) {
        monitorFromRect_ = Bind<decltype(monitorFromRect_)>(system, user32, "MonitorFromRect");
        monitorFromPoint_ = Bind<decltype(monitorFromPoint_)>(system, user32, "MonitorFromPoint");
        monitorFromWindow_ =
            Bind<decltype(monitorFromWindow_)>(system, user32, "MonitorFromWindow");
        getMonitorInfoA_ = Bind<decltype(getMonitorInfoA_)>(system, user32, "GetMonitorInfoA");
    }

    // TransparentBlt is not trusted on version 4 systems; elsewhere msimg32 is loaded only where
    // one of these signs says the system is new enough to carry it.
    if (!isVersion4_ && (isNtPlatform_ || hasLayeredWindows_ || ThemeLibraryLoaded())) {
        msimg32_ = system.Load("msimg32.dll");
        if (msimg32_)
            transparentBlt_ = Bind<decltype(transparentBlt_)>(system, msimg32_, "TransparentBlt");
        hasTransparentBlt_ = msimg32_ && transparentBlt_;
    }

    if (HMODULE user32 = system.FindLoaded("user32.dll"))
        getScrollBarInfo_ = Bind<decltype(getScrollBarInfo_)>(system, user32, "GetScrollBarInfo");
}

void TOptionalApi::Shutdown() {
    const TSystemLibraries& system = *system_;
    monitorFromRect_ = nullptr;
    monitorFromPoint_ = nullptr;
    monitorFromWindow_ = nullptr;
    getMonitorInfoA_ = nullptr;
    getScrollBarInfo_ = nullptr;

    // Entries into a released library must not outlive it.
    if (msimg32_) {
        system.Free(msimg32_);
        msimg32_ = nullptr;
    }
    transparentBlt_ = nullptr;
    hasTransparentBlt_ = false;

    if (user32Library_) {
        system.Free(user32Library_);
        user32Library_ = nullptr;
    }
    setLayeredWindowAttributes_ = nullptr;
    updateLayeredWindow_ = nullptr;
    hasLayeredWindows_ = false;

    themesDeferred_ = false; // never used: nothing to load only to release it
    while (ThemeReferenceCount() > 0)
        ReleaseThemeLibrary();
    DeleteCriticalSection(&themeLock_);
}

TOptionalApi& TOptionalApi::BindThemes() const {
    // Only the accessors are const: every binding is a modifiable object.
    auto& self = const_cast<TOptionalApi&>(*this);
    if (self.themesDeferred_.exchange(false))
        self.AcquireThemeLibrary();
    return self;
}

bool TOptionalApi::AcquireThemeLibrary() {
    BindThemes();
    TCriticalSectionLock lock(themeLock_);
    ++themeCount_;
    if (!themeLibrary_) {
        themeLibrary_ = system_->Load("uxtheme.dll");
        if (themeLibrary_) {
#define QEL_BIND_THEME(name)                                                                       \
    themeApi_.name = Bind<decltype(themeApi_.name)>(*system_, themeLibrary_, #name);
            QEL_THEME_FUNCTIONS(QEL_BIND_THEME)
#undef QEL_BIND_THEME
            themeLibraryLoaded_ = true;
        }
    }
    ComputeThemesActive();
    return themeLibrary_ != nullptr;
}

void TOptionalApi::ReleaseThemeLibrary() {
    BindThemes();
    TCriticalSectionLock lock(themeLock_);
    if (themeCount_ > 0)
        --themeCount_;
    if (themeLibrary_ && themeCount_ == 0) {
        system_->Free(themeLibrary_);
        themeLibrary_ = nullptr;
        themeApi_ = {};
    }
}

void TOptionalApi::ComputeThemesActive() {
    themesActive_ = themeLibrary_ && themeApi_.IsAppThemed && themeApi_.IsAppThemed() &&
                    themeApi_.IsThemeActive && themeApi_.IsThemeActive();
}

void QelWinApiUnitStart() {
    gOptionalApi.Start();
}

void QelWinApiUnitShutdown() {
    gOptionalApi.Shutdown();
}
