#pragma once
// The current user's settings store: named values of three kinds (32-bit
// words, narrow text, wide text) under keys with backslash-separated paths.
//
// Each key is a directory below the store's root, one directory per path
// component; its values live in one file, ".values", inside it. The root is
// $VEK_REGISTRY_DIR when set, else $XDG_CONFIG_HOME/vek/registry, else
// ~/.config/vek/registry. Directories are created 0700 and value files 0600;
// every change rewrites the key's file through a temporary file that is
// synced and renamed over it, under an exclusive lock on the key's directory,
// so a reader sees either the old or the new set of values. Key paths compare
// exactly; value names ignore ASCII case.
//
// Results are 0 or an errno number:
//   ENOENT   the value (or the key, or the user's home) does not exist
//   ERANGE   the buffer is too small; *size then holds the bytes needed
//   EBADMSG  the key's file is damaged (a later write moves it aside to
//            ".values.damaged" and starts afresh)
//   EILSEQ   the text cannot be given in the requested width
//   EINVAL   a bad path, name, type or size
//   EBADF    no key
//   anything else: the file system's own error
#include <string>

#include "platform/pf_types.h"

struct pf_reg_key;
using pf_hkey = pf_reg_key*;

constexpr DWORD PF_REG_SZ = 1;
constexpr DWORD PF_REG_DWORD = 4;

constexpr DWORD PF_REG_CREATED_NEW_KEY = 1;
constexpr DWORD PF_REG_OPENED_EXISTING_KEY = 2;

constexpr DWORD PF_KEY_ALL_ACCESS = 0xF003F;

// The root of the current user's keys. It is never closed.
pf_hkey pf_reg_current_user();

// Opens `subkey` below `parent` (the root or an open key), creating every
// missing component. Components may hold any character but NUL; empty
// components are refused. `disposition` (optional) receives whether the key
// was created or already existed. On failure *result is left as it was.
int pf_reg_create_key(pf_hkey parent, const char* subkey, pf_hkey* result, DWORD* disposition);

// Releases an open key; the root and null are accepted and ignored.
int pf_reg_close_key(pf_hkey key);

// Reads one value. Names compare ignoring ASCII case; a null name is the
// key's unnamed value. With `data` null only *size is set (bytes needed:
// 4 for a word, the text plus its NUL otherwise). `type` and `size` are
// optional and `size` is required when `data` is given. Text comes back
// NUL-terminated: bytes for the narrow form, wchar_t units for the wide one,
// converted from the other width when it was stored that way.
int pf_reg_query_value(pf_hkey key, const char* name, DWORD* type, void* data, DWORD* size);
int pf_reg_query_value_w(pf_hkey key, const wchar_t* name, DWORD* type, void* data, DWORD* size);

// Writes one value, replacing one of the same name of any type.
// PF_REG_DWORD takes exactly 4 bytes; PF_REG_SZ takes the text up to its
// first NUL or the end of `size` bytes (wchar_t units for the wide form).
int pf_reg_set_value(pf_hkey key, const char* name, DWORD type, const void* data, DWORD size);
int pf_reg_set_value_w(pf_hkey key, const wchar_t* name, DWORD type, const void* data, DWORD size);

// The directory that holds the current user's keys; false when there is no
// home to put it in.
bool pf_reg_root_dir(std::string& out);
