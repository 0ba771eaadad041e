#include "udb/udb_engi.h"

#include <unistd.h>
#include <cerrno>

#include "platform/pf_error.h"
#include "tk/tk_exc.h"
#include "tk/tk_utils.h"

void udb_engine::db_delete(const std::wstring& name) {
    std::string path;
    if (!tk_w2a(name, path)) throw tk_exception_ex();
    if (::unlink(path.c_str()) != 0) {
        pf_set_last_error(errno);
        throw tk_exception_ex();
    }
}

bool udb_engine::is_db_exist(const std::wstring& name) { return tk_is_file_exist(tk_to_ansi(name), tk_file_read); }
