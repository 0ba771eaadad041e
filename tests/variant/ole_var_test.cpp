#include "variant/ole_var.h"

#include <gtest/gtest.h>

#include "support/trace_capture.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <stdlib.h>
#include <unistd.h>

#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

std::string from_s(const char* text, VARTYPE vt) { return ole_variant::from_string(text, vt).to_string(); }

pf_decimal dec(const char* t) {
    pf_decimal d;
    EXPECT_EQ(pf_decimal::parse(std::string_view(t), d), PF_S_OK) << t;
    return d;
}

TEST(OleVariant, to_string_of_every_type) {
    plat_systemtime st;
    st.year = 2020, st.month = 6, st.day = 15, st.hour = 12, st.minute = 34, st.second = 56;
    const struct row {
        ole_variant v;
        VARTYPE vt;
        const char* text;
    } rows[] = {
        {ole_variant(), VT_EMPTY, ""},
        {ole_variant::make_null(), VT_NULL, ""},
        {ole_variant(true), VT_BOOL, "1"},
        {ole_variant(false), VT_BOOL, "0"},
        {ole_variant(static_cast<signed char>(-128)), VT_I1, "-128"},
        {ole_variant(static_cast<unsigned char>(255)), VT_UI1, "255"},
        {ole_variant(static_cast<short>(-32768)), VT_I2, "-32768"},
        {ole_variant(static_cast<unsigned short>(65535)), VT_UI2, "65535"},
        {ole_variant(-2147483647 - 1), VT_I4, "-2147483648"},
        {ole_variant(4294967295u), VT_UI4, "4294967295"},
        {ole_variant(-5LL), VT_I8, "-5"},
        {ole_variant(18446744073709551615ULL), VT_UI8, "18446744073709551615"},
        {ole_variant(1.5), VT_R8, "1.5e+00"},
        {ole_variant(0.1 + 0.2), VT_R8, "3.0000000000000004e-01"},
        {ole_variant(1.5f), VT_R4, "1.5e+00"},
        {ole_variant(0.1f), VT_R4, "1e-01"},
        {ole_variant(pf_currency{125000}), VT_CY, "12.5"},
        {ole_variant(dec("12.50")), VT_DECIMAL, "12.50"},
        {ole_variant(st), VT_DATE, "2020-06-15 12:34:56"},
        {ole_variant(L"w\u00e9de"), VT_BSTR,
         "w\xc3\xa9"
         "de"},
        {ole_variant("narrow"), VT_BSTR, "narrow"},
        {ole_variant(std::vector<unsigned char>{0x01, 0xAB}), VT_ARRAY_UI1, "0x01AB"},
        {ole_variant(std::vector<unsigned char>{}), VT_ARRAY_UI1, ""},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.v.vartype(), r.vt) << r.text;
        EXPECT_EQ(r.v.to_string(), r.text) << int(r.vt);
    }
}

