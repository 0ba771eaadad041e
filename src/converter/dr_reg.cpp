// Registry settings: the wizard's last-used settings under the current user.
#include "converter/dr_conv.h"

#include "tk/tk_log.h"

bool dravik_convertor::serialize(bool store) {
    tk_trace(1, "serialize( %d )", store ? 1 : 0);
    if (create(pf_reg_current_user(), path().c_str()) != 0) return false;

    if (!store) {
        // What a value that is missing or unreadable leaves behind.
        convert_views = true;
        dest.clear();
        mysql_converter_impl::port = "3306";
        mysql_converter_impl::host.clear();
        mysql_converter_impl::password.clear();
        mysql_converter_impl::user.clear();
        pgs_converter_impl::host.clear();
        pgs_converter_impl::password.clear();
        pgs_converter_impl::port = 0;
        pgs_converter_impl::user.clear();
        skip_idx = false;
        src.clear();
        tab_def = false;
    }

    bool ok = true;
    DWORD pg_port = pgs_converter_impl::port;
    ok &= serialize_bool("convert_views", convert_views, store);
    ok &= serialize_wstring(L"dest", dest, store);
    ok &= serialize_string("myport", mysql_converter_impl::port, store);
    ok &= serialize_string("mysqlh", mysql_converter_impl::host, store);
    ok &= serialize_string("mysqlp", mysql_converter_impl::password, store);
    ok &= serialize_string("mysqlu", mysql_converter_impl::user, store);
    ok &= serialize_string("pgshost", pgs_converter_impl::host, store);
    ok &= serialize_string("pgspswd", pgs_converter_impl::password, store);
    ok &= serialize_ulong("pgsport", pg_port, store);
    pgs_converter_impl::port = pg_port;
    ok &= serialize_string("pgsuser", pgs_converter_impl::user, store);
    ok &= serialize_bool("skip_idx", skip_idx, store);
    ok &= serialize_wstring(L"src", src, store);
    ok &= serialize_bool("tab_def", tab_def, store);
    close();
    return ok;
}
