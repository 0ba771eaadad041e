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