TEST(OleVariant, from_string_table) {
    const struct row {
        const char* text;
        VARTYPE vt;
        VARTYPE got;
        const char* back;
    } rows[] = {
        {"", VT_I4, VT_EMPTY, ""},
        {"", VT_BSTR, VT_BSTR, ""},
        {"", VT_DATE, VT_EMPTY, ""},
        {"42", VT_I4, VT_I4, "42"},
        {" -17abc", VT_I4, VT_I4, "-17"},
        {"abc", VT_I4, VT_I4, "0"},
        {"-32768", VT_I2, VT_I2, "-32768"},
        {"200", VT_UI1, VT_UI1, "200"},
        {"-100", VT_I1, VT_I1, "-100"},
        {"65535", VT_UI2, VT_UI2, "65535"},
        {"4294967295", VT_UI4, VT_UI4, "4294967295"},
        {"x", VT_UI4, VT_UI4, "0"},
        {"-9223372036854775808", VT_I8, VT_I8, "-9223372036854775808"},
        {"18446744073709551615", VT_UI8, VT_UI8, "18446744073709551615"},
        {"1,5", VT_R8, VT_R8, "1.5e+00"},
        {"2.5e-3", VT_R4, VT_R4, "2.5e-03"},
        {"12.3456", VT_CY, VT_CY, "12.3456"},
        {"1,25", VT_CY, VT_CY, "1.25"},
        {"no money", VT_CY, VT_EMPTY, ""},
        {"12.50", VT_DECIMAL, VT_DECIMAL, "12.50"},
        {"-0,5", VT_DECIMAL, VT_DECIMAL, "-0.5"},
        {"twelve", VT_DECIMAL, VT_EMPTY, ""},
        {"TRUE", VT_BOOL, VT_BOOL, "1"},
        {"Yes", VT_BOOL, VT_BOOL, "1"},
        {"false", VT_BOOL, VT_BOOL, "0"},
        {"NO", VT_BOOL, VT_BOOL, "0"},
        {"7", VT_BOOL, VT_BOOL, "1"},
        {"0", VT_BOOL, VT_BOOL, "0"},
        {"maybe", VT_BOOL, VT_BOOL, "0"},
        {"0x01ab", VT_BLOB, VT_ARRAY_UI1, "0x01AB"},
        {"01AB", VT_BLOB, VT_ARRAY_UI1, "0x01AB"},
        {"0X01AB", VT_ARRAY_UI1, VT_ARRAY_UI1, "0x01AB"},
        {"01A", VT_BLOB, VT_EMPTY, ""},
        {"1G", VT_BLOB, VT_ARRAY_UI1, "0x01"},      // a pair read as far as its digits reach
        {"G1zz", VT_BLOB, VT_ARRAY_UI1, "0x0000"},  // no leading digit gives 0
        {"0x", VT_BLOB, VT_ARRAY_UI1, ""},
        {"some text", VT_BSTR, VT_BSTR, "some text"},
        {"5", VT_INT, VT_INT, "5"},
        {"4000000000", VT_UINT, VT_UINT, "4000000000"},
        {"anything", VT_EMPTY, VT_EMPTY, ""},
        {"2020-06-15 12:34:56", VT_DATE, VT_DATE, "2020-06-15 12:34:56"},
        {"2020-06-15 00:00:00", VT_DATE, VT_DATE, "2020-06-15"},
        {"20200615123456", VT_DATE, VT_DATE, "2020-06-15 12:34:56"},
        {"0000-00-00 00:00:00", VT_DATE, VT_EMPTY, ""},
        {"0000-00-00", VT_DATE, VT_EMPTY, ""},
        {"garbage", VT_DATE, VT_EMPTY, ""},
    };
    for (const auto& r : rows) {
        const ole_variant v = ole_variant::from_string(r.text, r.vt);
        EXPECT_EQ(v.vartype(), r.got) << r.text << " as " << r.vt;
        EXPECT_EQ(v.to_string(), r.back) << r.text << " as " << r.vt;
    }
}

TEST(OleVariant, fractional_seconds_are_kept_not_rounded) {
    const ole_variant v = ole_variant::from_string("2020-06-15 23:59:59.6", VT_DATE);
    ASSERT_EQ(v.vartype(), VT_DATE);
    EXPECT_EQ(v.to_string(), "2020-06-15 23:59:59.600000");
    EXPECT_EQ(ole_variant::from_string("12:34:56", VT_DATE).to_string(), "0000-00-00 12:34:56");
}

TEST(OleVariant, unsupported_target_type_throws) {
    EXPECT_THROW(ole_variant::from_string("x", VT_LPSTR), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("abc", VT_INT), ole_type_exception);
    EXPECT_THROW(ole_variant::from_string("x", 9999), ole_type_exception);
    try {
        ole_variant::from_string("x", VT_ERROR);
        FAIL();
    } catch (const ole_type_exception& e) {
        EXPECT_EQ(e.level(), 1);
        EXPECT_STREQ(e.what(), "The operating type is not supported yet");
    }
}

