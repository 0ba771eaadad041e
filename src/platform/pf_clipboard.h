#pragma once
// The desktop clipboard, in the shape the toolkit uses it: open, empty,
// hand over one block of Unicode text, close. The default system has no
// clipboard, so opening fails with ENOTSUP; tests and a later desktop layer
// install their own.
#include <cstddef>
#include <memory>

// A NUL-terminated block of wide text whose ownership passes to the clipboard.
struct pf_clip_block {
    std::unique_ptr<wchar_t[]> text;
    std::size_t bytes = 0;  // (length + 1) * sizeof(wchar_t)
};

class pf_clipboard {
public:
    virtual ~pf_clipboard() = default;
    // False when the clipboard cannot be opened; the reason is then in
    // pf_last_error().
    virtual bool open() = 0;
    virtual void empty() = 0;
    // The clipboard takes the block over, whatever it does with it.
    virtual void set_unicode_text(pf_clip_block block) = 0;
    virtual void close() = 0;
};

pf_clipboard& pf_clip();
// Installs a clipboard (not owned; null restores the default) and returns
// the previous one.
pf_clipboard* pf_set_clipboard(pf_clipboard* clipboard);
