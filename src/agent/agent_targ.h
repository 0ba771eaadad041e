#pragma once
// What the command line writes into: the converter's settings, seen through a
// narrow interface so the parser does not depend on how the converter is
// assembled. The entry implements it over the converter; tests use a record.

#include <optional>
#include <string>
#include <vector>

class agent_target {
public:
    virtual ~agent_target() = default;

    virtual void set_src(const std::wstring& name) = 0;
    virtual void set_dest(const std::wstring& name) = 0;
    virtual const std::wstring& src() const = 0;
    virtual const std::wstring& dest() const = 0;
    virtual void set_mode(int mode) = 0;
    // Checks the name, stores it and switches the trace log on; a rejected
    // name raises the toolkit's level-1 exception.
    virtual void set_logfile(const std::string& name) = 0;
    // A file the program reads (a profile, the table-list file): from then on
    // set_logfile refuses a name that leads to it.
    virtual void add_input_file(const std::string& path, const std::string& role) = 0;
    // Loads the profile into the settings; false when the file does not load.
    // A missing file raises a level-1 exception.
    virtual bool load_profile(const std::wstring& path) = 0;
    // The converter's quiet flag and the error handler's suppress flag.
    virtual void set_silent(bool on) = 0;
    virtual bool silent() const = 0;
    virtual void set_skip_idx(bool on) = 0;
    virtual void set_tab_def(bool on) = 0;
    // The table list replaces every table selected so far, profile tables
    // included; selected queries stay.
    virtual void replace_selected_tables(const std::vector<std::wstring>& tables) = 0;
    virtual void store_pgs_settings(const std::string& host, const std::string& user, const std::string& password,
                                    unsigned port) = 0;
    virtual void store_mysql_settings(const std::string& host, const std::string& user,
                                      const std::optional<std::string>& password, const std::string& port) = 0;
};
