#pragma once
// The program's dialog ids (which are also its page ids), help topics and
// resource ids.

namespace vek_page {
inline constexpr int welcome = 103;
inline constexpr int mysql = 123;
inline constexpr int pgs = 134;
inline constexpr int databases = 106;
inline constexpr int tables = 127;
inline constexpr int views = 127;  // the views page uses the tables page's dialog
inline constexpr int progress = 107;
inline constexpr int finish = 116;
}  // namespace vek_page

// Help topics: "<topic>.html" in the program's help folder.
namespace vek_topic {
inline constexpr int welcome = 1013;
inline constexpr int mysql = 1017;
inline constexpr int pgs = 1010;
inline constexpr int databases = 1016;
inline constexpr int tables = 1015;
inline constexpr int views = 1020;
inline constexpr int query = 1019;
inline constexpr int overwrite = 1012;
inline constexpr int troubleshooting = 1022;
}  // namespace vek_topic

namespace vek_res {
inline constexpr unsigned icon = 501;
inline constexpr unsigned watermark = 311;
inline constexpr unsigned header = 312;
}  // namespace vek_res

// Where users are asked to write when a problem persists.
inline constexpr const wchar_t* vek_support_address = L"support@quorvane.example";
