#include "variant/ole_var.h"

#include <cmath>
#include <cstring>
#include <cwchar>
#include <limits>
#include <utility>

#include "platform/pf_num.h"
#include "platform/pf_utf8.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"
#include "variant/ole_date.h"

// Per-cell code: every value of every row passes here. Nothing below allocates
// beyond the payload of text and byte arrays, and trace lines are formatted only
// when a log wants them.

namespace {

// Narrow C-string semantics: the text ends at its first NUL.
std::string_view up_to_nul(std::string_view t) {
    const void* z = t.empty() ? nullptr : std::memchr(t.data(), 0, t.size());
    return z ? t.substr(0, static_cast<std::size_t>(static_cast<const char*>(z) - t.data())) : t;
}

std::wstring_view up_to_nul(std::wstring_view t) {
    const wchar_t* z = t.empty() ? nullptr : std::wmemchr(t.data(), L'\0', t.size());
    return z ? t.substr(0, static_cast<std::size_t>(z - t.data())) : t;
}

// Decodes strict UTF-8 into a new text block; null when the text is not UTF-8.
pf_bstr utf8_to_bstr(std::string_view s) {
    const std::size_t count = pf_utf8::count(s);
    if (count == std::string_view::npos) return nullptr;
    pf_bstr b = pf_bstr_alloc_len(count);
    pf_utf8::decode_counted(s, b);
    return b;
}

// Runs f on the text with every "," replaced by "."; no copy when there is none.
template <class F>
auto with_points(std::string_view t, F f) {
    if (t.find(',') == std::string_view::npos) return f(t);
    std::string s(t);
    for (char& c : s)
        if (c == ',') c = '.';
    return f(std::string_view(s));
}

// Equal ignoring case. ASCII text is settled here without allocating; other text
// takes the toolkit's Unicode comparison.
bool same_word(std::string_view text, std::string_view word) {
    bool ascii = true;
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) ascii = false;
    if (!ascii) return tk_string::compare_nocase(text, word) == 0;
    if (text.size() != word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != word[i]) return false;
    }
    return true;
}

