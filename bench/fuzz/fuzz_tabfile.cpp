// The agent's table-list reader on arbitrary file contents, against a small
// model of the format: names are the non-empty lines in order (a CR before the
// LF dropped, a byte-order mark on the first non-empty line dropped); a line
// over 254 bytes, with a CR before its end, with a NUL or that is not UTF-8
// ends the reading with a text naming that line, and no names are returned.

#include <optional>

#include "agent/agent_fatal.h"
#include "agent/agent_tabf.h"
#include "fuzz_util.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"

namespace {
constexpr const char* me = "fuzz_tabfile";

struct model_result {
    std::vector<std::wstring> names;
    std::optional<std::string> error;  // the expected fatal text
};

model_result model(std::string_view data) {
    model_result r;
    bool decided = false;
    std::size_t line_no = 0;
    std::size_t pos = 0;
    while (pos < data.size()) {
        const std::size_t nl = data.find('\n', pos);
        std::string_view line = data.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
        pos = nl == std::string_view::npos ? data.size() : nl + 1;
        ++line_no;
        auto fail = [&](const char* what) {
            r.error = "Table names file: line " + std::to_string(line_no) + " " + what;
            r.names.clear();
        };
        // While a line is read: a CR that something follows, or a line past
        // 258 bytes (room for a mark and a CR), whichever byte comes first.
        const std::size_t cr = line.find('\r');
        const std::size_t cr_at =
            cr != std::string_view::npos && cr + 1 < line.size() ? cr + 1 : std::string_view::npos;
        const std::size_t long_at =
            line.size() > agent_tab_line_max + 4 ? agent_tab_line_max + 4 : std::string_view::npos;
        if (cr_at != std::string_view::npos && cr_at <= long_at) {
            fail("holds a CR that does not end the line (lines must end with LF or CR LF).");
            return r;
        }
        if (long_at != std::string_view::npos) {
            fail("is longer than 254 characters.");
            return r;
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        if (!decided) {
            decided = true;
            if (line.substr(0, 3) == "\xEF\xBB\xBF") {
                line.remove_prefix(3);
                if (line.empty()) continue;
            }
        }
        if (line.size() > agent_tab_line_max) {
            fail("is longer than 254 characters.");
            return r;
        }
        if (line.find('\0') != std::string_view::npos) {
            fail("holds a NUL character.");
            return r;
        }
        std::wstring name;
        try {
            name = tk_utf8_to_unicode(line);  // the ANSI code page is UTF-8 as well
        } catch (const tk_exception&) {
            fail("is not valid text in its encoding.");
            return r;
        }
        r.names.push_back(std::move(name));
    }
    return r;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_scratch& scratch = fuzz_scratch::get();
    static const std::string path = scratch.path("tables.txt");
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!scratch.write(path, bytes)) fuzz_fail(me, "cannot write the input file");

    const model_result want = model(bytes);
    std::vector<std::wstring> got;
    try {
        got = process_tab_file(path);
    } catch (const agent_fatal& e) {
        FUZZ_CHECK(me, want.error.has_value());
        FUZZ_CHECK(me, *want.error == e.what());
        return 0;
    }
    FUZZ_CHECK(me, !want.error.has_value());
    FUZZ_CHECK(me, got == want.names);
    return 0;
}
