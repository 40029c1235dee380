#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>

#include "qel/host/qel_winapi_win.h"

namespace {

// A Windows of the test's choosing: which libraries exist, what they export, which version it
// reports; it counts every load and release.
struct TFakeWindows {
    DWORD platform = VER_PLATFORM_WIN32_NT;
    DWORD major = 5;
    std::map<std::string, std::set<std::string>> libraries;
    std::map<std::string, int> loads, frees;
    BOOL appThemed = TRUE, themeActive = TRUE;
    int themeActiveCalls = 0;
};
TFakeWindows* gFake = nullptr;

// Module handles are the library's position in the map, plus one.
HMODULE HandleOf(const std::string& name) {
    int index = 1;
    for (const auto& [library, exports] : gFake->libraries) {
        if (library == name)
            return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(index));
        ++index;
    }
    return nullptr;
}
const std::string* NameOf(HMODULE module) {
    int index = 1;
    for (const auto& [library, exports] : gFake->libraries) {
        if (reinterpret_cast<HMODULE>(static_cast<uintptr_t>(index)) == module)
            return &library;
        ++index;
    }
    return nullptr;
}

BOOL WINAPI FakeIsAppThemed() {
    return gFake->appThemed;
}
BOOL WINAPI FakeIsThemeActive() {
    ++gFake->themeActiveCalls;
    return gFake->themeActive;
}
void FakeExport() {}

template <typename TFunction> FARPROC AsProc(TFunction* function) {
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(function));
}

const TSystemLibraries kFakeSystem = {
    [](const char* name) {
        HMODULE module = HandleOf(name);
        if (module)
            ++gFake->loads[name];
        return module;
    },
    [](HMODULE module) {
        const std::string* name = NameOf(module);
        ASSERT_NE(name, nullptr) << "released a module never handed out";
        ++gFake->frees[*name];
    },
    [](const char* name) { return HandleOf(name); },
    [](HMODULE module, const char* name) -> FARPROC {
        const std::string* library = NameOf(module);
        if (!library || !gFake->libraries[*library].count(name))
            return nullptr;
        if (std::strcmp(name, "IsAppThemed") == 0)
            return AsProc(&FakeIsAppThemed);
        if (std::strcmp(name, "IsThemeActive") == 0)
            return AsProc(&FakeIsThemeActive);
        return AsProc(&FakeExport);
    },
    [](OSVERSIONINFOA& info) {
        EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
        info.dwPlatformId = gFake->platform;
        info.dwMajorVersion = gFake->major;
    },
};

const std::set<std::string> kAllThemeFunctions = {
#define QEL_NAME(name) #name,
    QEL_THEME_FUNCTIONS(QEL_NAME)
#undef QEL_NAME
};

class OptionalApiBinding : public testing::Test {
protected:
    OptionalApiBinding() {
        gFake = &fake;
        fake.libraries["user32.dll"] = {"SetLayeredWindowAttributes",
                                        "UpdateLayeredWindow",
                                        "MonitorFromRect",
                                        "MonitorFromPoint",
                                        "MonitorFromWindow",
                                        "GetMonitorInfoA",
                                        "GetScrollBarInfo"};
        fake.libraries["uxtheme.dll"] = kAllThemeFunctions;
        fake.libraries["msimg32.dll"] = {"TransparentBlt"};
    }
    ~OptionalApiBinding() override { gFake = nullptr; }

    // Every library loaded by name is released exactly as often.
    void ExpectBalanced() {
        for (const auto& [name, count] : fake.loads)
            EXPECT_EQ(fake.frees[name], count) << name;
    }

    int ThemeEntriesBound(const TOptionalApi& api) {
        int bound = 0;
#define QEL_COUNT(name) bound += api.ThemeApi().name != nullptr;
        QEL_THEME_FUNCTIONS(QEL_COUNT)
#undef QEL_COUNT
        return bound;
    }

    TFakeWindows fake;
    TOptionalApi api{&kFakeSystem};
};

} // namespace

