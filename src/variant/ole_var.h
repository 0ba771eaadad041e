#pragma once
// One cell value on its way from the source to the destination: a tagged value
// of the platform layer plus side fields for 64-bit integers and dates. Its two
// text forms are the exchange format of the system.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/pf_u8txt.h"
#include "platform/pf_var.h"
#include "platform/plat_date.h"

class ole_variant {
public:
    ole_variant() noexcept {}
    ole_variant(const plat_systemtime& st);
    ole_variant(const pf_currency& cy);
    ole_variant(const pf_decimal& dec);
    // Text (VT_BSTR): the characters up to the first NUL; a null pointer gives "".
    ole_variant(const wchar_t* text);
    ole_variant(std::wstring_view text);
    ole_variant(const std::wstring& text) : ole_variant(std::wstring_view(text)) {}
    ole_variant(bool v);
    ole_variant(signed char v);
    ole_variant(unsigned char v);
    ole_variant(short v);
    ole_variant(unsigned short v);
    ole_variant(int v);
    ole_variant(unsigned int v);
    ole_variant(long v);                // VT_I8
    ole_variant(unsigned long v);       // VT_UI8
    ole_variant(long long v);           // VT_I8
    ole_variant(unsigned long long v);  // VT_UI8
    ole_variant(float v);
    ole_variant(double v);
    // Narrow text (UTF-8), stored as wide text (attach_string).
    ole_variant(const char* text);
    ole_variant(std::string_view text);
    ole_variant(const std::string& text) : ole_variant(std::string_view(text)) {}
    // Byte array (VT_ARRAY_UI1).
    ole_variant(const std::vector<unsigned char>& bytes);
    ole_variant(const void*) = delete;  // no pointer may turn into a bool
    ole_variant(std::nullptr_t) = delete;

    // SQL NULL as the value layer tags it (VT_NULL). The system itself carries
    // SQL NULL as an empty value (VT_EMPTY).
    static ole_variant make_null() noexcept;

    ole_variant(const ole_variant& other);
    ole_variant(ole_variant&& other) noexcept;
    ole_variant& operator=(const ole_variant& other);
    ole_variant& operator=(ole_variant&& other) noexcept;
    virtual ~ole_variant();
    void swap(ole_variant& other) noexcept;

    // Narrow text (UTF-8): integers in decimal, reals in the shortest exponent form
    // that reads back to the same value ("1.5e+00"), decimals and currency as plain
    // numbers with "." as separator, booleans "1"/"0", dates in the ole_date forms,
    // byte arrays as "0x" and upper-case hex, empty and null as "". Never fails.
    virtual std::string to_string() const;
    // Text values as their wide text, every other value as to_string widened.
    virtual std::wstring to_wstring() const;
    // Appends exactly the bytes of the UTF-8 form of to_wstring() to out, without
    // the wide detour: for the per-cell path. Text that has no UTF-8 form (a
    // surrogate code point) throws as tk_to_utf8 does.
    void append_utf8(std::string& out) const;

    // Builders from cell text for a type code; see from_string's rules in the source.
    static ole_variant from_string(std::string_view text, VARTYPE vt);
    static ole_variant from_wstring(std::wstring_view text, VARTYPE vt);

    VARTYPE vartype() const noexcept { return var_.vt; }
    bool is_empty() const noexcept { return var_.vt == VT_EMPTY; }
    bool is_null() const noexcept { return var_.vt == VT_NULL; }
    bool is_empty_or_null() const noexcept { return var_.vt == VT_EMPTY || var_.vt == VT_NULL; }

    // Side values: the number of a VT_I8 / VT_UI8 value, the date of a VT_DATE value.
    std::int64_t get_i8() const noexcept { return i8_; }
    std::uint64_t get_ui8() const noexcept { return ui8_; }
    const plat_systemtime& get_time() const noexcept { return time_; }
    // The tagged value itself (every type's value but the side ones lives here).
    const pf_variant& get_var() const noexcept { return var_; }
    // The characters of a text value; empty for other types. A text held as
    // UTF-8 is decoded at the first call and the wide form kept with it (so a
    // value is read by one thread at a time). Throws std::bad_alloc.
    std::wstring_view text_view() const;
    // A text held as UTF-8 (attach_utf8): its bytes, strict UTF-8 without NUL.
    bool holds_utf8() const noexcept { return var_.vt == VT_BSTR && u8_.holds(); }
    std::string_view utf8_view() const noexcept { return holds_utf8() ? u8_.view() : std::string_view(); }

    // Signed 32-bit form; assertion ole_var 478 for text, dates, currency and arrays.
    std::int32_t to_long() const;
    // Byte count and data of a byte array; 0 (data untouched) for empty and null;
    // assertion ole_var 669 for any other type.
    std::size_t get_bytes(const unsigned char*& data) const;
    std::size_t get_safe_array_size() const;

    // Makes the value a byte array of n bytes (an existing one is resized keeping its
    // lower bound and leading bytes) and returns its data for filling.
    unsigned char* allocate_safe_array(std::size_t n);
    void attach_binary(const std::vector<unsigned char>& bytes);
    void attach_binary(const void* data, std::size_t n);
    // Replaces the value by the text (UTF-8, up to its first NUL) as wide text.
    // Text that is not UTF-8 throws "Cannot convert to UNICODE string: ", level 0.
    void attach_string(std::string_view text);
    // The same text value kept as the UTF-8 it is (no wide copy): for cells
    // that go on as UTF-8. The room of an earlier UTF-8 text is reused. Text
    // that is not UTF-8 throws as attach_string does and leaves the value empty.
    void attach_utf8(std::string_view text);
    // For a reader that copies a cell straight into place: room for n bytes
    // of UTF-8 text, then commit_utf8 checks what was written and makes it the
    // value as attach_utf8 would (up to the first NUL; not UTF-8: empty and
    // the same exception).
    char* utf8_room(std::size_t n);
    void commit_utf8(std::size_t n);
    // The same for cells that must not be cut: text holding a NUL character
    // leaves the value empty and gives false (text that is not UTF-8 still
    // throws).
    bool attach_utf8_whole(std::string_view text);
    bool commit_utf8_whole(std::size_t n);
    // A byte array of n bytes left for the caller to write (an array of that
    // size is reused).
    unsigned char* binary_room(std::size_t n);
    // The values of the constructors of the same argument, set in place (any
    // text or array is released): a cell refilled row after row makes no
    // temporary.
    void set(signed char v);
    void set(unsigned char v);
    void set(short v);
    void set(unsigned short v);
    void set(int v);
    void set(unsigned int v);
    void set(long long v);
    void set(unsigned long long v);
    void set(float v);
    void set(double v);
    void set(const plat_systemtime& st);
    // Makes the value empty (VT_EMPTY), as ole_variant() is.
    void set_empty() noexcept { release_payload(); }

private:
    // Text of every type but text and arrays; buf holds at least max_scalar_text.
    static constexpr std::size_t max_scalar_text = pf_decimal::max_text;
    std::size_t format_scalar(char* buf) const;
    void attach_wide(std::wstring_view text);
    template <class C>
    static ole_variant bytes_from_hex(const C* p, std::size_t n);

    // Releases the payload and resets the side fields (the tag becomes VT_EMPTY).
    void release_payload() noexcept;

    std::int64_t i8_ = 0;
    std::uint64_t ui8_ = 0;
    plat_systemtime time_{};
    pf_variant var_;
    // Text held as UTF-8: the tag is VT_BSTR and var_ holds no text.
    pf_utf8_text u8_;
};

inline void swap(ole_variant& a, ole_variant& b) noexcept { a.swap(b); }
