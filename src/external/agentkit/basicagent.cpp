#include "external/agentkit/basicagent.h"

#include "external/agentkit/nameregistry.h"
#include "external/kqml/parser.h"

#include <cstdarg>
#include <cstdio>

namespace halyx {

CBasicAgent::CBasicAgent(std::string name) : m_name(std::move(name)) {}

CBasicAgent::~CBasicAgent() = default;

void CBasicAgent::debug(const std::string& text) {
    if (m_debugSink) {
        m_debugSink(text);
        return;
    }
    std::fprintf(stderr, "%s\n", text.c_str());
}

void CBasicAgent::dprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text;
    if (needed > 0) {
        text.resize(static_cast<std::size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<std::size_t>(needed));
    }
    va_end(args);
    debug(text);
}

void CBasicAgent::init_beliefs() {
    m_beliefs.set_string("ans", "localhost");
    m_beliefs.set_int("ansport", kDefaultAnsPort);
    m_beliefs.set_string("name", m_name);
    m_beliefs.set_int("port", 0);
    m_beliefs.set_string("host", "");
    m_beliefs.list_belief("lookup").get_value()->clear();
}

bool CBasicAgent::process_message(CParser& /*parser*/) {
    return true;
}

bool CBasicAgent::process_message_text(const std::string& text) {
    CParser parser;
    const CKqmlParseResult result = parser.parse_message(text);
    if (!result) {
        dprintf("<CBasicAgent::process_message_text()> unreadable message (%s at byte %zu)",
                result.description(), result.offset);
        return true;
    }
    return process_message(parser);
}

} // namespace halyx
