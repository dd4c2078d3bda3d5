// Any lines a client sends the name server, from two connections on different hosts, with a
// names file and a saved table read from the same bytes: every request gets one reply, nothing
// crashes, and the table never holds a name that a binding gives to another host's connection.
#include "external/agentkit/nameregistry.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace halyx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    CNameRegistry registry;
    std::string error;
    std::vector<CNameRegistry::Binding> bindings;
    if (CNameRegistry::parse_bindings(input, bindings, error)) {
        registry.set_bindings(bindings);
    }
    const auto now = CNameRegistry::Clock::now();
    registry.load_state(input, now, error);

    const CNameRegistry::ConnectionId first = registry.open_connection("127.0.0.1");
    const CNameRegistry::ConnectionId second = registry.open_connection("10.0.0.2");
    std::size_t line = 0;
    while (!input.empty()) {
        const std::size_t end = input.find('\n');
        const std::string_view request = input.substr(0, end);
        const std::string reply =
            registry.handle_request(request, line++ % 2 == 0 ? first : second);
        if (reply.empty() || reply.front() != '(' || reply.back() != ')') {
            std::abort();
        }
        if (end == std::string_view::npos) {
            break;
        }
        input.remove_prefix(end + 1);
    }
    for (const auto& [name, entry] : registry.entries()) {
        if (entry.owner != 0 && registry.is_bound(name)) {
            bool allowed = false;
            for (const CNameRegistry::Binding& b : bindings) {
                const bool matches =
                    !b.pattern.empty() && b.pattern.back() == '*'
                        ? name.starts_with(b.pattern.substr(0, b.pattern.size() - 1))
                        : b.pattern == name;
                allowed = allowed || (matches && b.host == entry.peer);
            }
            if (!allowed) {
                std::abort();
            }
        }
    }
    // A saved table reads back as the same table.
    const std::string saved = registry.save_state();
    CNameRegistry copy;
    if (!copy.load_state(saved, now, error) || copy.save_state() != saved) {
        std::abort();
    }
    registry.drop_stale(now + std::chrono::hours(1));
    registry.close_connection(first);
    registry.close_connection(second);
    return 0;
}
