#pragma once

// Keeps a listening QTcpServer alive through a shortage of file descriptors. When accept fails
// (the process's file table is full) the listening socket stays readable, so accepting on would
// spin; Qt pauses accepting instead, and never resumes, and keeps the error for good, so that
// every later batch of connections would end in the same error. This pauses for a moment, says
// so once per shortage, and then listens again on the same socket with a clean state, so that
// connections waiting in the backlog are taken as soon as descriptors are free.
//
//   QTcpServer server;
//   server.listen(address, port);
//   KeepAcceptingThroughShortages(server, [](const std::string& line) { log(line); });

#include <QTcpServer>

#include <functional>
#include <string>

namespace halyx {

void KeepAcceptingThroughShortages(QTcpServer& server,
                                   std::function<void(const std::string& line)> log,
                                   int pauseMs = 250);

} // namespace halyx