TEST(OleVariant, failed_currency_writes_a_level3_trace) {
    trace_capture log;
    EXPECT_TRUE(ole_variant::from_string("not money", VT_CY).is_empty());
    EXPECT_TRUE(ole_variant::from_string("x", VT_DECIMAL).is_empty());
    const std::string t = log.text();
    EXPECT_NE(t.find("VarCyFromStr failed: 80020005\r\n"), std::string::npos) << t;
    EXPECT_NE(t.find("VarDecFromStr failed: 80020005\r\n"), std::string::npos) << t;
}

TEST(OleVariant, widest_mysql_decimal_is_exact) {
    const std::string wide = "-12345678901234567890123456789012345.123456789012345678901234567890";
    const ole_variant v = ole_variant::from_string(wide, VT_DECIMAL);
    ASSERT_EQ(v.vartype(), VT_DECIMAL);
    EXPECT_EQ(v.to_string(), wide);
    const std::string pos = "99999999999999999999999999999999999.999999999999999999999999999999";
    EXPECT_EQ(from_s(pos.c_str(), VT_DECIMAL), pos);
}

TEST(OleVariant, printed_numbers_read_back_to_the_same_value) {
    std::vector<ole_variant> values = {
        ole_variant(std::numeric_limits<signed char>::min()),
        ole_variant(std::numeric_limits<signed char>::max()),
        ole_variant(std::numeric_limits<unsigned char>::max()),
        ole_variant(std::numeric_limits<short>::min()),
        ole_variant(std::numeric_limits<short>::max()),
        ole_variant(std::numeric_limits<unsigned short>::max()),
        ole_variant(std::numeric_limits<int>::min()),
        ole_variant(std::numeric_limits<int>::max()),
        ole_variant(std::numeric_limits<unsigned>::max()),
        ole_variant(std::numeric_limits<long long>::min()),
        ole_variant(std::numeric_limits<long long>::max()),
        ole_variant(std::numeric_limits<unsigned long long>::max()),
        ole_variant(true),
        ole_variant(false),
        ole_variant(pf_currency{INT64_MIN}),
        ole_variant(pf_currency{INT64_MAX}),
        ole_variant(pf_currency{-1}),
        ole_variant(dec("0.000000000000000000000000000001")),
        ole_variant(dec("-1.10")),
    };
    for (double d : {0.1, 1.0 / 3.0, -2.5e-300, 4.9e-324, 1.7976931348623157e308, 123456789.123456789, -0.0})
        values.emplace_back(d);
    for (float f : {0.1f, 1.0f / 3.0f, 3.4028235e38f, 1.0e-45f, 16777217.0f, 123.456f}) values.emplace_back(f);

    for (const ole_variant& v : values) {
        const std::string text = v.to_string();
        const ole_variant back = ole_variant::from_string(text, v.vartype());
        ASSERT_EQ(back.vartype(), v.vartype()) << text;
        const pf_variant &a = v.get_var(), &b = back.get_var();
        switch (v.vartype()) {
        case VT_R8:
            EXPECT_EQ(std::signbit(a.r8), std::signbit(b.r8)) << text;
            EXPECT_EQ(a.r8, b.r8) << text;
            break;
        case VT_R4: EXPECT_EQ(a.r4, b.r4) << text; break;
        case VT_CY: EXPECT_EQ(a.cy, b.cy) << text; break;
        case VT_DECIMAL: EXPECT_EQ(a.dec, b.dec) << text; break;
        case VT_I8: EXPECT_EQ(v.get_i8(), back.get_i8()) << text; break;
        case VT_UI8: EXPECT_EQ(v.get_ui8(), back.get_ui8()) << text; break;
        default: EXPECT_EQ(back.to_string(), text); break;
        }
        // The wide reader agrees.
        EXPECT_EQ(ole_variant::from_wstring(v.to_wstring(), v.vartype()).to_string(), text);
    }
}

