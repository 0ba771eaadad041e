#pragma once
// pgs_converter_impl: the PostgreSQL settings and the PostgreSQL server connection.
#include <cstdint>
#include <string>
#include <vector>

#include "postgres/pgs_engi.h"
#include "udb/udb_prof.h"

class pgs_converter_impl {
public:
    pgs_converter_impl();
    ~pgs_converter_impl();
    pgs_converter_impl(const pgs_converter_impl&) = delete;
    pgs_converter_impl& operator=(const pgs_converter_impl&) = delete;

    // The texts as given; port 0 leaves the port to the client library.
    void store_pgs_settings(const std::string& host, const std::string& user, const std::string& password,
                            unsigned port);
    // Connects to the server's default database (pgs_exception on failure).
    void connect_pgs_server();
    bool is_db_exist(std::wstring name);
    // The tables of an existing database, as the server names them ("public.t").
    std::vector<std::wstring> table_names_of(const std::wstring& name);

    bool store_profile(udb_profile& profile);
    bool load_profile(const udb_profile& profile);

    std::uint32_t port = 0;
    pgs_engine engine;
    std::string host;
    std::string user;
    std::string password;
};