std::int32_t truncate_to_long(double d) {
    if (std::isnan(d)) return 0;
    if (d <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    if (d >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(d);
}

}  // namespace

// ---- construction -----------------------------------------------------------------

ole_variant::ole_variant(const plat_systemtime& st) {
    tk_trace(1, "Construct ole_variant from SYSTEMTIME");
    set(st);
}

ole_variant::ole_variant(const pf_currency& cy) {
    tk_trace(1, "Construct ole_variant from CY");
    var_.vt = VT_CY;
    var_.cy = cy;
}

ole_variant::ole_variant(const pf_decimal& dec) {
    tk_trace(1, "Construct ole_variant from DECIMAL");
    var_.vt = VT_DECIMAL;
    var_.dec = dec;
}

ole_variant::ole_variant(const wchar_t* text) {
    tk_trace(1, "Construct ole_variant from BSTR");
    attach_wide(text ? std::wstring_view(text) : std::wstring_view());
}

ole_variant::ole_variant(std::wstring_view text) {
    tk_trace(1, "Construct ole_variant from BSTR");
    attach_wide(up_to_nul(text));
}

ole_variant::ole_variant(bool v) {
    tk_trace(1, "ole_variant::ctor from bool (%d)", int(v));
    var_.vt = VT_BOOL;
    var_.boolean = v ? PF_VARIANT_TRUE : PF_VARIANT_FALSE;
}

ole_variant::ole_variant(signed char v) {
    tk_trace(1, "ole_variant::ctor from char(%d)", int(v));
    set(v);
}

ole_variant::ole_variant(unsigned char v) {
    tk_trace(1, "ole_variant::ctor from byte(%d)", int(v));
    set(v);
}

ole_variant::ole_variant(short v) {
    tk_trace(1, "ole_variant::ctor from short(%d)", int(v));
    set(v);
}

ole_variant::ole_variant(unsigned short v) {
    tk_trace(1, "ole_variant::ctor from ushort(%d)", int(v));
    set(v);
}

ole_variant::ole_variant(int v) {
    tk_trace(1, "ole_variant::ctor from int(%d)", v);
    set(v);
}

ole_variant::ole_variant(unsigned int v) {
    tk_trace(1, "ole_variant::ctor from uint(%u)", v);
    set(v);
}

ole_variant::ole_variant(long long v) {
    tk_trace(1, "ole_variant::ctor(hyper, %lld)", v);
    set(v);
}

ole_variant::ole_variant(unsigned long long v) {
    tk_trace(1, "ole_variant::ctor(uhyper, %llu)", v);
    set(v);
}

ole_variant::ole_variant(long v) : ole_variant(static_cast<long long>(v)) {}
ole_variant::ole_variant(unsigned long v) : ole_variant(static_cast<unsigned long long>(v)) {}

ole_variant::ole_variant(float v) {
    tk_trace(1, "ole_variant::ctor from float(%f)", double(v));
    set(v);
}

ole_variant::ole_variant(double v) {
    tk_trace(1, "ole_variant::ctor from double(%e)", v);
    set(v);
}

ole_variant::ole_variant(const char* text) : ole_variant(std::string_view(text ? text : "")) {}

ole_variant::ole_variant(std::string_view text) {
    tk_trace(1, "ole_variant::ctor from string(%.*s)", int(text.size()), text.data());
    attach_string(text);
}

ole_variant::ole_variant(const std::vector<unsigned char>& bytes) { attach_binary(bytes); }

ole_variant ole_variant::make_null() noexcept {
    ole_variant v;
    v.var_.vt = VT_NULL;
    return v;
}

// ---- copy, move, release ----------------------------------------------------------

ole_variant::ole_variant(const ole_variant& other)
    : i8_(other.i8_), ui8_(other.ui8_), time_(other.time_), u8_(other.holds_utf8() ? other.u8_ : pf_utf8_text()) {
    tk_trace(1, "ole_variant::copy ctor");
    switch (other.var_.vt) {
    case VT_DATE: tk_trace(1, "Special processing for VT_DATE"); break;
    case VT_I8:
    case VT_UI8: tk_trace(1, "Special processing for VT_(U)I8 type"); break;
    case VT_ARRAY_UI1:
    case VT_SAFEARRAY: tk_trace(1, "Special processing for VT_SAFEARRAY"); break;
    default: break;
    }
    pf_variant_copy(var_, other.var_);
    if (var_.holds_array()) {
        // The copy is always a plain byte array; a tag without an array is no value.
        if (var_.array)
            var_.vt = VT_ARRAY_UI1;
        else
            var_.vt = VT_EMPTY;
    }
}

ole_variant::ole_variant(ole_variant&& other) noexcept
    : i8_(other.i8_), ui8_(other.ui8_), time_(other.time_), var_(std::move(other.var_)), u8_(std::move(other.u8_)) {
    other.i8_ = 0;
    other.ui8_ = 0;
    other.time_ = plat_systemtime{};
}

ole_variant& ole_variant::operator=(const ole_variant& other) {
    if (this == &other) return *this;
    if (other.var_.vt == VT_DATE) {
        const plat_systemtime& t = other.time_;
        tk_trace(1, "%04d-%02d-%02d %02d:%02d:%02d", int(t.year), int(t.month), int(t.day), int(t.hour), int(t.minute),
                 int(t.second));
    }
    // Build the copy first: the old text or array is released in every case, and
    // a failed copy leaves the target unchanged.
    ole_variant tmp(other);
    swap(tmp);
    return *this;
}

ole_variant& ole_variant::operator=(ole_variant&& other) noexcept {
    if (this != &other) {
        var_ = std::move(other.var_);
        i8_ = std::exchange(other.i8_, 0);
        ui8_ = std::exchange(other.ui8_, 0);
        time_ = std::exchange(other.time_, plat_systemtime{});
        u8_ = std::move(other.u8_);
    }
    return *this;
}

ole_variant::~ole_variant() = default;  // pf_variant releases text and arrays

void ole_variant::swap(ole_variant& other) noexcept {
    std::swap(i8_, other.i8_);
    std::swap(ui8_, other.ui8_);
    std::swap(time_, other.time_);
    var_.swap(other.var_);
    u8_.swap(other.u8_);
}

void ole_variant::release_payload() noexcept {
    pf_variant_clear(var_);
    i8_ = 0;
    ui8_ = 0;
    time_ = plat_systemtime{};
    u8_.reset();
}

// ---- scalars set in place ---------------------------------------------------------

void ole_variant::set(signed char v) {
    release_payload();
    var_.vt = VT_I1;
    var_.i1 = v;
}

void ole_variant::set(unsigned char v) {
    release_payload();
    var_.vt = VT_UI1;
    var_.ui1 = v;
}

void ole_variant::set(short v) {
    release_payload();
    var_.vt = VT_I2;
    var_.i2 = v;
}

void ole_variant::set(unsigned short v) {
    release_payload();
    var_.vt = VT_UI2;
    var_.ui2 = v;
}

void ole_variant::set(int v) {
    release_payload();
    var_.vt = VT_I4;
    var_.i4 = v;
}

void ole_variant::set(unsigned int v) {
    release_payload();
    var_.vt = VT_UI4;
    var_.ui4 = v;
}

void ole_variant::set(long long v) {
    release_payload();
    var_.vt = VT_I8;
    var_.i8 = v;
    i8_ = v;
}

void ole_variant::set(unsigned long long v) {
    release_payload();
    var_.vt = VT_UI8;
    var_.ui8 = v;
    ui8_ = v;
}

void ole_variant::set(float v) {
    release_payload();
    var_.vt = VT_R4;
    var_.r4 = v;
}

void ole_variant::set(double v) {
    release_payload();
    var_.vt = VT_R8;
    var_.r8 = v;
}

void ole_variant::set(const plat_systemtime& st) {
    release_payload();
    time_ = st;
    var_.vt = VT_DATE;
    double serial = 0;
    if (!plat_system_time_to_variant_time(st, serial)) tk_trace(2, "Failed to convert SYSTEMTIME->VARIANT");
    var_.date = serial;
}

// ---- text forms -------------------------------------------------------------------

std::wstring_view ole_variant::text_view() const {
    if (var_.vt != VT_BSTR) return {};
    return u8_.holds() ? u8_.wide() : pf_bstr_view(var_.bstr);
}

std::size_t ole_variant::format_scalar(char* buf) const {
    const pf_variant& v = var_;
    switch (v.vt) {
    case VT_I2: return pf_format_i64(v.i2, buf);
    case VT_I1: return pf_format_i64(v.i1, buf);
    case VT_I4:
    case VT_INT: return pf_format_i64(v.i4, buf);
    case VT_UI1: return pf_format_u64(v.ui1, buf);
    case VT_UI2: return pf_format_u64(v.ui2, buf);
    case VT_UI4:
    case VT_UINT: return pf_format_u64(v.ui4, buf);
    case VT_I8: return pf_format_i64(i8_, buf);
    case VT_UI8: return pf_format_u64(ui8_, buf);
    case VT_R4: return pf_format_r4(v.r4, buf);
    case VT_R8: return pf_format_r8(v.r8, buf);
    case VT_CY: return pf_cy_format(v.cy, buf);
    case VT_DECIMAL: return v.dec.format(buf);
    case VT_DATE: return ole_date(time_).format(buf);
    case VT_BOOL: buf[0] = v.boolean == PF_VARIANT_TRUE ? '1' : '0'; return 1;
    default: return 0;  // empty, null and whatever has no text
    }
}

std::string ole_variant::to_string() const {
    const VARTYPE vt = var_.vt;
    tk_trace(1, "ole_variant::to_string (vt=%08X)", unsigned(vt));
    switch (vt) {
    case VT_BSTR: {
        if (u8_.holds()) return std::string(u8_.view());
        std::string out;
        // The conversion code page's default character stands for what it cannot hold.
        pf_utf8::append_wide(out, up_to_nul(text_view()), false);
        return out;
    }
    case VT_ARRAY_UI1: {
        tk_trace(1, "Converting VT_ARRAY");
        std::string out;
        append_utf8(out);
        return out;
    }
    case VT_CY: tk_trace(1, "Converting VT_CY"); break;
    case VT_DECIMAL: tk_trace(1, "Converting VT_DECIMAL"); break;
    case VT_DATE: tk_trace(1, "Converting VT_DATE"); break;
    case VT_BOOL:
        tk_trace(1, "to_string - bool: %d", int(var_.boolean));
        tk_trace(1, "Mapping BOOL like ANSI!");
        break;
    default: break;
    }
    char buf[max_scalar_text];
    return std::string(buf, format_scalar(buf));
}

std::wstring ole_variant::to_wstring() const {
    if (holds_utf8()) {
        std::wstring w(u8_.chars(), L'\0');
        pf_utf8::decode_counted(u8_.view(), w.data());
        return w;
    }
    if (var_.vt == VT_BSTR) return std::wstring(up_to_nul(text_view()));
    const std::string s = to_string();  // ASCII for every type but text
    return std::wstring(s.begin(), s.end());
}

void ole_variant::append_utf8(std::string& out) const {
    switch (var_.vt) {
    case VT_BSTR: {
        if (u8_.holds()) {
            out.append(u8_.view());
            return;
        }
        const std::wstring_view w = up_to_nul(text_view());
        if (!pf_utf8::append_wide(out, w, true)) out += tk_to_utf8(w);  // throws for such text
        return;
    }
    case VT_ARRAY_UI1: {
        const pf_safearray* a = var_.array;
        if (!a || a->dims != 1 || a->count == 0) return;
        const std::size_t old = out.size();
        out.resize(old + 2 + 2 * a->count);
        char* o = out.data() + old;
        o[0] = '0';
        o[1] = 'x';
        pf_hex_encode(a->data(), a->count, o + 2);
        return;
    }
    default: {
        char buf[max_scalar_text];
        out.append(buf, format_scalar(buf));
        return;
    }
    }
}

// ---- other readers ----------------------------------------------------------------

std::int32_t ole_variant::to_long() const {
    const pf_variant& v = var_;
    tk_trace(1, "ole_variant::to_long(vt=%08X)", unsigned(v.vt));
    switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL: return 0;
    case VT_I2: return v.i2;
    case VT_BOOL: return v.boolean;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: return v.i4;
    case VT_R4: return truncate_to_long(v.r4);
    case VT_R8: return truncate_to_long(v.r8);
    case VT_DECIMAL: {
        std::int32_t r = 0;
        const pf_hresult hr = v.dec.to_int32(r);
        tk_trace(1, "from DECIMAL, hr=%08X", unsigned(hr));
        return pf_succeeded(hr) ? r : 0;
    }
    case VT_I1: return v.i1;
    case VT_UI1: return v.ui1;
    case VT_UI2: return v.ui2;
    case VT_I8: return static_cast<std::int32_t>(static_cast<std::uint32_t>(i8_));
    case VT_UI8: return static_cast<std::int32_t>(static_cast<std::uint32_t>(ui8_));
    default: throw tk_mail_assertion("ole_var", 478);
    }
}

