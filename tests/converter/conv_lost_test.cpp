// The run's MySQL connection killed from another session: the run ends at
// the table it reached, with one error that says the connection was lost;
// no later table is tried over the dead connection.
#include <mysql.h>

#include "converter/conv_fix.h"

namespace {

struct kill_at_start : cnv_run_hooks {
    std::function<void()> kill;
    void on_database(const std::wstring&, std::uint32_t) override { kill(); }
};

TEST_F(ConversionTest, a_connection_killed_between_tables_ends_the_run_with_one_error_that_says_so) {
    for (const char* t : {"a_first", "b_second", "c_third"}) {
        my.exec(std::string("CREATE TABLE ") + t + " (id INT PRIMARY KEY)");
        my.exec(std::string("INSERT INTO ") + t + " VALUES (1), (2)");
    }
    select({L"a_first", L"b_second", L"c_third"});
    kill_at_start hooks;
    // Once the databases are open, before the first table is read.
    hooks.kill = [&] {
        my.exec("KILL " + std::to_string(mysql_thread_id(static_cast<mysql_converter_impl&>(*conv).engine.handle())));
    };
    conv->set_run_hooks(&hooks);

    run();

    EXPECT_EQ(conv->last_outcome(), dravik_convertor::run_outcome::ended);
    ASSERT_EQ(handler.errors().size(), 1u) << handler.errors().back();
    const std::string lost = "a_first: The connection to the MySQL server was lost: ";
    EXPECT_EQ(handler.errors()[0].rfind(lost, 0), 0u) << handler.errors()[0];
    // Shown as an error that ends the run, not asked about.
    ASSERT_EQ(dlg.shown.size(), 1u);
    EXPECT_EQ(dlg.shown[0], "error: " + handler.errors()[0]);
    EXPECT_TRUE(pg_tables(dest_name).empty());
    conv->set_run_hooks(nullptr);
}

}  // namespace
