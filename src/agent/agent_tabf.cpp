#include "agent/agent_tabf.h"

#include <cstdio>
#include <memory>

#include "agent/agent_fatal.h"
#include "tk/tk_exc.h"
#include "tk/tk_log.h"
#include "tk/tk_utils.h"

namespace {

constexpr char bom[] = "\xEF\xBB\xBF";

[[noreturn]] void line_error(std::size_t line_no, const char* what) {
    throw agent_fatal("Table names file: line " + std::to_string(line_no) + " " + what);
}

struct file_closer {
    void operator()(std::FILE* f) const noexcept { std::fclose(f); }
};

}  // namespace

std::vector<std::wstring> process_tab_file(const std::string& path) {
    tk_trace(1, "process_tab_file(%s)", path.c_str());
    std::unique_ptr<std::FILE, file_closer> file;
    if (tk_is_file_exist(path, tk_file_read)) file.reset(std::fopen(path.c_str(), "rb"));
    if (!file) throw agent_fatal("Table names file does not exist.\nPlease verify the correct path/name was given.");

    std::vector<std::wstring> names;
    bool decided = false;
    bool utf8 = false;
    std::string line;
    std::size_t line_no = 0;
    bool at_end = false;
    while (!at_end) {
        // One physical line; its length is checked after the line end is
        // known, so an overlong line is reported, never cut or split.
        line.clear();
        int c;
        while ((c = std::fgetc(file.get())) != EOF && c != '\n') {
            // A CR ends a line only before its LF. A file with CR-only line
            // ends would otherwise read as one name holding all of them.
            if (!line.empty() && line.back() == '\r')
                line_error(line_no + 1, "holds a CR that does not end the line (lines must end with LF or CR LF).");
            line.push_back(static_cast<char>(c));
            // Room for a mark and a CR; anything longer can be reported at once.
            if (line.size() > agent_tab_line_max + 4) line_error(line_no + 1, "is longer than 254 characters.");
        }
        if (c == EOF) {
            if (std::ferror(file.get()))
                throw agent_fatal("Table names file cannot be read.\nPlease verify the correct path/name was given.");
            at_end = true;
            if (line.empty()) break;
        }
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;

        std::string_view text(line);
        if (!decided) {
            decided = true;
            if (text.substr(0, 3) == bom) {
                utf8 = true;
                text.remove_prefix(3);
                // A line that held only the mark names no table.
                if (text.empty()) continue;
            }
        }
        if (text.size() > agent_tab_line_max) line_error(line_no, "is longer than 254 characters.");
        if (text.find('\0') != std::string_view::npos) line_error(line_no, "holds a NUL character.");
        try {
            names.push_back(utf8 ? tk_utf8_to_unicode(text) : tk_ansi_to_unicode(text));
        } catch (const tk_exception&) {
            line_error(line_no, "is not valid text in its encoding.");
        }
    }
    return names;
}