TEST_F(OptionalApiBinding, BindsEverythingOnANewEnoughSystem) {
    api.Start();
    EXPECT_EQ(fake.loads.count("uxtheme.dll"), 0u); // bound at the first use of themes
    EXPECT_TRUE(api.IsNtPlatform());
    EXPECT_FALSE(api.IsVersion4());
    EXPECT_TRUE(api.HasLayeredWindows());
    EXPECT_NE(api.UpdateLayeredWindow(), nullptr);
    EXPECT_TRUE(api.ThemeLibraryLoaded());
    EXPECT_TRUE(api.ThemesActive());
    EXPECT_EQ(ThemeEntriesBound(api), 46);
    EXPECT_NE(api.MonitorFromRect(), nullptr);
    EXPECT_NE(api.GetMonitorInfoA(), nullptr);
    EXPECT_NE(api.GetScrollBarInfo(), nullptr);
    EXPECT_TRUE(api.HasTransparentBlt());
    EXPECT_NE(api.TransparentBlt(), nullptr);
    EXPECT_EQ(fake.loads["msimg32.dll"], 1);

    api.Shutdown();
    ExpectBalanced();
    EXPECT_EQ(fake.frees["user32.dll"], 1); // only the reference taken by name
    EXPECT_FALSE(api.HasTransparentBlt());
    EXPECT_EQ(api.TransparentBlt(), nullptr);
    EXPECT_EQ(api.MonitorFromWindow(), nullptr);
    EXPECT_EQ(api.ThemeLibrary(), nullptr);
}

TEST_F(OptionalApiBinding, NeverLoadsMsimg32OnAVersion4System) {
    for (DWORD platform : {VER_PLATFORM_WIN32_NT, VER_PLATFORM_WIN32_WINDOWS}) {
        TFakeWindows version4 = fake;
        gFake = &version4;
        version4.major = 4;
        version4.platform = platform;
        TOptionalApi system4(&kFakeSystem);
        system4.Start();
        EXPECT_TRUE(system4.IsVersion4());
        EXPECT_EQ(system4.IsNtPlatform(), platform == VER_PLATFORM_WIN32_NT);
        EXPECT_FALSE(system4.HasTransparentBlt());
        EXPECT_EQ(system4.TransparentBlt(), nullptr);
        EXPECT_EQ(version4.loads.count("msimg32.dll"), 0u);
        system4.Shutdown();
    }
}

TEST_F(OptionalApiBinding, LoadsMsimg32OnlyWithASignOfANewSystem) {
    fake.platform = VER_PLATFORM_WIN32_WINDOWS;
    struct TCase {
        bool layered, theme, loads;
    };
    for (const TCase c :
         {TCase{false, false, false}, TCase{true, false, true}, TCase{false, true, true}}) {
        TFakeWindows system = fake;
        gFake = &system;
        if (!c.layered)
            system.libraries["user32.dll"].erase("SetLayeredWindowAttributes");
        if (!c.theme)
            system.libraries.erase("uxtheme.dll");
        TOptionalApi api9x(&kFakeSystem);
        api9x.Start();
        EXPECT_EQ(system.loads.count("msimg32.dll"), c.loads ? 1u : 0u);
        EXPECT_EQ(api9x.HasTransparentBlt(), c.loads);
        api9x.Shutdown();
        for (const auto& [name, count] : system.loads)
            EXPECT_EQ(system.frees[name], count) << name;
    }
}

TEST_F(OptionalApiBinding, Msimg32WithoutTransparentBltIsLoadedButNotUsed) {
    fake.libraries["msimg32.dll"].clear();
    api.Start();
    EXPECT_EQ(fake.loads["msimg32.dll"], 1);
    EXPECT_FALSE(api.HasTransparentBlt());
    api.Shutdown();
    ExpectBalanced();
}

TEST_F(OptionalApiBinding, StartsWithoutUxtheme) {
    fake.libraries.erase("uxtheme.dll");
    api.Start();
    EXPECT_FALSE(api.ThemeLibraryLoaded());
    EXPECT_FALSE(api.ThemesActive());
    EXPECT_EQ(ThemeEntriesBound(api), 0);
    EXPECT_TRUE(api.HasTransparentBlt()); // the rest of the start went on
    EXPECT_NE(api.GetScrollBarInfo(), nullptr);
    EXPECT_FALSE(api.AcquireThemeLibrary()); // asking again finds nothing either
    api.Shutdown();
    EXPECT_EQ(api.ThemeReferenceCount(), 0);
    ExpectBalanced();
}

