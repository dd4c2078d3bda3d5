#include "external/agentkit/containeroptions.h"

#include <string_view>

namespace halyx {

namespace {

bool ReadWhole(std::string_view text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high) {
        return false;
    }
    value = v;
    return true;
}

constexpr std::string_view kKnown[] = {"--port", "--bind",    "--host",
                                       "--ans",  "--tick-ms", "--send-timeout-ms"};

} // namespace

bool IsContainerOption(std::string_view arg) {
    const std::string_view name = arg.substr(0, arg.find('='));
    for (const std::string_view k : kKnown) {
        if (name == k) {
            return true;
        }
    }
    return false;
}

bool ParseHostPort(const std::string& text, std::string& host, std::optional<int>& port) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        host = text;
        port.reset();
        return !text.empty();
    }
    int value = 0;
    if (!ReadWhole(std::string_view(text).substr(colon + 1), 1, 65535, value)) {
        return false;
    }
    host = text.substr(0, colon);
    port = value;
    return true;
}

bool ParseContainerOptions(int argc, const char* const* argv, CContainerOptions& options,
                           std::string& error) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) {
            continue;
        }
        std::string_view arg = argv[i];
        std::string_view name = arg;
        std::string_view value;
        bool inlineValue = false;
        const std::size_t equals = arg.find('=');
        if (arg.rfind("--", 0) == 0 && equals != std::string_view::npos) {
            name = arg.substr(0, equals);
            value = arg.substr(equals + 1);
            inlineValue = true;
        }
        bool known = false;
        for (const std::string_view k : kKnown) {
            known = known || name == k;
        }
        if (!known) {
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= argc || argv[i + 1] == nullptr) {
                error = std::string(name) + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        const std::string text(value);
        bool ok = true;
        if (name == "--port") {
            ok = ReadWhole(value, 0, 65535, options.port);
        } else if (name == "--bind") {
            options.bind = text;
        } else if (name == "--host") {
            options.host = text;
        } else if (name == "--ans") {
            std::string host;
            std::optional<int> port;
            ok = ParseHostPort(text, host, port);
            if (ok && !host.empty()) {
                options.ansHost = host;
            }
            if (ok && port) {
                options.ansPort = port;
            }
        } else if (name == "--tick-ms") {
            ok = ReadWhole(value, 1, 86400000, options.tickMs);
        } else if (name == "--send-timeout-ms") {
            ok = ReadWhole(value, 1, 86400000, options.sendTimeoutMs);
        }
        if (!ok) {
            error = "bad value for " + std::string(name) + ": " + text;
            return false;
        }
    }
    return true;
}

} // namespace halyx
