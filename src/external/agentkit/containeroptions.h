#pragma once

// The framework's command-line options (listed in agentcontainer.h), read without Qt so that
// every container and the tests share one reading. "--opt value" and "--opt=value" both work;
// options the framework does not know are left alone.
//
//   CContainerOptions options;
//   std::string error;
//   if (!ParseContainerOptions(argc, argv, options, error)) fail(error);

#include "external/agentkit/nameregistry.h"

#include <optional>
#include <string>
#include <string_view>

namespace halyx {

struct CContainerOptions {
    int port = 0;
    std::string bind;
    std::string host;
    std::optional<std::string> ansHost;
    std::optional<int> ansPort;
    int tickMs = 1000;
    int sendTimeoutMs = 10000;
};

bool ParseContainerOptions(int argc, const char* const* argv, CContainerOptions& options,
                           std::string& error);

// Whether arg ("--name" or "--name=value") is one of the framework's options, each of which
// takes a value; a program refuses the options that neither it nor the framework knows.
bool IsContainerOption(std::string_view arg);

// "host", "host:port" or ":port"; false when the port is not a number in 1..65535.
bool ParseHostPort(const std::string& text, std::string& host, std::optional<int>& port);

} // namespace halyx
