#pragma once
// One process-wide instance per class T: class T : public tk_singleton<T>.
#include <atomic>

#include "tk/tk_exc.h"

template <class T>
class tk_singleton {
public:
    tk_singleton(const tk_singleton&) = delete;
    tk_singleton& operator=(const tk_singleton&) = delete;

    // The registered object; internal assertion when there is none.
    static T& instance() {
        tk_singleton* p = s_instance.load(std::memory_order_acquire);
        if (!p) throw tk_mail_assertion("tk_singl", 59);
        return static_cast<T&>(*p);
    }
    static T& get() {
        tk_singleton* p = s_instance.load(std::memory_order_acquire);
        if (!p) throw tk_mail_assertion("tk_singl", 66);
        return static_cast<T&>(*p);
    }
    // The registered object or null; never asserts.
    static T* find() noexcept { return static_cast<T*>(s_instance.load(std::memory_order_acquire)); }
    static bool exists() noexcept { return s_instance.load(std::memory_order_acquire) != nullptr; }

protected:
    tk_singleton() {
        tk_singleton* expected = nullptr;
        if (!s_instance.compare_exchange_strong(expected, this, std::memory_order_acq_rel))
            throw tk_mail_assertion("tk_singl", 35);
    }
    virtual ~tk_singleton() {
        tk_singleton* expected = this;
        if (!s_instance.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel))
            tk_fail_in_destructor("tk_singl", 46);
    }

private:
    // The base pointer is stored; it is turned into T only once T is built.
    static inline std::atomic<tk_singleton*> s_instance{nullptr};
};