TEST_F(OptionalApiBinding, ThemesAreActiveOnlyWhenTheApplicationIsThemedAndTheThemeIsOn) {
    fake.appThemed = FALSE;
    api.Start();
    EXPECT_TRUE(api.ThemeLibraryLoaded());
    EXPECT_FALSE(api.ThemesActive());
    EXPECT_EQ(fake.themeActiveCalls, 0); // not asked once the application is not themed

    fake.appThemed = TRUE;
    fake.themeActive = FALSE;
    EXPECT_TRUE(api.AcquireThemeLibrary());
    EXPECT_FALSE(api.ThemesActive());

    fake.themeActive = TRUE;
    EXPECT_TRUE(api.AcquireThemeLibrary());
    EXPECT_TRUE(api.ThemesActive());
    api.Shutdown();
    ExpectBalanced();
}

TEST_F(OptionalApiBinding, CountsThemeReferences) {
    api.Start();
    ASSERT_EQ(api.ThemeReferenceCount(), 1);
    EXPECT_TRUE(api.AcquireThemeLibrary());
    EXPECT_EQ(fake.loads["uxtheme.dll"], 1); // loaded once, however often acquired
    api.ReleaseThemeLibrary();
    EXPECT_NE(api.ThemeLibrary(), nullptr);
    EXPECT_EQ(ThemeEntriesBound(api), 46);
    EXPECT_EQ(fake.frees["uxtheme.dll"], 0);

    api.ReleaseThemeLibrary();
    EXPECT_EQ(api.ThemeLibrary(), nullptr);
    EXPECT_EQ(ThemeEntriesBound(api), 0);
    EXPECT_EQ(fake.frees["uxtheme.dll"], 1);
    EXPECT_TRUE(api.ThemeLibraryLoaded()); // it was loaded once: that stays known
    EXPECT_TRUE(api.ThemesActive());

    api.ReleaseThemeLibrary(); // at count 0: changes nothing
    EXPECT_EQ(api.ThemeReferenceCount(), 0);
    EXPECT_EQ(fake.frees["uxtheme.dll"], 1);

    EXPECT_TRUE(api.AcquireThemeLibrary()); // and it comes back
    EXPECT_EQ(fake.loads["uxtheme.dll"], 2);
    EXPECT_EQ(ThemeEntriesBound(api), 46);
    api.Shutdown();
    ExpectBalanced();
}

// The process's own binding against Wine's real libraries.
TEST(OptionalApiOnThisSystem, BindsTheRealLibraries) {
    const TOptionalApi& api = OptionalApi();
    EXPECT_TRUE(api.IsNtPlatform());
    EXPECT_FALSE(api.IsVersion4());
    EXPECT_TRUE(api.HasLayeredWindows());
    EXPECT_TRUE(api.ThemeLibraryLoaded());
    EXPECT_NE(api.ThemeApi().OpenThemeData, nullptr);
    EXPECT_NE(api.ThemeApi().EnableTheming, nullptr);
    EXPECT_NE(api.MonitorFromPoint(), nullptr);
    EXPECT_NE(api.GetScrollBarInfo(), nullptr);
    ASSERT_TRUE(api.HasTransparentBlt());
    EXPECT_EQ(api.TransparentBlt(),
              reinterpret_cast<decltype(&::TransparentBlt)>(reinterpret_cast<void (*)()>(
                  GetProcAddress(GetModuleHandleA("msimg32.dll"), "TransparentBlt"))));

    // A second binding takes and returns its own references.
    TOptionalApi second(&RealSystemLibraries());
    second.Start();
    EXPECT_TRUE(second.AcquireThemeLibrary());
    EXPECT_EQ(second.ThemeReferenceCount(), 2);
    second.Shutdown();
    EXPECT_EQ(second.ThemeLibrary(), nullptr);
    EXPECT_NE(GetModuleHandleA("uxtheme.dll"), nullptr); // the process binding still holds it
    EXPECT_NE(api.ThemeApi().IsThemeActive, nullptr);
    api.ThemeApi().IsThemeActive(); // still callable
}