std::size_t ole_variant::get_bytes(const unsigned char*& data) const {
    tk_trace(1, "ole_variant::get_bytes(%d)", int(var_.vt));
    switch (var_.vt) {
    case VT_EMPTY:
    case VT_NULL: return 0;
    case VT_ARRAY_UI1: {
        const std::size_t n = get_safe_array_size();
        data = var_.array ? var_.array->data() : nullptr;
        return n;
    }
    default: throw tk_mail_assertion("ole_var", 669);
    }
}

std::size_t ole_variant::get_safe_array_size() const {
    tk_trace(1, "get_safe_array_size");
    const pf_safearray* a = var_.holds_array() ? var_.array : nullptr;
    if (!a) return 0;
    tk_trace(1, "lower=%lld, upper=%lld", static_cast<long long>(a->lower), static_cast<long long>(a->upper()));
    return a->upper() < a->lower ? 0 : a->count;
}

// ---- writers ----------------------------------------------------------------------

unsigned char* ole_variant::allocate_safe_array(std::size_t n) {
    tk_trace(1, "ole_variant::allocate_safe_array (size=%lld)", static_cast<long long>(n));
    if (var_.vt == VT_ARRAY_UI1 && var_.array && var_.array->dims == 1) {
        tk_trace(1, "Redimension array");
        if (var_.array->count != n) pf_sa_redim(var_.array, n);
        return var_.array->data();
    }
    pf_safearray* a = pf_sa_create(n);
    release_payload();
    var_.vt = VT_ARRAY_UI1;
    var_.array = a;
    return a->data();
}

