#include <gtest/gtest.h>

#include "base/com_win.h"

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
