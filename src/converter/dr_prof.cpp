// Profiles: the converter's settings in a profile file.
#include "converter/dr_conv.h"

bool dravik_convertor::store_profile(const std::wstring& path) {
    m_profile_fault = udb_profile_fault{};
    udb_profile profile;
    if (!udb_converter::store_profile(profile) || !mysql_converter_impl::store_profile(profile) ||
        !pgs_converter_impl::store_profile(profile))
        return false;
    const bool stored = profile.store(path);
    if (!stored) m_profile_fault = profile.fault();
    return stored;
}

bool dravik_convertor::load_profile(const std::wstring& path) {
    udb_profile profile;
    if (!profile.load(path)) return false;
    return load_profile(profile);
}

bool dravik_convertor::load_profile(const udb_profile& profile) {
    return udb_converter::load_profile(profile) && mysql_converter_impl::load_profile(profile) &&
           pgs_converter_impl::load_profile(profile);
}
