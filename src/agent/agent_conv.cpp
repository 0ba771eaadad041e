#include "agent/agent_conv.h"

void agent_converter_target::set_silent(bool on) {
    m_conv.set_silent(on);
    m_eh.set_suppress(on);
    m_console.set_silent(on);
    m_console.set_suppress(on);
}

error_dialogs::answer agent_dialogs::ask_continue(const std::string& text, bool& dont_show_again) {
    m_console.error(text);
    dont_show_again = false;
    return answer::continue_run;
}
