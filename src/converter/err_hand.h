#pragma once
// error_handler: the one place where errors of a run (and of the programs'
// entry functions) are reported. It puts the current context in front,
// translates the code through the error maps, traces the text, keeps the
// first 20 texts of the program for the finish page, counts every report,
// and decides by the level whether the run goes on, ends, or the program ends.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "converter/err_ui.h"
#include "tk/tk_errco.h"
#include "tk/tk_exc.h"
#include "tk/tk_singl.h"

class error_handler : public tk_singleton<error_handler> {
public:
    static constexpr std::size_t max_listed = 20;

    error_handler(int count, const tk_error_row* rows);
    template <std::size_t N>
    explicit error_handler(const tk_error_row (&map)[N]) : error_handler(static_cast<int>(N), map) {}
    ~error_handler() override;

    void load_err_map(int count, const tk_error_row* rows);
    template <std::size_t N>
    void load_err_map(const tk_error_row (&map)[N]) {
        load_err_map(static_cast<int>(N), map);
    }

    // The text put in front of the next messages (the table being converted).
    // A name holding a line feed or an escape is kept with them escaped: the
    // message stays one line and the name readable.
    void set_context(const std::wstring& name);
    // "<name>, record #<n>".
    void set_record_context(const std::wstring& name, std::int64_t record_no);
    std::string context() const;

    // Level 2: the internal error is shown and the program ends (-1).
    // Level 1: the error is shown; unless `outer`, tk_final_exception ends the run.
    // Any other level: unless suppressed the user is asked; Abort (not `outer`)
    // raises tk_final_exception, Continue returns.
    void handle(const tk_exception& e, bool outer);
    // A recoverable error the program has already shown in its own words:
    // counted, traced and listed with the context, never shown again.
    void note(const tk_exception& e);
    // An error that ends the run whatever its level (a table's COPY that the
    // server refused when it ended): traced, listed and shown with the
    // context as a level-1 error is, then tk_final_exception.
    [[noreturn]] void end_run(const tk_exception& e);
    // A failure that is not of the exception family and ended the run (a
    // standard exception): traced as
    // "ERROR:\n%s", listed, counted and shown unless suppressed. The text is
    // taken as it stands (no context in front).
    void report_failure(const std::string& what);

    // The quiet flag: no dialog for recoverable errors, no box for level-1
    // errors (the agent's "--silent", the wizard's check box).
    void set_suppress(bool on) noexcept { m_suppress.store(on, std::memory_order_relaxed); }
    bool suppressed() const noexcept { return m_suppress.load(std::memory_order_relaxed); }

    // Null restores the console form.
    void set_dialogs(error_dialogs* dialogs) noexcept { m_dialogs = dialogs ? dialogs : &m_console; }
    error_dialogs& dialogs() const noexcept { return *m_dialogs; }

    // Every error reported since construction or the last reset.
    std::uint64_t error_count() const noexcept { return m_error_count.load(std::memory_order_acquire); }
    void reset_error_count() noexcept { m_error_count.store(0, std::memory_order_release); }

    // The first `max_listed` texts (line feeds turned into blanks).
    std::vector<std::string> errors() const;
    void clear_errors();

    // The message for the exception: the map's text for its code (mapped_error_text), else its own.
    std::string message_for(const tk_exception& e) const;

private:
    std::string prefixed(const std::string& message) const;
    // The text of an error as it is shown: the context in front, traced as
    // "Error:\n%s", line feeds turned into blanks, listed.
    std::string reported_text(const tk_exception& e);
    void list(const std::string& text);

    mutable std::mutex m_lock;  // context and list: the wizard reads them from another thread
    std::string m_context;
    std::atomic<bool> m_suppress{false};
    tk_error_converter m_converter;
    std::vector<std::string> m_errors;
    std::atomic<std::uint64_t> m_error_count{0};
    console_error_dialogs m_console;
    error_dialogs* m_dialogs = &m_console;
};