TEST(OleVariant, large_byte_arrays_are_not_cut) {
    std::vector<unsigned char> bytes(10'000'001, 0x5A);
    bytes.back() = 0xC3;
    const ole_variant v(bytes);
    const std::string text = v.to_string();
    ASSERT_EQ(text.size(), 2 + 2 * bytes.size());
    EXPECT_EQ(text.substr(text.size() - 4), "5AC3");
    const ole_variant back = ole_variant::from_string(text, VT_BLOB);
    const unsigned char* data = nullptr;
    ASSERT_EQ(back.get_bytes(data), bytes.size());
    EXPECT_EQ(std::vector<unsigned char>(data, data + bytes.size()), bytes);
}

TEST(OleVariant, copies_are_deep_and_keep_side_values) {
    const ole_variant big(18446744073709551615ULL);
    const ole_variant big_copy(big);
    EXPECT_EQ(big_copy.get_ui8(), 18446744073709551615ULL);
    EXPECT_EQ(big_copy.to_string(), "18446744073709551615");

    ole_variant arr(std::vector<unsigned char>{1, 2, 3});
    ole_variant arr_copy(arr);
    arr.allocate_safe_array(3)[0] = 9;
    const unsigned char* d = nullptr;
    ASSERT_EQ(arr_copy.get_bytes(d), 3u);
    EXPECT_EQ(d[0], 1);
    EXPECT_EQ(arr.to_string(), "0x090203");

    plat_systemtime st;
    st.year = 2001, st.month = 2, st.day = 3;
    ole_variant date_copy;
    date_copy = ole_variant(st);
    EXPECT_EQ(date_copy.to_string(), "2001-02-03");
}

TEST(OleVariant, assignment_replaces_old_payload_in_every_branch) {
    plat_systemtime st;
    st.year = 2001, st.month = 2, st.day = 3, st.hour = 4;
    const ole_variant sources[] = {
        ole_variant(st),   ole_variant(5LL), ole_variant(7ULL),      ole_variant(std::vector<unsigned char>{0xAA}),
        ole_variant(L"t"), ole_variant(),    ole_variant(dec("1.5"))};
    for (const auto& src : sources) {
        ole_variant targets[] = {ole_variant(L"old text"), ole_variant(std::vector<unsigned char>{1, 2}),
                                 ole_variant(-3LL)};
        for (auto& t : targets) {
            t = src;
            EXPECT_EQ(t.vartype(), src.vartype());
            EXPECT_EQ(t.to_string(), src.to_string());
        }
    }
    ole_variant self(L"self");
    const ole_variant& alias = self;
    self = alias;
    EXPECT_EQ(self.to_string(), "self");
}

