#include "platform/pf_var.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

pf_variant text(const wchar_t* t) {
    pf_variant v;
    v.vt = VT_BSTR;
    v.bstr = pf_bstr_alloc(t);
    return v;
}

TEST(PfVariant, deep_copy_and_release_of_text_and_arrays) {
    pf_variant a = text(L"abc");
    pf_variant b = a;
    ASSERT_EQ(b.vt, VT_BSTR);
    EXPECT_NE(a.bstr, b.bstr);
    EXPECT_EQ(pf_bstr_view(b.bstr), L"abc");

    pf_variant arr;
    arr.vt = VT_ARRAY_UI1;
    arr.array = pf_sa_create(3);
    arr.array->data()[1] = 7;
    pf_variant arr2 = arr;
    arr2.array->data()[1] = 9;
    EXPECT_EQ(arr.array->data()[1], 7);

    b = arr;  // text released, array copied
    EXPECT_EQ(b.vt, VT_ARRAY_UI1);
    pf_variant moved(std::move(b));
    EXPECT_EQ(b.vt, VT_EMPTY);
    EXPECT_EQ(moved.array->count, 3u);
    EXPECT_EQ(pf_variant_clear(moved), PF_S_OK);
    EXPECT_EQ(moved.vt, VT_EMPTY);
}

TEST(PfVariant, embedded_nul_survives_in_text_blocks) {
    pf_bstr s = pf_bstr_alloc(std::wstring_view(L"a\0b", 3));
    EXPECT_EQ(pf_bstr_len(s), 3u);
    pf_bstr_free(s);
    EXPECT_EQ(pf_bstr_len(nullptr), 0u);
}

TEST(PfVariant, change_type_from_text_table) {
    struct row {
        const wchar_t* in;
        VARTYPE vt;
        pf_hresult hr;
        const wchar_t* back;  // the value changed back to text
    } rows[] = {
        {L"42", VT_I4, PF_S_OK, L"42"},
        {L" -7 ", VT_INT, PF_S_OK, L"-7"},
        {L"2.5", VT_I2, PF_S_OK, L"2"},
        {L"40000", VT_I2, PF_DISP_E_OVERFLOW, nullptr},
        {L"-1", VT_UI4, PF_DISP_E_OVERFLOW, nullptr},
        {L"4294967295", VT_UINT, PF_S_OK, L"4294967295"},
        {L"18446744073709551615", VT_UI8, PF_S_OK, L"18446744073709551615"},
        {L"1.25", VT_R8, PF_S_OK, L"1.25e+00"},
        {L"1e999", VT_R8, PF_DISP_E_OVERFLOW, nullptr},
        {L"12.5000", VT_DECIMAL, PF_S_OK, L"12.5000"},
        {L"12.50", VT_CY, PF_S_OK, L"12.5"},
        {L"abc", VT_I4, PF_DISP_E_TYPEMISMATCH, nullptr},
        {L"abc", VT_ERROR, PF_DISP_E_TYPEMISMATCH, nullptr},
        {L"abc", 9999, PF_DISP_E_BADVARTYPE, nullptr},
        {L"4\u00e9", VT_I4, PF_DISP_E_TYPEMISMATCH, nullptr},
    };
    for (const auto& r : rows) {
        pf_variant src = text(r.in);
        pf_variant dst;
        EXPECT_EQ(pf_change_type(dst, src, 0, r.vt), r.hr) << int(r.vt);
        if (r.hr != PF_S_OK) {
            EXPECT_EQ(dst.vt, VT_EMPTY);
            continue;
        }
        EXPECT_EQ(dst.vt, r.vt);
        pf_variant t;
        ASSERT_EQ(pf_change_type(t, dst, 0, VT_BSTR), PF_S_OK);
        EXPECT_EQ(pf_bstr_view(t.bstr), r.back);
    }
}

TEST(PfVariant, change_type_in_place_bool_empty_and_date) {
    pf_variant v = text(L"TRUE");
    ASSERT_EQ(pf_change_type(v, v, 0, VT_BOOL), PF_S_OK);
    EXPECT_EQ(v.boolean, PF_VARIANT_TRUE);
    v = text(L"0");
    ASSERT_EQ(pf_change_type(v, v, 0, VT_BOOL), PF_S_OK);
    EXPECT_EQ(v.boolean, PF_VARIANT_FALSE);
    v = text(L"x");
    ASSERT_EQ(pf_change_type(v, v, 0, VT_EMPTY), PF_S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    v = text(L"1899-12-31 06:00:00");
    ASSERT_EQ(pf_change_type(v, v, 0, VT_DATE), PF_S_OK);
    EXPECT_DOUBLE_EQ(v.date, 1.25);
}

}  // namespace
