#pragma once
// One row: its fields in the producer's column order, held by value so a
// row costs one allocation for its field vector, none per cell.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "udb/udb_fld.h"

class udb_record {
public:
    udb_record() = default;
    explicit udb_record(std::size_t n_fields) { m_fields.reserve(n_fields); }
    virtual ~udb_record();
    udb_record(const udb_record&) = default;
    udb_record(udb_record&&) = default;
    udb_record& operator=(const udb_record&) = default;
    udb_record& operator=(udb_record&&) = default;

    // Builds the next field in place (udb_field's constructor arguments).
    template <class... A>
    udb_field& emplace(A&&... args) {
        return m_fields.emplace_back(std::forward<A>(args)...);
    }
    void reserve(std::size_t n) { m_fields.reserve(n); }
    // Drops the fields and keeps the vector's room, for a row to be refilled.
    void clear() {
        m_fields.clear();
        m_refusal.clear();
    }

    // Why the row cannot be stored as it was read (a value that could not be
    // read in a column that cannot be left empty); empty when it can. A
    // destination refuses such a row instead of storing it changed. The first
    // reason given is kept.
    const std::wstring& refusal() const { return m_refusal; }
    bool refused() const { return !m_refusal.empty(); }
    void refuse(std::wstring why) {
        if (m_refusal.empty()) m_refusal = std::move(why);
    }
    // For a row refilled in place.
    void forget_refusal() noexcept { m_refusal.clear(); }

    std::size_t size() const { return m_fields.size(); }
    bool empty() const { return m_fields.empty(); }
    udb_field& operator[](std::size_t i) { return m_fields[i]; }
    const udb_field& operator[](std::size_t i) const { return m_fields[i]; }
    std::vector<udb_field>::iterator begin() { return m_fields.begin(); }
    std::vector<udb_field>::iterator end() { return m_fields.end(); }
    std::vector<udb_field>::const_iterator begin() const { return m_fields.begin(); }
    std::vector<udb_field>::const_iterator end() const { return m_fields.end(); }

private:
    std::vector<udb_field> m_fields;
    std::wstring m_refusal;
};
