#pragma once
// Result codes of the value layer, in the platform's HRESULT numbering so that
// trace lines print the numbers users and old logs know ("%08X").
#include <cstdint>

using pf_hresult = std::int32_t;

constexpr pf_hresult PF_S_OK = 0;
constexpr pf_hresult PF_E_INVALIDARG = static_cast<pf_hresult>(0x80070057u);
constexpr pf_hresult PF_E_OUTOFMEMORY = static_cast<pf_hresult>(0x8007000Eu);
constexpr pf_hresult PF_DISP_E_TYPEMISMATCH = static_cast<pf_hresult>(0x80020005u);
constexpr pf_hresult PF_DISP_E_BADVARTYPE = static_cast<pf_hresult>(0x80020008u);
constexpr pf_hresult PF_DISP_E_OVERFLOW = static_cast<pf_hresult>(0x8002000Au);

constexpr bool pf_succeeded(pf_hresult hr) noexcept { return hr >= 0; }
constexpr bool pf_failed(pf_hresult hr) noexcept { return hr < 0; }
