// Profiles: the converter's settings in a profile file.
#include "converter/dr_conv.h"
#include "tk/tk_utils.h"

bool dravik_convertor::store_profile(const std::wstring& path) {
    m_profile_fault = udb_profile_fault{};
    udb_profile profile;
    if (!udb_converter::store_profile(profile) || !mysql_converter_impl::store_profile(profile) ||
        !pgs_converter_impl::store_profile(profile))
        return false;
    // A selected view is kept as the query the run reads it with, so that a
    // run from the profile (the agent's too) converts what this one did. A
    // query of the same name keeps its place, as in the run.
    for (const auto& view : views) profile.set_value(udb_profile::selected_tables, view.first, view_query(view.first));
    const bool stored = profile.store(path);
    if (!stored) m_profile_fault = profile.fault();
    return stored;
}

bool dravik_convertor::load_profile(const std::wstring& path) {
    // Its own "logfile" must not name it.
    std::string narrow;
    if (tk_w2a(path, narrow)) add_input_file(narrow, profile_file_role);
    udb_profile profile;
    if (!profile.load(path)) return false;
    return load_profile(profile);
}

bool dravik_convertor::load_profile(const udb_profile& profile) {
    return udb_converter::load_profile(profile) && mysql_converter_impl::load_profile(profile) &&
           pgs_converter_impl::load_profile(profile);
}