unsigned char* ole_variant::binary_room(std::size_t n) {
    if (var_.vt == VT_ARRAY_UI1 && var_.array && var_.array->dims == 1 && var_.array->lower == 0 &&
        var_.array->count == n)
        return var_.array->data();
    // The old payload goes first: a large cell followed by another is not
    // held twice (should the new one fail, the value is left empty).
    release_payload();
    pf_safearray* a = pf_sa_create(n, 0, false);
    var_.vt = VT_ARRAY_UI1;
    var_.array = a;
    return a->data();
}

void ole_variant::attach_binary(const std::vector<unsigned char>& bytes) {
    tk_trace(1, "ole_variant::attach_binary(1)");
    attach_binary(bytes.data(), bytes.size());
}

void ole_variant::attach_binary(const void* data, std::size_t n) {
    // Every byte is overwritten at once: no zeroing of a new array.
    pf_safearray* a = pf_sa_create(n, 0, false);
    if (n) std::memcpy(a->data(), data, n);
    release_payload();
    var_.vt = VT_ARRAY_UI1;
    var_.array = a;
}

void ole_variant::attach_string(std::string_view text) {
    text = up_to_nul(text);
    tk_trace(1, "ole_variant::attach_string('%.*s')", int(text.size()), text.data());
    tk_trace(1, "=== RIGHT BEFORE A2W_EX ===");
    pf_bstr b = utf8_to_bstr(text);
    if (!b) b = pf_bstr_alloc(tk_utf8_to_unicode(text));  // throws for text that is not UTF-8
    release_payload();
    var_.vt = VT_BSTR;
    var_.bstr = b;
}

