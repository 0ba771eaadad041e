#pragma once
// Puts a text on the clipboard as Unicode text. Reports only through the
// trace; never throws.
#include <string>

#include "platform/pf_clipboard.h"

void tk_copy_to_clipboard2(const std::wstring& text) noexcept;
void tk_copy_to_clipboard2(const std::wstring& text, pf_clipboard& clipboard) noexcept;
