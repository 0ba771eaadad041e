#include "postgres/pgs_exc.h"

#include "tk/tk_log.h"

pgs_exception::pgs_exception(const std::string& text, int) : tk_exception(text, 0)
{
    m_code = 0;
    tk_trace(2, "pgs_exception::ctor");
}

pgs_exception::pgs_exception(const char* text, int) : tk_exception(text ? text : "", 0)
{
    m_code = 0;
    tk_trace(2, "pgs_exception::ctor");
}

pgs_exception::pgs_exception(const std::wstring& text, int) : tk_exception(text, 0)
{
    m_code = 0;
    tk_trace(2, "pgs_exception::ctor");
}

pgs_exception pgs_exception::from_pqxx(const pqxx::pqxx_exception& e, std::string_view prefix)
{
    pgs_exception out(std::string(prefix) + pgs_error_text(e));
    if (const auto* sql = dynamic_cast<const pqxx::sql_error*>(&e)) {
        out.m_sqlstate = sql->sqlstate();
        out.m_statement = sql->query();
    }
    out.m_connection_lost = dynamic_cast<const pqxx::broken_connection*>(&e) != nullptr;
    return out;
}
