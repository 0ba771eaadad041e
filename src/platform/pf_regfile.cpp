#include "platform/pf_regfile.h"

#include <charconv>
#include <cstdint>

#include "platform/pf_text.h"
#include "platform/pf_utf8.h"

namespace {

constexpr std::string_view header = "vek-registry 1";

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

const char hex_digits[] = "0123456789ABCDEF";

void put_hex(std::string& out, std::uint32_t v, int digits) {
    for (int i = digits - 1; i >= 0; --i) out += hex_digits[(v >> (4 * i)) & 0xF];
}

void escape_bytes(std::string_view in, std::string& out) {
    for (unsigned char c : in) {
        if (c == '\\') {
            out += "\\\\";
        } else if (is_control(c)) {
            out += "\\x";
            put_hex(out, c, 2);
        } else {
            out += static_cast<char>(c);
        }
    }
}

void escape_wide(std::wstring_view in, std::string& out) {
    for (wchar_t w : in) {
        const auto u = static_cast<std::uint32_t>(w);
        if (u == '\\') {
            out += "\\\\";
        } else if (u < 0x80 && is_control(static_cast<unsigned char>(u))) {
            out += "\\x";
            put_hex(out, u, 2);
        } else if (u < 0x80) {
            out += static_cast<char>(u);
        } else if (pf_utf8::is_scalar(u)) {
            char utf8[4];
            out.append(utf8, static_cast<std::size_t>(pf_utf8::put(utf8, u) - utf8));
        } else {
            out += "\\U";
            put_hex(out, u, 8);
        }
    }
}

bool read_hex(std::string_view in, std::size_t& pos, int digits, std::uint32_t& v) {
    if (in.size() - pos < static_cast<std::size_t>(digits)) return false;
    v = 0;
    for (int i = 0; i < digits; ++i) {
        const char c = in[pos++];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return false;
        v = v << 4 | static_cast<std::uint32_t>(d);
    }
    return true;
}

bool unescape_bytes(std::string_view in, std::string& out) {
    out.clear();
    for (std::size_t pos = 0; pos < in.size();) {
        const auto c = static_cast<unsigned char>(in[pos++]);
        if (is_control(c)) return false;
        if (c != '\\') {
            out += static_cast<char>(c);
            continue;
        }
        if (pos == in.size()) return false;
        const char e = in[pos++];
        std::uint32_t v;
        if (e == '\\')
            out += '\\';
        else if (e == 'x' && read_hex(in, pos, 2, v))
            out += static_cast<char>(v);
        else
            return false;
    }
    return true;
}

bool unescape_wide(std::string_view in, std::wstring& out) {
    out.clear();
    std::string run;
    std::wstring piece;
    auto flush = [&] {
        if (run.empty()) return true;
        if (!pf_utf8_to_wide(run, piece)) return false;
        out += piece;
        run.clear();
        return true;
    };
    for (std::size_t pos = 0; pos < in.size();) {
        const auto c = static_cast<unsigned char>(in[pos++]);
        if (is_control(c)) return false;
        if (c != '\\') {
            run += static_cast<char>(c);
            continue;
        }
        if (!flush() || pos == in.size()) return false;
        const char e = in[pos++];
        std::uint32_t v;
        if (e == '\\')
            out += L'\\';
        else if (e == 'x' && read_hex(in, pos, 2, v) && v < 0x80)
            out += static_cast<wchar_t>(v);
        else if (e == 'U' && read_hex(in, pos, 8, v))
            out += static_cast<wchar_t>(v);
        else
            return false;
    }
    return flush();
}

bool parse_line(std::string_view line, pf_reg_value& v) {
    const auto t1 = line.find('\t');
    if (t1 != 1) return false;
    const auto t2 = line.find('\t', t1 + 1);
    if (t2 == std::string_view::npos) return false;
    const auto name = line.substr(t1 + 1, t2 - t1 - 1);
    const auto data = line.substr(t2 + 1);
    if (!unescape_bytes(name, v.name)) return false;
    switch (line[0]) {
    case 'd': {
        v.what = pf_reg_value::kind::word;
        const char* end = data.data() + data.size();
        auto [p, ec] = std::from_chars(data.data(), end, v.word);
        return ec == std::errc() && p == end && !data.empty();
    }
    case 's': v.what = pf_reg_value::kind::narrow; return unescape_bytes(data, v.text);
    case 'w': v.what = pf_reg_value::kind::wide; return unescape_wide(data, v.wtext);
    default: return false;
    }
}

}  // namespace

bool pf_reg_same_name(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (pf_ascii_upper(a[i]) != pf_ascii_upper(b[i])) return false;
    return true;
}

const pf_reg_value* pf_reg_values::find(std::string_view name) const {
    for (const auto& v : values_)
        if (pf_reg_same_name(v.name, name)) return &v;
    return nullptr;
}

void pf_reg_values::put(pf_reg_value value) {
    for (auto& v : values_) {
        if (pf_reg_same_name(v.name, value.name)) {
            value.name = std::move(v.name);
            v = std::move(value);
            return;
        }
    }
    values_.push_back(std::move(value));
}

std::string pf_reg_values::format() const {
    std::string out(header);
    out += '\n';
    char num[16];
    for (const auto& v : values_) {
        switch (v.what) {
        case pf_reg_value::kind::word: out += "d\t"; break;
        case pf_reg_value::kind::narrow: out += "s\t"; break;
        case pf_reg_value::kind::wide: out += "w\t"; break;
        }
        escape_bytes(v.name, out);
        out += '\t';
        switch (v.what) {
        case pf_reg_value::kind::word: {
            auto [p, ec] = std::to_chars(num, num + sizeof num, v.word);
            out.append(num, p);
            break;
        }
        case pf_reg_value::kind::narrow: escape_bytes(v.text, out); break;
        case pf_reg_value::kind::wide: escape_wide(v.wtext, out); break;
        }
        out += '\n';
    }
    return out;
}

bool pf_reg_values::parse(std::string_view file, pf_reg_values& out) {
    out.values_.clear();
    std::size_t pos = file.find('\n');
    if (pos == std::string_view::npos || file.substr(0, pos) != header) return false;
    ++pos;
    pf_reg_values read;
    while (pos < file.size()) {
        const auto end = file.find('\n', pos);
        if (end == std::string_view::npos) return false;  // cut short
        pf_reg_value v;
        if (!parse_line(file.substr(pos, end - pos), v)) return false;
        if (read.find(v.name)) return false;  // never written twice
        read.values_.push_back(std::move(v));
        pos = end + 1;
    }
    out = std::move(read);
    return true;
}
