#pragma once
// System functions that older Windows versions lack, bound by name at start so that the program
// still runs where they are missing: a missing function leaves its entry null and its flag false.
// Only TransparentBlt is called (by the keyed bitmap draw); the rest is bound for completeness.

#include <cstdint>
#include <windows.h>

#include <uxtheme.h>

#include <atomic>

// How the binding reaches the system. The real table calls the system; tests pass their own to
// play other versions of Windows and to count loads and releases.
struct TSystemLibraries {
    HMODULE (*Load)(const char* name);       // load by name, one reference
    void (*Free)(HMODULE module);            // release one reference
    HMODULE (*FindLoaded)(const char* name); // a module already loaded, no reference
    FARPROC (*FindProc)(HMODULE module, const char* name);
    void (*QueryVersion)(OSVERSIONINFOA& info); // info.dwOSVersionInfoSize is set
};
const TSystemLibraries& RealSystemLibraries();

// The theme functions in table order.
#define QEL_THEME_FUNCTIONS(X)                                                                     \
    X(OpenThemeData)                                                                               \
    X(CloseThemeData)                                                                              \
    X(DrawThemeBackground)                                                                         \
    X(DrawThemeText)                                                                               \
    X(GetThemeBackgroundContentRect)                                                               \
    X(GetThemePartSize)                                                                            \
    X(GetThemeTextExtent)                                                                          \
    X(GetThemeTextMetrics)                                                                         \
    X(GetThemeBackgroundRegion)                                                                    \
    X(HitTestThemeBackground)                                                                      \
    X(DrawThemeEdge)                                                                               \
    X(DrawThemeIcon)                                                                               \
    X(IsThemePartDefined)                                                                          \
    X(IsThemeBackgroundPartiallyTransparent)                                                       \
    X(GetThemeColor)                                                                               \
    X(GetThemeMetric)                                                                              \
    X(GetThemeString)                                                                              \
    X(GetThemeBool)                                                                                \
    X(GetThemeInt)                                                                                 \
    X(GetThemeEnumValue)                                                                           \
    X(GetThemePosition)                                                                            \
    X(GetThemeFont)                                                                                \
    X(GetThemeRect)                                                                                \
    X(GetThemeMargins)                                                                             \
    X(GetThemeIntList)                                                                             \
    X(GetThemePropertyOrigin)                                                                      \
    X(SetWindowTheme)                                                                              \
    X(GetThemeFilename)                                                                            \
    X(GetThemeSysColor)                                                                            \
    X(GetThemeSysColorBrush)                                                                       \
    X(GetThemeSysBool)                                                                             \
    X(GetThemeSysSize)                                                                             \
    X(GetThemeSysFont)                                                                             \
    X(GetThemeSysString)                                                                           \
    X(GetThemeSysInt)                                                                              \
    X(IsThemeActive)                                                                               \
    X(IsAppThemed)                                                                                 \
    X(GetWindowTheme)                                                                              \
    X(EnableThemeDialogTexture)                                                                    \
    X(IsThemeDialogTextureEnabled)                                                                 \
    X(GetThemeAppProperties)                                                                       \
    X(SetThemeAppProperties)                                                                       \
    X(GetCurrentThemeName)                                                                         \
    X(GetThemeDocumentationProperty)                                                               \
    X(DrawThemeParentBackground)                                                                   \
    X(EnableTheming)

struct TThemeApi {
#define QEL_THEME_ENTRY(name) decltype(&::name) name = nullptr;
    QEL_THEME_FUNCTIONS(QEL_THEME_ENTRY)
#undef QEL_THEME_ENTRY
};

class TOptionalApi {
public:
    constexpr explicit TOptionalApi(const TSystemLibraries* system) : system_(system) {}
    TOptionalApi(const TOptionalApi&) = delete;
    TOptionalApi& operator=(const TOptionalApi&) = delete;

    void Start();
    void Shutdown();

