#pragma once
// A text that ends the program at once with exit code -1 (fatal_exit in the
// entry). Raised by the command-line parser and the table-list reader so that
// they can be tested in-process; the entry catches it first, before any other
// exception.

#include <stdexcept>
#include <string>

class agent_fatal : public std::runtime_error {
public:
    explicit agent_fatal(const std::string& text) : std::runtime_error(text) {}
};
