#include "variant/ole_date.h"

#include <algorithm>

#include "platform/pf_trim.h"
#include "platform/pf_vtype.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

constexpr int k_detail = 1;

// The pure-time form carries the MySQL TIME range; a time of day inside a
// date keeps the older, looser limit of 60.
constexpr int k_max_duration_hour = 838;
constexpr int k_max_time_field = 60;

bool is_space(char c) { return pf_is_blank(c, pf_blanks::c_space); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A small sscanf: "%d" or "%hd" reads a signed decimal number after white space
// (kept as read into an int, magnitude capped far above any field's range),
// "%s" a word of up to 255 characters; a blank in the format matches any run
// of white space, every other character itself. Returns the items assigned.
int scan(std::string_view in, const char* fmt, int* ints, bool* negs, std::string_view* word) {
    std::size_t i = 0;
    int items = 0;
    int ni = 0;
    auto skip_space = [&] {
        while (i < in.size() && is_space(in[i])) ++i;
    };
    for (const char* f = fmt; *f; ++f) {
        if (*f == ' ') {
            skip_space();
            continue;
        }
        if (*f == '%') {
            ++f;
            if (*f == 'h') ++f;
            if (*f == 'd') {
                skip_space();
                bool neg = false;
                if (i < in.size() && (in[i] == '-' || in[i] == '+')) neg = in[i++] == '-';
                const std::size_t start = i;
                long long x = 0;
                while (i < in.size() && is_digit(in[i])) {
                    if (x < 100000000) x = x * 10 + (in[i] - '0');
                    ++i;
                }
                if (i == start) return items;
                ints[ni] = static_cast<int>(neg ? -x : x);
                negs[ni] = neg;
                ++ni, ++items;
                continue;
            }
            if (*f == 's') {
                skip_space();
                const std::size_t start = i;
                while (i < in.size() && !is_space(in[i])) ++i;
                if (i == start) return items;
                *word = in.substr(start, std::min<std::size_t>(i - start, 255));
                ++items;
                continue;
            }
            return items;
        }
        if (i >= in.size() || in[i] != *f) return items;
        ++i;
    }
    return items;
}

bool all_digits(std::string_view s) { return std::all_of(s.begin(), s.end(), is_digit); }

int read_fixed(std::string_view s, std::size_t pos, std::size_t len) {
    int v = 0;
    for (std::size_t k = 0; k < len; ++k) v = v * 10 + (s[pos + k] - '0');
    return v;
}

bool fits_word(int v) { return v >= 0 && v <= 0xFFFF; }

// ---- printing ----

char* put_num(char* p, unsigned v, int width) {
    char tmp[12];
    int n = 0;
    do {
        tmp[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v);
    for (int k = n; k < width; ++k) *p++ = '0';
    while (n) *p++ = tmp[--n];
    return p;
}

char* put_date(char* p, const plat_systemtime& t) {
    p = put_num(p, t.year, 4);
    *p++ = '-';
    p = put_num(p, t.month, 2);
    *p++ = '-';
    return put_num(p, t.day, 2);
}

char* put_time(char* p, const plat_systemtime& t) {
    p = put_num(p, t.hour, 2);
    *p++ = ':';
    p = put_num(p, t.minute, 2);
    *p++ = ':';
    p = put_num(p, t.second, 2);
    if (t.microsecond != 0) {
        *p++ = '.';
        p = put_num(p, t.microsecond, 6);
    }
    return p;
}

bool zero_time(const plat_systemtime& t) { return t.hour == 0 && t.minute == 0 && t.second == 0 && t.microsecond == 0; }

const char* print_trace(int32_t kind) {
    switch (kind) {
    case ole_date::kind_date_time: return "printing datetime...";
    case ole_date::kind_date: return "printing date...";
    case ole_date::kind_time: return "printing time...";
    default: return nullptr;
    }
}

}  // namespace

// ---- construction and parsing ----

ole_date::ole_date(const plat_systemtime& st) : omit_zero_time_(true), kind_(kind_date_time), time_(st) {
    tk_trace(k_detail, "ole_date::ole_date(SYSTEMTIME)");
    time_.day_of_week = 0;
    refine_type();
}

ole_date::ole_date(std::string_view text) { init(text); }

ole_date::ole_date(std::wstring_view text) {
    // Only ASCII can form a date; anything else stands as '?', as an unmappable
    // character does when narrowed, and no allocation is needed for short texts.
    char buf[256];
    std::string heap;
    char* p = buf;
    if (text.size() > sizeof buf) {
        heap.resize(text.size());
        p = heap.data();
    }
    for (std::size_t i = 0; i < text.size(); ++i)
        p[i] = (text[i] >= 0 && text[i] < 0x80) ? static_cast<char>(text[i]) : '?';
    init(std::string_view(p, text.size()));
}

void ole_date::init(std::string_view text) {
    tk_trace(k_detail, "ole_date::ole_date('%.*s')", static_cast<int>(text.size()), text.data());
    time_ = plat_systemtime{};
    kind_ = kind_invalid;

    std::string_view buf = pf_trim(text, pf_blanks::space);
    tk_trace(k_detail, "After tk_trim: %.*s", static_cast<int>(buf.size()), buf.data());

    enum { none, am, pm } marker = none;
    static const struct {
        const char* word;
        int which;
    } markers[] = {{"AM", am}, {"PM", pm}, {"am", am}, {"pm", pm}};
    for (const auto& m : markers) {
        const std::size_t at = buf.find(m.word);
        if (at != std::string_view::npos) {
            marker = static_cast<decltype(marker)>(m.which);
            buf = pf_trim(buf.substr(0, at), pf_blanks::space);
            break;
        }
    }
    tk_trace(k_detail, "Again buf1=%.*s", static_cast<int>(buf.size()), buf.data());

    if (buf.size() <= 4) {
        tk_trace(2, "Invalid date/time format: '%.*s'", static_cast<int>(buf.size()), buf.data());
        return;
    }
    import_from_string(buf);

    // Day-month-year input read with the year in the day's place.
    if ((kind_ == kind_date_time || kind_ == kind_date) && time_.day > 31 && time_.year < 32)
        std::swap(time_.day, time_.year);

    if (kind_ != kind_invalid && !time_.negative) {
        if (marker == pm && time_.hour <= 11) time_.hour = static_cast<uint16_t>(time_.hour + 12);
        if (marker == am && time_.hour == 12) time_.hour = 0;  // 12 AM is midnight
    }
}

void ole_date::import_from_string(std::string_view buf) {
    tk_trace(k_detail, "ole_date::import_from_string");

    // 1 and 2: run-together digits, YYYYMMDDhhmmss and YYYYMMDD.
    if (buf.size() == 14 || buf.size() == 8) {
        const bool with_time = buf.size() == 14;
        tk_trace(k_detail, with_time ? "Trying timestamp format (1)..." : "Trying timestamp format (2)...");
        if (all_digits(buf)) {
            kind_ = with_time ? kind_date_time : kind_date;
            time_.year = static_cast<uint16_t>(read_fixed(buf, 0, 4));
            time_.month = static_cast<uint16_t>(read_fixed(buf, 4, 2));
            time_.day = static_cast<uint16_t>(read_fixed(buf, 6, 2));
            if (with_time) {
                time_.hour = static_cast<uint16_t>(read_fixed(buf, 8, 2));
                time_.minute = static_cast<uint16_t>(read_fixed(buf, 10, 2));
                time_.second = static_cast<uint16_t>(read_fixed(buf, 12, 2));
            }
            if (is_valid()) return;
        }
        time_ = plat_systemtime{};
    }

    int v[6] = {};
    bool neg[6] = {};
    std::string_view seconds;

    // 3: a pure time, hours:minutes:seconds[.fraction], possibly beyond a day or negative.
    tk_trace(k_detail, "Trying pure time format...");
    if (scan(buf, "%hd:%hd:%s", v, neg, &seconds) == 3) {
        const int hour = neg[0] ? -v[0] : v[0];
        if (fits_word(hour) && fits_word(v[1])) {
            kind_ = kind_time;
            time_.hour = static_cast<uint16_t>(hour);
            time_.minute = static_cast<uint16_t>(v[1]);
            if (process_milliseconds(seconds.data(), seconds.size())) {
                time_.negative = neg[0] && !zero_time(time_);
                if (is_valid()) return;
            }
        }
        time_ = plat_systemtime{};
    }

    // 4: the locale's own date forms.
    plat_systemtime parsed;
    if (plat_date_from_str(buf, parsed)) {
        tk_trace(k_detail, "Got datetime using Microsoft API");
        time_ = parsed;
        kind_ = kind_date_time;
        refine_type();
        return;
    }

    // 5: year, month, day with '-', '/' or '.', optionally with a time.
    static const char* const forms[] = {"%hd-%hd-%hd %hd:%hd:%s", "%hd/%hd/%hd %hd:%hd:%s", "%hd.%hd.%hd %hd:%hd:%s"};
    for (int f = 0; f < 3; ++f) {
        tk_trace(k_detail, "Trying datetime format #%d", f);
        const int items = scan(buf, forms[f], v, neg, &seconds);
        if (items != 3 && items != 6) continue;
        const int fields = items == 3 ? 3 : 5;
        bool fit = true;
        for (int k = 0; k < fields; ++k) fit = fit && fits_word(v[k]);
        if (fit) {
            time_.year = static_cast<uint16_t>(v[0]);
            time_.month = static_cast<uint16_t>(v[1]);
            time_.day = static_cast<uint16_t>(v[2]);
            if (items == 3) {
                tk_trace(k_detail, "Format #%d succeeded (3 items)", f);
                kind_ = kind_date;
                if (is_valid()) return;
            } else {
                tk_trace(k_detail, "Format #%d succeeded (6 items)", f);
                kind_ = kind_date_time;
                time_.hour = static_cast<uint16_t>(v[3]);
                time_.minute = static_cast<uint16_t>(v[4]);
                // Checked as a date-time before refining: a zero date part written
                // out ("0000-00-00 12:00:00") is no pure time.
                if (process_milliseconds(seconds.data(), seconds.size()) && is_valid()) {
                    refine_type();
                    return;
                }
            }
        }
        time_ = plat_systemtime{};
        kind_ = kind_invalid;
    }

    kind_ = kind_invalid;
    time_ = plat_systemtime{};
    tk_trace(2, "Invalid date/time format: '%.*s'", static_cast<int>(buf.size()), buf.data());
}

// Seconds with an optional fraction. The fraction is kept exactly to the
// microsecond (further digits are cut): it is never rounded into the next
// second, and nothing carries into minutes, hours or the day.
bool ole_date::process_milliseconds(const char* text, std::size_t len) {
    if (!text) throw tk_mail_assertion("ole_date", 356);
    tk_trace(k_detail, "ole_date::process_milliseconds");
    tk_trace(k_detail, "Got row sec: '%.*s'", static_cast<int>(len), text);

    std::size_t i = 0;
    long whole = 0;
    int int_digits = 0;
    while (i < len && is_digit(text[i])) {
        if (whole < 100000) whole = whole * 10 + (text[i] - '0');
        ++i, ++int_digits;
    }
    uint32_t usec = 0;
    int frac_digits = 0;
    if (i < len && text[i] == '.') {
        ++i;
        uint32_t scale = 100000;
        while (i < len && is_digit(text[i])) {
            if (frac_digits < 6) usec += static_cast<uint32_t>(text[i] - '0') * scale, scale /= 10;
            ++i, ++frac_digits;
        }
    }
    // Not a number, or one in exponent form: no seconds to be had.
    if (int_digits + frac_digits == 0 || (i < len && (text[i] == 'e' || text[i] == 'E'))) return false;
    if (whole > 0xFFFF) return false;

    time_.second = static_cast<uint16_t>(whole);
    time_.microsecond = usec;
    tk_trace(k_detail, "Got sec: %d", static_cast<int>(time_.second));
    tk_trace(k_detail, "Got msec: %d", static_cast<int>(time_.microsecond / 1000));
    tk_trace(k_detail, "After processing: %02d:%02d:%02d", static_cast<int>(time_.hour), static_cast<int>(time_.minute),
             static_cast<int>(time_.second));
    return true;
}

void ole_date::refine_type() {
    tk_trace(k_detail, "ole_date::refine_type(%d,%d,%d,%d,%d,%d)", static_cast<int>(time_.year),
             static_cast<int>(time_.month), static_cast<int>(time_.day), static_cast<int>(time_.hour),
             static_cast<int>(time_.minute), static_cast<int>(time_.second));
    if (time_.year == 0 && time_.month == 0 && time_.day == 0)
        kind_ = kind_time;
    else if (zero_time(time_) && time_.year != 0 && time_.month != 0 && time_.day != 0)
        kind_ = kind_date;
}

bool ole_date::date_part_valid() const {
    if (time_.month < 1 || time_.month > 12) {
        tk_trace(k_detail, "Invalid month");
        return false;
    }
    if (time_.day == 0 || time_.year == 0 || (time_.day > 31 && time_.year > 31)) {
        tk_trace(k_detail, "Invalid day and/or year");
        return false;
    }
    return true;
}

bool ole_date::is_valid() const {
    tk_trace(k_detail, "ole_date::is_valid");
    if (kind_ == kind_invalid) return false;

    // Only the pure-time form carries the zero date; a date written as zeros
    // ("0000-00-00") is no date at all.
    const bool zero_date = time_.year == 0 && time_.month == 0 && time_.day == 0;
    const bool pure_time = zero_date && kind_ == kind_time;
    if (pure_time)
        tk_trace(k_detail, "DATETIME is a pute time");
    else if (!date_part_valid())
        return false;

    const int max_hour = pure_time ? k_max_duration_hour : k_max_time_field;
    if (time_.hour > max_hour || time_.minute > k_max_time_field || time_.second > k_max_time_field ||
        time_.microsecond > 999999 || (time_.negative && !pure_time)) {
        tk_trace(k_detail, "Invalid time");
        return false;
    }
    return true;
}

// ---- printing ----

std::size_t ole_date::format(char* buf) const {
    char* p = buf;
    switch (kind_) {
    case kind_date_time:
        p = put_date(p, time_);
        if (!(omit_zero_time_ && zero_time(time_))) {
            *p++ = ' ';
            p = put_time(p, time_);
        }
        break;
    case kind_date: p = put_date(p, time_); break;
    case kind_time:
        for (const char* z = "0000-00-00 "; *z; ++z) *p++ = *z;
        if (time_.negative) *p++ = '-';
        p = put_time(p, time_);
        break;
    default: break;
    }
    return static_cast<std::size_t>(p - buf);
}

void ole_date::append_to(std::string& out) const {
    char buf[max_text];
    out.append(buf, format(buf));
}

void ole_date::append_to(std::wstring& out) const {
    char buf[max_text];
    const std::size_t n = format(buf);
    out.append(buf, buf + n);
}

std::string ole_date::to_string() const {
    tk_trace(k_detail, "ole_date::to_string");
    if (const char* t = print_trace(kind_)) tk_trace(k_detail, "%s", t);
    std::string s;
    append_to(s);
    return s;
}

std::wstring ole_date::to_wstring() const {
    tk_trace(k_detail, "ole_date::to_wstring");
    if (const char* t = print_trace(kind_)) tk_trace(k_detail, "%s", t);
    std::wstring s;
    append_to(s);
    return s;
}

bool is_text_or_date_type(uint16_t type_code) { return type_code == VT_BSTR || type_code == VT_DATE; }

// ---- GUID texts ----

ole_guid_extractor::ole_guid_extractor(std::string_view text) {
    std::wstring wide;
    if (!tk_a2w(text, wide)) {
        // Not valid UTF-8: the words and braces searched for are ASCII, so keep
        // those and stand every other byte for one unknown character.
        wide.clear();
        for (unsigned char c : text) wide.push_back(c < 0x80 ? static_cast<wchar_t>(c) : L'\uFFFD');
    }
    parse(wide);
}

ole_guid_extractor::ole_guid_extractor(std::wstring_view text) { parse(text); }

void ole_guid_extractor::parse(std::wstring_view text) {
    text_.assign(text);
    tk_trace_w(1, L"ole_guid_extractor::ctor(%s)", text_.c_str());
    if (text_.size() < 45) return;

    const std::size_t lower = text_.find(L"guid");
    const std::size_t upper = text_.find(L"GUID");
    auto as_int = [](std::size_t p) { return p == std::wstring::npos ? -1 : static_cast<int>(p); };
    tk_trace(k_detail, "Locating 'guid' (%d : %d)", as_int(lower), as_int(upper));
    const std::size_t word = lower != std::wstring::npos ? lower : upper;
    if (word == std::wstring::npos) return;

    const std::size_t brace = text_.find(L'{', word + 4);
    if (brace != std::wstring::npos) {
        position_ = static_cast<int32_t>(brace);
        found_ = true;
    }
}

std::wstring ole_guid_extractor::get_plain() const {
    if (!found_) return {};
    const std::size_t p = static_cast<std::size_t>(position_);
    if (text_.size() - p - 1 < 36) return {};  // a cut GUID gives no digits at all
    std::wstring out;
    out.reserve(32);
    out.append(text_, p + 1, 8);
    out.append(text_, p + 10, 4);
    out.append(text_, p + 15, 4);
    out.append(text_, p + 20, 4);
    out.append(text_, p + 25, 12);
    return out;
}

std::string ole_guid_extractor::get_plain_a() const { return tk_to_ansi(get_plain()); }

std::wstring ole_guid_extractor::get_braced() const {
    if (!found_) return {};
    return text_.substr(static_cast<std::size_t>(position_), 38);
}
