#pragma once
// Handing a message to the user's mail client (the Simple MAPI shape: a
// library loaded at run time whose send entry takes one message record).
// The default system has no mail library, so senders take their
// "library missing" path; tests and a later desktop layer install their own.
#include <memory>
#include <string>
#include <vector>

#include "platform/pf_types.h"

constexpr ULONG PF_MAPI_ORIG = 0;
constexpr ULONG PF_MAPI_TO = 1;
constexpr ULONG PF_MAPI_UNREAD = 1;

struct pf_mail_recipient {
    ULONG recip_class = PF_MAPI_ORIG;
    std::string name;     // empty: none
    std::string address;  // empty: none
};

struct pf_mail_message {
    std::string subject;
    std::string note_text;
    std::string message_type;  // empty: none
    std::string date_received;
    std::string conversation_id;  // empty: none
    ULONG flags = 0;
    pf_mail_recipient originator;
    std::vector<pf_mail_recipient> recipients;
    std::vector<std::string> files;
};

// One loaded mail library; destroying it frees the library.
class pf_mail_library {
public:
    virtual ~pf_mail_library() = default;
    // Whether the library exports the send entry.
    virtual bool has_send_mail() const = 0;
    // Sends without a session, parent window or dialog; MAPI's own result.
    virtual ULONG send_mail(const pf_mail_message& message, ULONG flags) = 0;
};

class pf_mail_system {
public:
    virtual ~pf_mail_system() = default;
    // Null when the library cannot be loaded.
    virtual std::unique_ptr<pf_mail_library> load(const std::string& library) = 0;
};

// The system in use: the one installed by pf_set_mail_system, else the
// default without any mail library.
pf_mail_system& pf_mail();
// Installs a system (not owned; null restores the default) and returns the
// previous one.
pf_mail_system* pf_set_mail_system(pf_mail_system* system);
