// The profile writer on arbitrary profiles: whatever store accepts must load
// back as the same profile, and what it refuses it names. The input is split
// at 0x1F bytes into section, key, value triples (an empty section token
// stands for "Selected Tables", whose keys may be written bare); each token is
// UTF-8 when it is valid, otherwise one character per byte, and a 0x1E byte
// becomes a lone surrogate, which has no UTF-8 form.

#include <vector>

#include "fuzz_util.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"
#include "udb/udb_prof.h"

namespace {
constexpr const char* me = "fuzz_profstore";
using kind = udb_profile_fault::kind;

std::wstring decode(std::string_view bytes) {
    std::wstring w;
    if (bytes.find('\x1E') == std::string_view::npos && tk_a2w(bytes, w) && w.size() <= bytes.size()) return w;
    w.clear();
    for (unsigned char c : bytes) w.push_back(c == 0x1E ? static_cast<wchar_t>(0xD800) : static_cast<wchar_t>(c));
    return w;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_scratch& scratch = fuzz_scratch::get();
    static const std::string path = scratch.path("store.vek");
    const std::string_view all(reinterpret_cast<const char*>(data), size);

    std::vector<std::wstring> tokens;
    for (std::size_t pos = 0;;) {
        const std::size_t sep = all.find('\x1F', pos);
        tokens.push_back(decode(all.substr(pos, sep == std::string_view::npos ? std::string_view::npos : sep - pos)));
        if (sep == std::string_view::npos) break;
        pos = sep + 1;
    }
    udb_profile p;
    for (std::size_t i = 0; i + 2 < tokens.size(); i += 3) {
        const std::wstring section = tokens[i].empty() ? std::wstring(udb_profile::selected_tables) : tokens[i];
        p.set_value(section, tokens[i + 1], tokens[i + 2]);
    }
    if (tokens.size() % 3 == 1 && !tokens.back().empty()) p.add_section(tokens.back());

    if (!p.store(fuzz_widen(path))) {
        const udb_profile_fault& f = p.fault();
        FUZZ_CHECK(me, f.what != kind::none && f.what != kind::bad_path && f.what != kind::io_error);
        FUZZ_CHECK(me, f.item != udb_profile_fault::part::none && f.item != udb_profile_fault::part::path);
        return 0;
    }
    udb_profile back;
    bool ok = false;
    try {
        ok = back.load(fuzz_widen(path));
    } catch (const tk_exception&) {
        fuzz_fail(me, "a stored profile does not load");
    }
    FUZZ_CHECK(me, ok);
    FUZZ_CHECK(me, back == p);
    return 0;
}
