// The clauses of a MySQL CREATE TABLE body for each server form (no server).
#include "sql/sql_init.h"

#include <gtest/gtest.h>

#include "tk/tk_exc.h"

namespace {

sql_dialect server(unsigned major, unsigned minor, unsigned patch) {
    sql_dialect d;
    d.version = sql_version_number(major, minor, patch);
    d.fk_support = d.version >= sql_version_number(3, 23, 44);
    return d;
}

struct column {
    const wchar_t* name;
    unsigned type;
    std::uint32_t size = 0;
    bool not_null = false;
    bool auto_increment = false;
    ole_variant def = ole_variant();
    std::uint32_t subtype = 0;
};

std::unique_ptr<udb_schema> make_schema(std::initializer_list<column> cols) {
    auto s = std::make_unique<udb_schema>();
    for (const column& c : cols)
        s->add(std::make_unique<t_ftd>(c.size, udb_name(c.name), static_cast<std::uint16_t>(c.type), c.not_null,
                                       c.auto_increment, c.def, c.subtype));
    return s;
}

struct built {
    std::vector<std::wstring> columns;
    std::vector<std::wstring> indexes;
    std::wstring auto_name;
    t_names_map names;
};

built build(const sql_dialect& d, const udb_schema& schema, const udb_indexes& indexes) {
    built b;
    sql_schema_initializer cols(d, L"t", schema, indexes, b.auto_name);
    cols.get_init_chunks(b.columns);
    b.names = cols.names_map();
    if (!indexes.empty() || !b.auto_name.empty()) {
        sql_indexes_initializer keys(d, cols.schema(), indexes, b.auto_name, cols.names_map());
        keys.get_init_chunks(b.indexes);
    }
    return b;
}

TEST(SqlColumnClauses, FormsOfOldAndNewServers) {
    const auto schema_ptr = make_schema({
        {L"id", VT_I4, 11, true, true, ole_variant(L"7")},  // AUTO_INCREMENT: no DEFAULT
        {L"title", VT_BSTR, 40},
        {L"name", VT_BSTR, 40, true},
        {L"short", VT_BSTR, 255, false, false, ole_variant(L"it's")},
        {L"body", VT_BSTR, 300, false, false, ole_variant(L"x")},  // TEXT has no DEFAULT
        {L"amount", VT_R8, 0, false, true},                        // a double is never AUTO_INCREMENT
        {L"stamp", VT_DATE, 0, true, false, ole_variant(L"2001-02-03 04:05:06"), 1},
    });
    const udb_schema& schema = *schema_ptr;
    const udb_indexes none;
    const built old = build(server(4, 0, 27), schema, none);
    EXPECT_EQ(old.columns, (std::vector<std::wstring>{
                               L"id INT NOT NULL AUTO_INCREMENT",
                               L"title VARCHAR(40)",
                               L"name VARCHAR(40) NOT NULL",
                               L"short VARCHAR(255) DEFAULT 'it\\'s'",
                               L"body TEXT",
                               L"amount DOUBLE NOT NULL",
                               L"stamp DATETIME NOT NULL DEFAULT '2001-02-03 04:05:06'",
                           }));
    EXPECT_EQ(old.auto_name, L"id");
    sql_dialect mariadb = server(10, 11, 19);
    mariadb.mariadb = true;
    const built now = build(mariadb, schema, none);
    EXPECT_EQ(now.columns,
              (std::vector<std::wstring>{
                  L"`id` INT NOT NULL AUTO_INCREMENT",
                  L"`title` VARCHAR(40) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin ",
                  L"`name` VARCHAR(40) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin  NOT NULL",
                  L"`short` VARCHAR(255) CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin  DEFAULT 'it\\'s'",
                  L"`body` TEXT CHARACTER SET utf8mb4 COLLATE utf8mb4_nopad_bin ",
                  L"`amount` DOUBLE NOT NULL",
                  L"`stamp` DATETIME(6) NOT NULL DEFAULT '2001-02-03 04:05:06'",
              }));
    // The auto-increment column is covered by no index: it gets one of its own.
    EXPECT_EQ(now.indexes, (std::vector<std::wstring>{L"INDEX `id` (`id`)"}));

    sql_dialect utf8_only = mariadb;
    utf8_only.utf8mb4 = false;
    EXPECT_EQ(build(utf8_only, schema, none).columns[1],
              L"`title` VARCHAR(40) CHARACTER SET utf8 COLLATE utf8_nopad_bin ");
    // Servers without a NO PAD collation: binary still.
    EXPECT_EQ(build(server(5, 5, 62), schema, none).columns[1],
              L"`title` VARCHAR(40) CHARACTER SET utf8mb4 COLLATE utf8mb4_bin ");
}

TEST(SqlColumnClauses, NamesAreMadeSafeAndQuoted) {
    const auto schema_ptr = make_schema({
        {L"Name", VT_I4},
        {L"name", VT_I4},   // a twin in another case gets a name of its own
        {L"a`b", VT_I4},    // backquote not allowed in a name
        {L" pad ", VT_I4},  // blanks at the ends
        {L"x\U0001F600", VT_I4},
    });
    const udb_schema& schema = *schema_ptr;
    const built b = build(server(5, 0, 45), schema, udb_indexes());
    EXPECT_EQ(b.columns,
              (std::vector<std::wstring>{L"`Name` INT", L"`name00000` INT", L"`a_b` INT", L"`pad` INT", L"`x_` INT"}));
    EXPECT_EQ(b.names.pairs(),
              (udb_name_pairs{{L"name", L"name00000"}, {L"a`b", L"a_b"}, {L" pad ", L"pad"}, {L"x\U0001F600", L"x_"}}));
    EXPECT_EQ(sql_quote_wname(server(5, 0, 45), L"we`ird"), L"`we``ird`");

    const built none = build(server(5, 0, 45), udb_schema(), udb_indexes());
    EXPECT_TRUE(none.columns.empty());
    EXPECT_TRUE(none.auto_name.empty());
}

TEST(SqlColumnClauses, NotNullFromKeysAndErrorsOfColumns) {
    const auto schema_ptr = make_schema({{L"a", VT_I4}, {L"b", VT_I4}, {L"c", VT_I4}});
    const udb_schema& schema = *schema_ptr;
    udb_indexes indexes;
    indexes.add(udb_index(L"PRIMARY", true, true, {L"a"}));
    indexes.add(udb_index(L"ib", false, false, {L"b"}));
    const built now = build(server(5, 0, 45), schema, indexes);
    EXPECT_EQ(now.columns, (std::vector<std::wstring>{L"`a` INT NOT NULL", L"`b` INT", L"`c` INT"}));
    EXPECT_EQ(now.indexes, (std::vector<std::wstring>{L"PRIMARY KEY (`a`)", L"INDEX `ib` (`b`)"}));
    // Before 3.23.2 every indexed column is NOT NULL.
    EXPECT_EQ(build(server(3, 23, 1), schema, indexes).columns,
              (std::vector<std::wstring>{L"a INT NOT NULL", L"b INT NOT NULL", L"c INT"}));

    const auto wide = make_schema({{L"price", VT_DECIMAL, 0, false, false, ole_variant(), (70 << 8) | 2}});
    try {
        build(server(5, 0, 45), *wide, udb_indexes());
        FAIL();
    } catch (const tk_mail_assertion&) {
        FAIL();
    } catch (const tk_exception& e) {
        EXPECT_EQ(e.level(), 0);
        EXPECT_EQ(e.message().rfind("Column 'price': DECIMAL(70,2)", 0), 0u) << e.message();
    }
    const auto two_auto = make_schema({{L"a", VT_I4, 0, true, true}, {L"b", VT_I8, 0, true, true}});
    EXPECT_THROW(build(server(5, 0, 45), *two_auto, udb_indexes()), tk_mail_assertion);
}

TEST(SqlIndexClauses, LimitsOfFieldsSizesAndCounts) {
    std::initializer_list<column> cols = {
        {L"t1", VT_BSTR, 250}, {L"t2", VT_BSTR, 250}, {L"blob", VT_BLOB, 10}, {L"txt", VT_BSTR, 300}};
    auto schema_ptr = make_schema(cols);
    udb_schema& schema = *schema_ptr;
    std::vector<std::wstring> seventeen, sixteen;
    for (int i = 0; i < 17; ++i) {
        const std::wstring n = L"f" + std::to_wstring(i);
        schema.add(std::make_unique<t_ftd>(4, udb_name(n), VT_I4, false, false, ole_variant(), 0));
        seventeen.push_back(n);
        if (i < 16) sixteen.push_back(n);
    }
    udb_indexes indexes;
    indexes.add(udb_index(L"pair", false, false, {L"t1", L"t2"}));  // 500: fits from 4.1.0 on, not before
    indexes.add(udb_index(L"big", false, false, seventeen));        // skipped and not counted
    indexes.add(udb_index(L"full", true, false, sixteen));
    indexes.add(udb_index(L"on_blob", false, false, {L"blob"}));
    indexes.add(udb_index(L"on_text", false, false, {L"f0", L"txt"}));
    indexes.add(udb_index(L"pair", false, false, {L"f1"}));  // the same name again
    const built now = build(server(5, 0, 45), schema, indexes);
    ASSERT_EQ(now.indexes.size(), 3u);
    EXPECT_EQ(now.indexes[0], L"INDEX `pair` (`t1`, `t2`)");
    EXPECT_EQ(now.indexes[1].rfind(L"UNIQUE `full` (`f0`, ", 0), 0u);
    EXPECT_EQ(now.indexes[2], L"INDEX `pair00000` (`f1`)");
    const built old = build(server(4, 0, 27), schema, indexes);
    ASSERT_EQ(old.indexes.size(), 2u);
    EXPECT_EQ(old.indexes[0].rfind(L"UNIQUE full (f0, ", 0), 0u);
    EXPECT_EQ(old.indexes[1], L"INDEX pair00000 (f1)");

    // 40 indexes: 31 are considered on a new server, 15 on an old one.
    udb_indexes many;
    for (int i = 0; i < 40; ++i) many.add(udb_index(L"i" + std::to_wstring(i), false, false, {L"f0"}));
    EXPECT_EQ(build(server(5, 0, 45), schema, many).indexes.size(), 31u);
    EXPECT_EQ(build(server(4, 0, 27), schema, many).indexes.size(), 15u);
}

TEST(SqlIndexClauses, TheAutoIncrementColumnLeadsAnIndexThatIsBuilt) {
    const auto schema_ptr = make_schema({{L"id", VT_I4, 11, true, true}, {L"g", VT_I4}, {L"txt", VT_BSTR, 300}});
    const udb_schema& schema = *schema_ptr;
    const struct {
        udb_index index;
        std::vector<std::wstring> clauses;
    } cases[] = {
        {udb_index(L"PRIMARY", true, true, {L"id"}), {L"PRIMARY KEY (`id`)"}},
        {udb_index(L"PRIMARY", true, true, {L"ID", L"g"}), {L"PRIMARY KEY (`ID`, `g`)"}},
        // Second in a key: InnoDB still needs an index that starts with it.
        {udb_index(L"PRIMARY", true, true, {L"g", L"id"}), {L"PRIMARY KEY (`g`, `id`)", L"INDEX `id` (`id`)"}},
        // The only key that holds it cannot be built.
        {udb_index(L"k", false, false, {L"id", L"txt"}), {L"INDEX `id` (`id`)"}},
        // An index named like the column: the new one gets a name of its own.
        {udb_index(L"id", false, false, {L"g"}), {L"INDEX `id` (`g`)", L"INDEX `id00000` (`id`)"}},
    };
    for (const auto& c : cases) {
        udb_indexes indexes;
        indexes.add(c.index);
        EXPECT_EQ(build(server(5, 0, 45), schema, indexes).indexes, c.clauses) << c.clauses[0];
    }
}

TEST(SqlIndexClauses, FieldsFollowTheGeneratedColumnNames) {
    const auto schema_ptr = make_schema({{L"a b", VT_I4}, {L"a`b", VT_I4}});
    const udb_schema& schema = *schema_ptr;
    udb_indexes indexes;
    indexes.add(udb_index(L"two", false, false, {L"a b", L"a`b"}));
    EXPECT_EQ(build(server(5, 0, 45), schema, indexes).indexes,
              (std::vector<std::wstring>{L"INDEX `two` (`a b`, `a_b`)"}));
}

}  // namespace
