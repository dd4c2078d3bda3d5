#pragma once

// A page of headless Chromium, driven through the browser's debugging socket: the end-to-end
// tests of the pages we serve read what the browser's own script drew.

#include "e2eutil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebSocket>

#include <unistd.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace halyx::e2e {

// Runs this thread's event loop until done() or ms pass.
template <typename Done> inline bool Spin(Done done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

// One page of the browser, spoken to over its debugging socket.
class CBrowserPage {
public:
    bool Open(const std::string& webSocketUrl) {
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, &m_socket,
                         [this](const QString& text) { m_messages.push_back(text); });
        m_socket.open(QUrl(QString::fromStdString(webSocketUrl)));
        return Spin([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, 10000);
    }

    // The result of one call of the protocol, {} when none came.
    QJsonObject Call(const QString& method, const QJsonObject& params) {
        const int id = ++m_id;
        QJsonObject call{{"id", id}, {"method", method}, {"params", params}};
        m_socket.sendTextMessage(QString::fromUtf8(QJsonDocument(call).toJson()));
        QJsonObject result;
        Spin(
            [&] {
                while (!m_messages.empty()) {
                    const QJsonObject reply =
                        QJsonDocument::fromJson(m_messages.front().toUtf8()).object();
                    m_messages.erase(m_messages.begin());
                    if (reply.value("id").toInt() == id) {
                        result = reply.value("result").toObject();
                        return true;
                    }
                }
                return false;
            },
            10000);
        return result;
    }

    // The value of a script expression on the page (a string), "" when none came.
    std::string Evaluate(const std::string& expression) {
        const QJsonObject params{{"expression", QString::fromStdString(expression)},
                                 {"returnByValue", true}};
        return Call("Runtime.evaluate", params)
            .value("result")
            .toObject()
            .value("value")
            .toString()
            .toStdString();
    }

private:
    QWebSocket m_socket;
    std::vector<QString> m_messages;
    int m_id = 0;
};

// The page's own debugging address, from the browser's list of targets.
inline std::string PageSocketUrl(int debugPort) {
    QNetworkAccessManager network;
    std::string url;
    Spin(
        [&] {
            QNetworkReply* reply = network.get(
                QNetworkRequest(QUrl(QString("http://127.0.0.1:%1/json/list").arg(debugPort))));
            Spin([reply] { return reply->isFinished(); }, 3000);
            const QJsonArray targets = QJsonDocument::fromJson(reply->readAll()).array();
            reply->deleteLater();
            for (const QJsonValue& target : targets) {
                if (target.toObject().value("type").toString() == "page") {
                    url = target.toObject().value("webSocketDebuggerUrl").toString().toStdString();
                }
            }
            return !url.empty();
        },
        20000);
    return url;
}

// Starts headless Chromium on url with a profile of its own in dir and opens its page's
// debugging socket; false when it did not come up.
inline bool OpenInBrowser(std::vector<std::unique_ptr<QProcess>>& processes,
                          const std::string& browser, const std::string& url,
                          const std::string& dir, CBrowserPage& page) {
    QStringList args = {"--headless",
                        "--disable-gpu",
                        "--remote-debugging-port=0",
                        "--user-data-dir=" + QString::fromStdString(dir),
                        "--no-first-run",
                        "--window-size=1366,768",
                        QString::fromStdString(url)};
    if (::geteuid() == 0) {
        args.prepend("--no-sandbox");
    }
    auto process = std::make_unique<QProcess>();
    process->setStandardOutputFile(QString::fromStdString(dir + ".out"));
    process->setStandardErrorFile(QString::fromStdString(dir + ".err"));
    process->start(QString::fromStdString(browser), args);
    if (!process->waitForStarted(10000)) {
        return false;
    }
    processes.push_back(std::move(process));
    const std::string listening = WaitForLine(dir + ".err", "DevTools listening on", 30000);
    std::smatch found;
    if (!std::regex_search(listening, found, std::regex(R"(127\.0\.0\.1:(\d+)/)"))) {
        return false;
    }
    const std::string socket = PageSocketUrl(std::stoi(found[1].str()));
    return !socket.empty() && page.Open(socket);
}

} // namespace halyx::e2e
