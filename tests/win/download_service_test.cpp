#include <gtest/gtest.h>

#include "qel/host/qel_flash_download_win.h"

namespace {
HRESULT WINAPI RecordingPullStream(IUnknown*, LPCSTR, DWORD, IBindStatusCallback*) {
    return S_OK;
}
} // namespace

TEST(DownloadService, IsNeverBoundToWinesAbortingStub) {
    ASSERT_TRUE(RunningUnderWine()) << "these tests run under Wine";
    BindDownloadService();
    EXPECT_EQ(PullStreamEntry(), nullptr);
    ReleaseDownloadService();
}

TEST(DownloadService, TestsCanReplaceTheEntryPoint) {
    const TURLOpenPullStreamA before = ReplacePullStreamEntry(&RecordingPullStream);
    EXPECT_EQ(PullStreamEntry(), &RecordingPullStream);
    EXPECT_EQ(ReplacePullStreamEntry(before), &RecordingPullStream);
    EXPECT_EQ(PullStreamEntry(), before);
}
