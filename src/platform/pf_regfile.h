#pragma once
// The text form of one settings key's values (the ".values" file).
//
//   vek-registry 1
//   d<TAB>name<TAB>decimal word
//   s<TAB>name<TAB>narrow text
//   w<TAB>name<TAB>wide text
//
// Every line ends with LF. In names and texts a backslash is written "\\",
// bytes below 0x20 and 0x7F as "\xHH"; in wide texts a unit that is no
// Unicode scalar value is written "\UHHHHHHHH", every other character as
// UTF-8. Narrow texts keep their bytes as they are, valid UTF-8 or not, so
// every value loads back exactly as it was stored.
#include <string>
#include <string_view>
#include <vector>

#include "platform/pf_types.h"

struct pf_reg_value {
    enum class kind { word, narrow, wide };
    kind what = kind::word;
    std::string name;  // bytes; matched ignoring ASCII case
    DWORD word = 0;
    std::string text;    // kind::narrow
    std::wstring wtext;  // kind::wide
};

class pf_reg_values {
public:
    const pf_reg_value* find(std::string_view name) const;
    // Replaces a value of the same name (keeping its first spelling) or adds one.
    void put(pf_reg_value value);
    const std::vector<pf_reg_value>& all() const { return values_; }

    std::string format() const;
    // False for anything that is not a well-formed file; `out` is then empty.
    static bool parse(std::string_view file, pf_reg_values& out);

private:
    std::vector<pf_reg_value> values_;
};

bool pf_reg_same_name(std::string_view a, std::string_view b);