// A cell refilled in place holds what a new value would, whatever it held
// before: UTF-8 text, wide text, bytes, a date with its side fields.
TEST(OleVariant, set_in_place_gives_the_constructed_value) {
    plat_systemtime st;
    st.year = 2001, st.month = 2, st.day = 3, st.hour = 4, st.microsecond = 5000;
    const auto targets = [&] {
        std::vector<ole_variant> v;
        v.emplace_back();
        v.back().attach_utf8("old utf-8 text");
        v.emplace_back(L"old wide text");
        v.emplace_back(std::vector<unsigned char>{1, 2});
        v.emplace_back(st);
        v.emplace_back(-3LL);
        v.emplace_back(9ULL);
        return v;
    };
    const auto same = [](const ole_variant& got, const ole_variant& want) {
        EXPECT_EQ(got.vartype(), want.vartype());
        EXPECT_EQ(got.to_string(), want.to_string());
        EXPECT_FALSE(got.holds_utf8());
        EXPECT_EQ(got.get_i8(), want.get_i8());
        EXPECT_EQ(got.get_ui8(), want.get_ui8());
        if (want.vartype() == VT_DATE) {
            EXPECT_TRUE(got.get_time() == want.get_time());
        }
    };
    plat_systemtime other;
    other.year = 1999, other.month = 12, other.day = 31, other.second = 59;
    using setter = std::function<void(ole_variant&)>;
    const std::vector<std::pair<setter, ole_variant>> cases = {
        {[](ole_variant& v) { v.set(static_cast<signed char>(-5)); }, ole_variant(static_cast<signed char>(-5))},
        {[](ole_variant& v) { v.set(static_cast<unsigned char>(250)); }, ole_variant(static_cast<unsigned char>(250))},
        {[](ole_variant& v) { v.set(static_cast<short>(-300)); }, ole_variant(static_cast<short>(-300))},
        {[](ole_variant& v) { v.set(static_cast<unsigned short>(60000)); },
         ole_variant(static_cast<unsigned short>(60000))},
        {[](ole_variant& v) { v.set(-70000); }, ole_variant(-70000)},
        {[](ole_variant& v) { v.set(4000000000u); }, ole_variant(4000000000u)},
        {[](ole_variant& v) { v.set(-5000000000LL); }, ole_variant(-5000000000LL)},
        {[](ole_variant& v) { v.set(18446744073709551615ULL); }, ole_variant(18446744073709551615ULL)},
        {[](ole_variant& v) { v.set(0.1f); }, ole_variant(0.1f)},
        {[](ole_variant& v) { v.set(-2.5e300); }, ole_variant(-2.5e300)},
        {[&](ole_variant& v) { v.set(other); }, ole_variant(other)},
        {[](ole_variant& v) { v.set_empty(); }, ole_variant()},
    };
    for (std::size_t c = 0; c < cases.size(); ++c) {
        for (std::size_t i = 0; i < targets().size(); ++i) {
            SCOPED_TRACE("case " + std::to_string(c) + ", target " + std::to_string(i));
            auto t = targets();
            cases[c].first(t[i]);
            same(t[i], cases[c].second);
        }
    }
}

TEST(OleVariant, move_leaves_the_source_empty) {
    ole_variant a(L"payload");
    const wchar_t* chars = a.text_view().data();
    ole_variant b(std::move(a));
    EXPECT_TRUE(a.is_empty());
    EXPECT_EQ(b.text_view().data(), chars);  // no copy of the text
    ole_variant c(42LL);
    c = std::move(b);
    EXPECT_EQ(c.to_string(), "payload");
    EXPECT_EQ(c.get_i8(), 0);
    EXPECT_TRUE(b.is_empty());
}

TEST(OleVariant, to_long_table_and_assertion) {
    const struct row {
        ole_variant v;
        int32_t out;
    } rows[] = {
        {ole_variant(), 0},
        {ole_variant::make_null(), 0},
        {ole_variant(static_cast<short>(-2)), -2},
        {ole_variant(true), -1},
        {ole_variant(7), 7},
        {ole_variant(4294967295u), -1},
        {ole_variant(-2.9), -2},
        {ole_variant(2.9f), 2},
        {ole_variant(1e300), INT32_MAX},
        {ole_variant(dec("2.5")), 2},
        {ole_variant(dec("99999999999")), 0},
        {ole_variant(static_cast<signed char>(-5)), -5},
        {ole_variant(static_cast<unsigned char>(200)), 200},
        {ole_variant(static_cast<unsigned short>(65535)), 65535},
        {ole_variant(0x100000005LL), 5},
        {ole_variant(0x1FFFFFFFFULL), -1},
    };
    for (const auto& r : rows) EXPECT_EQ(r.v.to_long(), r.out) << r.v.to_string();
    try {
        ole_variant(L"12").to_long();
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message(), tk_assertion_text("ole_var", 478));
    }
}

