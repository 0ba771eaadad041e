#include "sql/sql_exc.h"

#include <mysql.h>

#include "tk/tk_log.h"

sql_exception::sql_exception(MYSQL* connection)
    : sql_exception(connection ? mysql_error(connection) : "", connection ? mysql_errno(connection) : 0)
{
}

sql_exception::sql_exception(const std::string& message, unsigned error_number)
    : tk_exception(message, 0)
{
    m_level = 0;  // an empty library text must not become "Unknown exception" with another level
    m_code = code_base + static_cast<int>(error_number & 0xFFFFu);
    tk_trace(2, "sql_exception::sql_exception( msg=%s)", m_message.c_str());
    tk_trace(2, "Got MySQL error code=%d", static_cast<int>(error_number));
}

sql_auth_not_supported_exception::sql_auth_not_supported_exception()
    : tk_exception("The program does not support authentication protocol requested by server. "
                   "See 'Troubleshooting' article of the product documentation.",
                   1)
{
}