void ole_variant::attach_utf8(std::string_view text) { attach_utf8_whole(up_to_nul(text)); }

char* ole_variant::utf8_room(std::size_t n) {
    // The old text's room is kept for the new one; everything else goes.
    pf_utf8_text keep;
    if (var_.vt == VT_BSTR) keep.swap(u8_);
    release_payload();
    keep.swap(u8_);
    return u8_.room(n);
}

void ole_variant::commit_utf8(std::size_t n) {
    const std::size_t whole = up_to_nul(std::string_view(u8_.view().data(), n)).size();
    commit_utf8_whole(whole);
}

bool ole_variant::attach_utf8_whole(std::string_view text) {
    tk_trace(1, "ole_variant::attach_utf8('%.*s')", int(text.size()), text.data());
    const std::size_t n = text.size();
    char* room = utf8_room(n);
    if (n) std::memcpy(room, text.data(), n);
    return commit_utf8_whole(n);
}

bool ole_variant::commit_utf8_whole(std::size_t n) {
    const std::string_view text(u8_.view().data(), n);
    bool nul = false;
    const std::size_t count = pf_utf8::count_without_nul(text, nul);
    if (count == std::string_view::npos) {
        u8_.commit(0, 0);
        if (nul) return false;  // the value stays empty
        const std::string bad(text);
        (void)tk_utf8_to_unicode(bad);  // throws the conversion's own exception
        throw tk_exception("Cannot convert to UNICODE string: ", 0);
    }
    u8_.commit(n, count);
    var_.vt = VT_BSTR;
    var_.bstr = nullptr;
    return true;
}

void ole_variant::attach_wide(std::wstring_view text) {
    pf_bstr b = pf_bstr_alloc(text);
    release_payload();
    var_.vt = VT_BSTR;
    var_.bstr = b;
}

// ---- builders from text -----------------------------------------------------------

template <class C>
ole_variant ole_variant::bytes_from_hex(const C* p, std::size_t n) {
    if (n % 2 != 0) {
        tk_trace(2, "Incorrect BLOB (size is odd)");
        return ole_variant();
    }
    if (n >= 2 && p[0] == C('0') && (p[1] == C('x') || p[1] == C('X'))) {
        p += 2;
        n -= 2;
    }
    tk_trace(1, "Got BLOB size: %lld", static_cast<long long>(n));
    auto hex = [](C c) {
        return static_cast<std::make_unsigned_t<C>>(c) < 0x80 ? pf_hex_value(static_cast<unsigned char>(c)) : -1;
    };
    ole_variant v;
    const std::size_t count = n / 2;
    pf_safearray* a = pf_sa_create(count, 0, false);
    v.var_.vt = VT_ARRAY_UI1;
    v.var_.array = a;
    unsigned char* out = a->data();
    // Each pair is one byte, read as far as its hexadecimal digits reach.
    for (std::size_t i = 0; i < count; ++i) {
        const int hi = hex(p[2 * i]);
        if (hi < 0) {
            out[i] = 0;
            continue;
        }
        const int lo = hex(p[2 * i + 1]);
        out[i] = static_cast<unsigned char>(lo < 0 ? hi : hi * 16 + lo);
    }
    return v;
}

