#include <gtest/gtest.h>

#include "base/com_win.h"
#include "qel/host/qel_flash_events_win.h"

namespace {

using P = TEventParameter;

// A call's arguments, given first parameter first and stored last first, as a control sends
// them.
class TCall {
public:
    TCall& Integer(VARTYPE type, LONG value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = type;
        V_I4(&v) = value;
        args_.insert(args_.begin(), v);
        return *this;
    }
    TCall& Text(const wchar_t* text) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = text ? SysAllocString(text) : nullptr;
        args_.insert(args_.begin(), v);
        return *this;
    }
    TCall& Double(double value) {
        VARIANT v;
        VariantInit(&v);
        V_VT(&v) = VT_R8;
        V_R8(&v) = value;
        args_.insert(args_.begin(), v);
        return *this;
    }
    ~TCall() {
        for (VARIANT& v : args_)
            VariantClear(&v);
    }
    DISPPARAMS* Params() {
        params_ = {args_.data(), nullptr, static_cast<UINT>(args_.size()), 0};
        return &params_;
    }

private:
    std::vector<VARIANT> args_;
    DISPPARAMS params_{};
};

} // namespace

TEST(EventArguments, ArriveFirstParameterFirst) {
    TCall call;
    call.Text(L"fullscreen").Text(L"true");
    const P signature[] = {P::Text, P::Text};
    const auto values = DecodeEventArguments(call.Params(), signature);
    ASSERT_TRUE(values);
    EXPECT_EQ(std::get<std::wstring>((*values)[0]), L"fullscreen");
    EXPECT_EQ(std::get<std::wstring>((*values)[1]), L"true");
}

TEST(EventArguments, IntegersOfEveryWidthKeepTheirValue) {
    const P signature[] = {P::Integer};
    for (VARTYPE type : {VT_I4, VT_INT, VT_UI4}) {
        TCall call;
        call.Integer(type, 42);
        EXPECT_EQ(std::get<int32_t>((*DecodeEventArguments(call.Params(), signature))[0]), 42);
    }
    TCall small;
    small.Integer(VT_I2, static_cast<LONG>(0xABCDFFFF)); // the upper half is not the value's
    EXPECT_EQ(std::get<int32_t>((*DecodeEventArguments(small.Params(), signature))[0]), -1);
}

TEST(EventArguments, ANullTextIsEmpty) {
    TCall call;
    call.Text(nullptr);
    const P signature[] = {P::Text};
    EXPECT_EQ(std::get<std::wstring>((*DecodeEventArguments(call.Params(), signature))[0]), L"");
}

TEST(EventArguments, NeverReadWhatWasNotSent) {
    const P two[] = {P::Text, P::Text};
    TCall one;
    one.Text(L"fullscreen");
    EXPECT_FALSE(DecodeEventArguments(one.Params(), two));
    EXPECT_FALSE(DecodeEventArguments(nullptr, two));
    DISPPARAMS broken{nullptr, nullptr, 2, 0};
    EXPECT_FALSE(DecodeEventArguments(&broken, two));

    // Wrong kinds are not converted.
    const P integer[] = {P::Integer};
    const P text[] = {P::Text};
    TCall textCall;
    textCall.Text(L"7");
    EXPECT_FALSE(DecodeEventArguments(textCall.Params(), integer));
    TCall doubleCall;
    doubleCall.Double(7.0);
    EXPECT_FALSE(DecodeEventArguments(doubleCall.Params(), integer));
    TCall integerCall;
    integerCall.Integer(VT_I4, 7);
    EXPECT_FALSE(DecodeEventArguments(integerCall.Params(), text));
}

TEST(EventArguments, ExtraArgumentsAreNotRead) {
    TCall call;
    call.Integer(VT_I4, 3).Text(L"extra");
    const P signature[] = {P::Integer};
    const auto values = DecodeEventArguments(call.Params(), signature);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->size(), 1u);
    EXPECT_EQ(std::get<int32_t>((*values)[0]), 3);
    // No parameters at all: any call fits.
    EXPECT_TRUE(DecodeEventArguments(call.Params(), {}));
}