TEST(OleVariant, get_bytes_of_empty_array_and_other_types) {
    const unsigned char* data = reinterpret_cast<const unsigned char*>("untouched");
    EXPECT_EQ(ole_variant().get_bytes(data), 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(data), "untouched");
    try {
        ole_variant(3).get_bytes(data);
        FAIL();
    } catch (const tk_mail_assertion& e) {
        EXPECT_EQ(e.message(), tk_assertion_text("ole_var", 669));
    }
    ole_variant v;
    unsigned char* p = v.allocate_safe_array(4);
    p[3] = 0xEE;
    EXPECT_EQ(v.allocate_safe_array(4), v.get_var().array->data());  // same size: kept
    v.allocate_safe_array(6);                                        // resized, bytes kept
    EXPECT_EQ(v.to_string(), "0x000000EE0000");
}

TEST(OleVariant, append_utf8_gives_the_bytes_of_the_wide_form) {
    plat_systemtime st;
    st.year = 1999, st.month = 12, st.day = 31, st.hour = 23, st.minute = 59, st.second = 58;
    const ole_variant values[] = {
        ole_variant(),
        ole_variant(-12345),
        ole_variant(9223372036854775807LL),
        ole_variant(3.25),
        ole_variant(dec("-0.0001")),
        ole_variant(st),
        ole_variant(true),
        ole_variant(L"plain ascii text with\ttab"),
        ole_variant(L"\u00e9\u4e2d\U0001F600 mixed"),
        ole_variant(std::wstring_view(L"cut\0here", 8)),
        ole_variant(std::vector<unsigned char>{0, 1, 0xFE, 0xFF}),
        ole_variant(pf_currency{-15000}),
    };
    std::string line = "prefix|";
    std::string expected = "prefix|";
    for (const auto& v : values) {
        v.append_utf8(line);
        expected += tk_to_utf8(v.to_wstring());
        line += '\t';
        expected += '\t';
    }
    EXPECT_EQ(line, expected);

    // Text without a UTF-8 form fails as the toolkit's conversion does.
    const wchar_t bad[] = {L'a', static_cast<wchar_t>(0xD800), 0};
    std::string out;
    EXPECT_THROW(ole_variant(bad).append_utf8(out), tk_exception_ex);
}

TEST(OleVariant, narrow_text_must_be_utf8) {
    EXPECT_EQ(ole_variant("caf\xc3\xa9").to_wstring(), L"caf\u00e9");
    EXPECT_THROW(ole_variant("bad \xff byte"), tk_exception_ex);
    EXPECT_THROW(ole_variant::from_string("bad \xc3", VT_BSTR), tk_exception_ex);
    // Narrow texts end at the first NUL.
    EXPECT_EQ(ole_variant::from_string(std::string_view("ab\0cd", 5), VT_BSTR).to_wstring(), L"ab");
}

// Text kept as the UTF-8 it arrived in reads exactly as the same text held
// wide, through every reader, copy, move, swap and assignment.
TEST(OleVariant, utf8_text_reads_as_the_same_text_held_wide) {
    const std::string_view texts[] = {"", "plain", "caf\xc3\xa9 \xe4\xb8\xad \xf0\x9f\x98\x80", "tab\there\\"};
    for (const std::string_view t : texts) {
        ole_variant u;
        u.attach_utf8(t);
        const ole_variant w(t);  // held wide
        EXPECT_TRUE(u.holds_utf8());
        EXPECT_FALSE(w.holds_utf8());
        EXPECT_EQ(u.vartype(), VT_BSTR);
        EXPECT_EQ(u.utf8_view(), t);
        EXPECT_EQ(u.to_string(), w.to_string());
        EXPECT_EQ(u.to_wstring(), w.to_wstring());
        EXPECT_EQ(u.text_view(), w.text_view());
        std::string a = "|", b = "|";
        u.append_utf8(a);
        w.append_utf8(b);
        EXPECT_EQ(a, b);

        const ole_variant copy(u);
        EXPECT_EQ(copy.utf8_view(), t);
        EXPECT_NE(copy.utf8_view().data(), u.utf8_view().data());  // its own bytes
        ole_variant assigned(7LL);
        assigned = u;
        EXPECT_EQ(assigned.to_wstring(), w.to_wstring());
        EXPECT_EQ(assigned.get_i8(), 0);
        ole_variant moved(std::move(assigned));
        EXPECT_TRUE(assigned.is_empty());
        EXPECT_FALSE(assigned.holds_utf8());
        EXPECT_EQ(moved.utf8_view(), t);
        ole_variant other(L"wide");
        swap(moved, other);
        EXPECT_EQ(other.utf8_view(), t);
        EXPECT_EQ(moved.to_wstring(), L"wide");
        EXPECT_FALSE(moved.holds_utf8());
    }
}