ole_variant ole_variant::from_string(std::string_view text, VARTYPE vt) {
    text = up_to_nul(text);
    tk_trace(1, "ole_variant::from_string('%.*s', 0x%08X)", int(text.size()), text.data(), unsigned(vt));
    if (text.empty() && vt != VT_BSTR) return ole_variant();

    switch (vt) {
    case VT_I2: return ole_variant(static_cast<short>(pf_atoi(text)));
    case VT_I4: return ole_variant(static_cast<int>(pf_atoi(text)));
    case VT_I1: return ole_variant(static_cast<signed char>(pf_atoi(text)));
    case VT_UI1: return ole_variant(static_cast<unsigned char>(pf_atoi(text)));
    case VT_UI2: return ole_variant(static_cast<unsigned short>(pf_atoi(text)));
    case VT_UI4: return ole_variant(static_cast<unsigned int>(pf_scan_u32(text)));
    case VT_I8: return ole_variant(static_cast<long long>(pf_atoi64(text)));
    case VT_UI8: return ole_variant(static_cast<unsigned long long>(pf_scan_u64(text)));
    case VT_R4: return ole_variant(with_points(text, [](std::string_view t) { return pf_atof_r4(t); }));
    case VT_R8: return ole_variant(with_points(text, [](std::string_view t) { return pf_atof(t); }));
    case VT_CY: {
        tk_trace(1, "GOT VT_CY");
        pf_currency cy;
        const pf_hresult hr = with_points(text, [&](std::string_view t) { return pf_cy_from_str(t, cy); });
        if (pf_failed(hr)) {
            tk_trace(3, "VarCyFromStr failed: %08X", unsigned(hr));
            return ole_variant();
        }
        return ole_variant(cy);
    }
    case VT_DECIMAL: {
        tk_trace(1, "GOT VT_DECIMAL");
        pf_decimal d;
        const pf_hresult hr = with_points(text, [&](std::string_view t) { return pf_decimal::parse(t, d); });
        if (pf_failed(hr)) {
            tk_trace(3, "VarDecFromStr failed: %08X", unsigned(hr));
            return ole_variant();
        }
        return ole_variant(d);
    }
    case VT_DATE: {
        tk_trace(1, "GOT VT_DATE");
        const ole_date d(text);
        return d.is_valid() ? ole_variant(d.time()) : ole_variant();
    }
    case VT_BOOL:
        if (same_word(text, "yes") || same_word(text, "true")) return ole_variant(true);
        if (same_word(text, "no") || same_word(text, "false")) return ole_variant(false);
        return ole_variant(pf_atoi(text) != 0);
    case VT_BLOB:
    case VT_ARRAY_UI1: return bytes_from_hex(text.data(), text.size());
    default: {
        ole_variant v;
        v.attach_string(text);
        if (vt == VT_BSTR) return v;  // already of the type
        const pf_hresult hr = pf_change_type(v.var_, v.var_, 0, vt);
        if (pf_failed(hr)) throw ole_type_exception();
        tk_trace(1, "VariantChangeType succeeded");
        return v;
    }
    }
}

ole_variant ole_variant::from_wstring(std::wstring_view text, VARTYPE vt) {
    tk_trace(1, "ole_variant::from_wstring");
    text = up_to_nul(text);
    if (vt == VT_BSTR) return ole_variant(text);
    tk_trace(1, "=== RIGHT BEFORE W2A_EX ===");
    // Narrowed to the conversion code page; what it cannot hold becomes '?'.
    char small[256];
    std::string big;
    std::string_view narrow;
    bool ascii = true;
    for (wchar_t c : text)
        if (static_cast<std::uint32_t>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii && (vt == VT_BLOB || vt == VT_ARRAY_UI1)) {
        // Byte texts can be long: read the hex pairs straight from the wide text.
        if (text.empty()) return ole_variant();
        return bytes_from_hex(text.data(), text.size());
    }
    if (ascii && text.size() <= sizeof(small)) {
        for (std::size_t i = 0; i < text.size(); ++i) small[i] = static_cast<char>(text[i]);
        narrow = std::string_view(small, text.size());
    } else {
        pf_utf8::append_wide(big, text, false);
        narrow = big;
    }
    return from_string(narrow, vt);
}
