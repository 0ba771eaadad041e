#pragma once
// udb_profile: the settings of one conversion as an INI-like UTF-8 text file
// ("[section]" lines, then "key=value" lines; CR LF line ends).

#include <map>
#include <string>

// Orders wide strings as their UTF-16 forms compare unit by unit, so files and
// maps keep the same order whatever the width of wchar_t: characters from
// U+E000 to U+FFFF sort after the supplementary planes (which UTF-16 encodes
// with surrogates 0xD800-0xDFFF).
struct udb_utf16_less {
    bool operator()(const std::wstring& a, const std::wstring& b) const noexcept;
};

// Why `udb_profile::store` refused to write, and which item was at fault.
struct udb_profile_fault {
    enum class kind {
        none,
        line_break,     // CR or LF inside a name, key or value
        nul_character,  // U+0000, which ends a text when it is read back
        equals_in_key,  // the key would be split at its "="
        header_shaped,  // the line would read back as a "[section]" header
        edge_blanks,    // blanks at a key's ends or a value's end are trimmed on load
        unconvertible,  // the text has no UTF-8 form
        bad_path,       // the path has no narrow form
        io_error        // creating, writing or renaming the file failed (see sys_error)
    };
    enum class part { none, section_name, key, value, path };

    kind what = kind::none;
    part item = part::none;
    std::wstring section;  // section of the item at fault
    std::wstring key;      // key of the item at fault (empty for a section name)
    int sys_error = 0;     // errno for io_error
};

// The fault as a sentence for the user: "Profile cannot be saved: ...".
std::wstring udb_profile_fault_text(const udb_profile_fault& fault);

class udb_profile {
public:
    using section_map = std::map<std::wstring, std::wstring, udb_utf16_less>;
    using profile_map = std::map<std::wstring, section_map, udb_utf16_less>;

    static constexpr const wchar_t* available_queries = L"Available Queries";
    static constexpr const wchar_t* selected_tables = L"Selected Tables";
    static constexpr const wchar_t* generic_settings = L"Generic settings";

    // Holds the three sections every profile has, empty.
    udb_profile();

    // Adds an empty section unless one of that name exists.
    void add_section(const std::wstring& name);
    // Adds the section when missing; an existing key keeps its old value.
    void set_value(const std::wstring& section, const std::wstring& key, const std::wstring& value);
    // Empty when the section or the key is missing.
    std::wstring get_value(const std::wstring& section, const std::wstring& key) const;

    const section_map& get_available_queries() const;
    const section_map& get_selected_tables() const;
    const profile_map& sections() const { return sections_; }

    // Writes the profile to path: the whole text goes to a temporary file in
    // the same folder which then replaces the old file, so a failed save
    // leaves the old file as it was. Returns true only when the new file is
    // in place; on false, fault() tells why. Nothing is written when an item
    // would not load back unchanged.
    bool store(const std::wstring& path);
    const udb_profile_fault& fault() const { return fault_; }

    // Reads the file at path into this profile (keys already present keep
    // their values). Throws tk_exception (level 1) when the file cannot be
    // opened for reading; returns false when a key line comes before any
    // section or reading fails part way; true when the whole file was read.
    // A line that is not valid UTF-8 throws the conversion's tk_exception_ex
    // (level 0); what was read before it stays in the profile.
    bool load(const std::wstring& path);

    friend bool operator==(const udb_profile& a, const udb_profile& b) { return a.sections_ == b.sections_; }

private:
    const section_map& section_or_throw(const wchar_t* name) const;
    bool check_items();
    bool render(std::string& text);

    profile_map sections_;
    udb_profile_fault fault_;
};
