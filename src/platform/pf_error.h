#pragma once
// The calling thread's last system error and its text (errno / strerror).
#include <string>

int pf_last_error();
void pf_set_last_error(int code);
// The system's text for an error number; empty when the system has none.
std::string pf_error_text(int code);
