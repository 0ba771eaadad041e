#pragma once
// A database server. The base treats a database as a file; server sides
// replace every operation.
#include <memory>
#include <string>

class udb_database;

class udb_engine {
public:
    udb_engine() = default;
    virtual ~udb_engine() = default;
    udb_engine(const udb_engine&) = delete;
    udb_engine& operator=(const udb_engine&) = delete;

    virtual std::unique_ptr<udb_database> create_db(const std::wstring& name) = 0;
    virtual std::unique_ptr<udb_database> open_db(const std::wstring& name, int mode) = 0;
    // Deletes the file of that name; tk_exception_ex with the system error on failure.
    virtual void db_delete(const std::wstring& name);
    // True when a readable file of that name exists.
    virtual bool is_db_exist(const std::wstring& name);
};