TEST(OleVariant, utf8_text_is_checked_cut_at_nul_and_replaced_whole) {
    ole_variant v;
    v.attach_utf8(std::string_view("ab\0cd", 5));
    EXPECT_EQ(v.utf8_view(), "ab");
    EXPECT_THROW(v.attach_utf8("bad \xff byte"), tk_exception_ex);
    EXPECT_TRUE(v.is_empty());
    EXPECT_FALSE(v.holds_utf8());
    EXPECT_THROW(v.attach_utf8("\xed\xa0\x80"), tk_exception_ex);  // a surrogate has no UTF-8 form

    // Written in place by a reader.
    char* p = v.utf8_room(4);
    std::memcpy(p, "\xc3\xa9t\xc3", 4);
    EXPECT_THROW(v.commit_utf8(4), tk_exception_ex);  // ends inside a character
    EXPECT_TRUE(v.is_empty());
    p = v.utf8_room(4);
    std::memcpy(p, "\xc3\xa9t!", 4);
    v.commit_utf8(4);
    EXPECT_EQ(v.to_wstring(), L"\u00e9t!");

    // Every other payload goes when the value becomes text, and the text when
    // it becomes anything else.
    const std::vector<unsigned char> bytes{1, 2, 3};
    ole_variant array(bytes);
    array.attach_utf8("x");
    EXPECT_EQ(array.to_string(), "x");
    array.attach_binary(bytes);
    EXPECT_FALSE(array.holds_utf8());
    EXPECT_EQ(array.to_string(), "0x010203");
    array.attach_utf8("y");
    array.attach_string("wide now");
    EXPECT_FALSE(array.holds_utf8());
    EXPECT_EQ(array.to_wstring(), L"wide now");
    EXPECT_EQ(array.binary_room(2), array.binary_room(2));  // the same array for the same size
}

TEST(OleVariant, from_wstring_table) {
    EXPECT_EQ(ole_variant::from_wstring(L"w\u00e9de", VT_BSTR).to_wstring(), L"w\u00e9de");
    EXPECT_EQ(ole_variant::from_wstring(L"", VT_BSTR).vartype(), VT_BSTR);
    EXPECT_TRUE(ole_variant::from_wstring(L"", VT_I4).is_empty());
    EXPECT_EQ(ole_variant::from_wstring(L"-77", VT_I2).to_string(), "-77");
    EXPECT_EQ(ole_variant::from_wstring(L"0x00ff", VT_BLOB).to_string(), "0x00FF");
    EXPECT_EQ(ole_variant::from_wstring(L"12,5", VT_DECIMAL).to_string(), "12.5");
    EXPECT_EQ(ole_variant::from_wstring(L"2020-01-02", VT_DATE).to_string(), "2020-01-02");
    // A character outside ASCII narrows to UTF-8 first: 3 bytes, an odd length.
    EXPECT_TRUE(ole_variant::from_wstring(L"0\u00e9", VT_BLOB).is_empty());
    EXPECT_EQ(ole_variant::from_wstring(L"5\u00e9", VT_I4).to_string(), "5");
}

}  // namespace
