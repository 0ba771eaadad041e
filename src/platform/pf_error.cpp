#include "platform/pf_error.h"

#include <cerrno>
#include <cstring>

int pf_last_error() { return errno; }

void pf_set_last_error(int code) { errno = code; }

std::string pf_error_text(int code) {
    char buf[512];
    // GNU strerror_r: returns the text, possibly not in buf.
    const char* text = strerror_r(code, buf, sizeof buf);
    return text ? std::string(text) : std::string();
}
