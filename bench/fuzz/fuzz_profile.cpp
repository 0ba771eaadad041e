// The profile reader on arbitrary file contents. What loads must store and
// load back to the same profile; when store refuses, the reason must be one a
// loaded profile can really have.

#include "fuzz_util.h"
#include "tk/tk_exc.h"
#include "udb/udb_prof.h"

namespace {
constexpr const char* me = "fuzz_profile";
using kind = udb_profile_fault::kind;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_scratch& scratch = fuzz_scratch::get();
    static const std::string in_path = scratch.path("in.vek");
    static const std::string out_path = scratch.path("out.vek");
    if (!scratch.write(in_path, std::string_view(reinterpret_cast<const char*>(data), size)))
        fuzz_fail(me, "cannot write the input file");

    udb_profile loaded;
    bool ok = false;
    try {
        ok = loaded.load(fuzz_widen(in_path));
    } catch (const tk_exception& e) {
        // Only text that is not UTF-8 may throw (level 0); the file exists.
        FUZZ_CHECK(me, e.level() == 0);
        return 0;
    }
    if (!ok) return 0;

    // Load trims the ends of every line and of every key, and splits at
    // line ends.
    for (const auto& [name, keys] : loaded.sections()) {
        FUZZ_CHECK(me, name.find(L'\n') == std::wstring::npos);
        for (const auto& [key, value] : keys) {
            FUZZ_CHECK(me, key.find(L'\n') == std::wstring::npos && value.find(L'\n') == std::wstring::npos);
            FUZZ_CHECK(me, key.empty() || (key.front() != L' ' && key.back() != L' '));
            FUZZ_CHECK(me, value.empty() || value.back() != L' ');
        }
    }
    // The three sections every profile has are still there.
    (void)loaded.get_available_queries();
    (void)loaded.get_selected_tables();

    if (loaded.store(fuzz_widen(out_path))) {
        udb_profile again;
        bool ok2 = false;
        try {
            ok2 = again.load(fuzz_widen(out_path));
        } catch (const tk_exception&) {
            fuzz_fail(me, "the stored file does not load");
        }
        FUZZ_CHECK(me, ok2);
        FUZZ_CHECK(me, again == loaded);
    } else {
        const kind k = loaded.fault().what;
        // A loaded line can hold a CR or a NUL, or be a Selected Tables key
        // shaped like a header; nothing else that load produces is refused.
        FUZZ_CHECK(me, k == kind::line_break || k == kind::nul_character || k == kind::header_shaped);
    }
    return 0;
}