    // One more reference to uxtheme, loading and binding it when it is not loaded; answers
    // whether it is loaded. Safe from several threads between Start and Shutdown. The reference
    // Start holds is taken at the first use of anything about themes: nothing at start needs
    // uxtheme, and loading it ahead of the display slows the start down.
    bool AcquireThemeLibrary();
    // One reference less; the last one unloads uxtheme and clears the table.
    void ReleaseThemeLibrary();

    bool IsNtPlatform() const { return isNtPlatform_; }
    bool IsVersion4() const { return isVersion4_; }

    decltype(&::SetLayeredWindowAttributes) SetLayeredWindowAttributes() const {
        return setLayeredWindowAttributes_;
    }
    decltype(&::UpdateLayeredWindow) UpdateLayeredWindow() const { return updateLayeredWindow_; }
    bool HasLayeredWindows() const { return hasLayeredWindows_; }

    // The table is read without the lock: it changes only while no other thread draws themed.
    const TThemeApi& ThemeApi() const { return BindThemes().themeApi_; }
    HMODULE ThemeLibrary() const { return BindThemes().themeLibrary_; }
    int32_t ThemeReferenceCount() const { return BindThemes().themeCount_; }
    bool ThemeLibraryLoaded() const { return BindThemes().themeLibraryLoaded_; }
    bool ThemesActive() const { return BindThemes().themesActive_; }

    decltype(&::MonitorFromRect) MonitorFromRect() const { return monitorFromRect_; }
    decltype(&::MonitorFromPoint) MonitorFromPoint() const { return monitorFromPoint_; }
    decltype(&::MonitorFromWindow) MonitorFromWindow() const { return monitorFromWindow_; }
    decltype(&::GetMonitorInfoA) GetMonitorInfoA() const { return getMonitorInfoA_; }
    decltype(&::GetScrollBarInfo) GetScrollBarInfo() const { return getScrollBarInfo_; }

    HMODULE Msimg32Library() const { return msimg32_; }
    decltype(&::TransparentBlt) TransparentBlt() const { return transparentBlt_; }
    bool HasTransparentBlt() const { return hasTransparentBlt_; }

private:
    void ComputeThemesActive();
    // Takes the reference Start left for the first use, once.
    TOptionalApi& BindThemes() const;

    const TSystemLibraries* system_;
    bool isNtPlatform_ = false;
    bool isVersion4_ = false;

    HMODULE user32Library_ = nullptr; // loaded by name: one reference of ours
    decltype(&::SetLayeredWindowAttributes) setLayeredWindowAttributes_ = nullptr;
    decltype(&::UpdateLayeredWindow) updateLayeredWindow_ = nullptr;
    bool hasLayeredWindows_ = false;

    CRITICAL_SECTION themeLock_ = {};          // created by Start, destroyed by Shutdown
    std::atomic<bool> themesDeferred_ = false; // Start's reference is still to be taken
    HMODULE themeLibrary_ = nullptr;
    int32_t themeCount_ = 0;
    TThemeApi themeApi_;
    bool themeLibraryLoaded_ = false;
    bool themesActive_ = false;

    decltype(&::MonitorFromRect) monitorFromRect_ = nullptr;
    decltype(&::MonitorFromPoint) monitorFromPoint_ = nullptr;
    decltype(&::MonitorFromWindow) monitorFromWindow_ = nullptr;
    decltype(&::GetMonitorInfoA) getMonitorInfoA_ = nullptr;
    decltype(&::GetScrollBarInfo) getScrollBarInfo_ = nullptr;

    HMODULE msimg32_ = nullptr;
    decltype(&::TransparentBlt) transparentBlt_ = nullptr;
    bool hasTransparentBlt_ = false;
};

// The process's binding, started and shut down by the unit guard.
TOptionalApi& OptionalApi();

void QelWinApiUnitStart();
void QelWinApiUnitShutdown();
