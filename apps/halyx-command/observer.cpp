#include "observer.h"

#include "agent/halyxcommand.h"
#include "controls/settings.h"
#include "headlessconsole.h"
#include "mapserver/mapserver.h"
#include "mapserver/observeraccess.h"
#include "record/experimentlog.h"
#include "scenario/scenario.h"

#include <QNetworkInterface>

namespace halyx {

namespace {

bool StoredFlag(const char* key, bool fallback) {
    const QString value = CSettings::Text(QString::fromLatin1(key), QString());
    if (value.isEmpty()) {
        return fallback;
    }
    return value == QStringLiteral("true") || value == QStringLiteral("1") ||
           value == QStringLiteral("on");
}

} // namespace

ObserverOptions StoredObserverOptions() {
    ObserverOptions options;
    options.enabled = StoredFlag("Observer/Enabled", false);
    options.chat = StoredFlag("Observer/Chat", true);
    return options;
}

std::string ObserverHost(const std::string& bind) {
    const QHostAddress bound(QString::fromStdString(bind));
    if (!bind.empty() && !bound.isNull() && bound != QHostAddress::Any &&
        bound != QHostAddress::AnyIPv4 && bound != QHostAddress::AnyIPv6) {
        return bound.toString().toStdString();
    }
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces()) {
        const auto flags = interface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            flags.testFlag(QNetworkInterface::IsLoopBack)) {
            continue;
        }
        for (const QNetworkAddressEntry& entry : interface.addressEntries()) {
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                return entry.ip().toString().toStdString();
            }
        }
    }
    return "127.0.0.1";
}

bool StartObserver(CMapServer& server, const std::string& bind, std::string& error) {
    const std::string key = MakeObserverKey();
    if (key.empty()) {
        error = "no random bytes for the observer's key";
        return false;
    }
    server.EnableObserver(key);
    if (!server.IsListening()) {
        const QHostAddress address = bind.empty() ? QHostAddress(QHostAddress::Any)
                                                  : QHostAddress(QString::fromStdString(bind));
        if (address.isNull()) {
            error = "cannot listen on " + bind + ": not an address";
            return false;
        }
        if (!server.Listen(address, 0, error)) {
            return false;
        }
    }
    CHeadlessConsole::Print("OBSERVER " + server.ObserverAddress(ObserverHost(bind)));
    return true;
}

std::unique_ptr<CObserverFeed> OpenObserver(CMapServer& server, const CScenario& scenario,
                                            const CHalyxCommand& agent, CExperimentLog& log,
                                            ObserverOptions options, const std::string& bind,
                                            std::string& error) {
    auto feed = std::make_unique<CObserverFeed>(server, scenario, agent, log, options);
    if (!StartObserver(server, bind, error)) {
        return nullptr;
    }
    return feed;
}

struct CObserverFeed::Model {};

CObserverFeed::CObserverFeed(CMapServer& server, const CScenario& scenario,
                             const CHalyxCommand& agent, CExperimentLog& log,
                             ObserverOptions options)
    : m_server(server), m_agent(agent), m_options(options), m_model(std::make_unique<Model>()) {
    (void)scenario;
    (void)log;
    m_timer.setInterval(kPublishMs);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Publish(); });
    m_timer.start();
}

CObserverFeed::~CObserverFeed() = default;

void CObserverFeed::OnLogLine(std::string_view) {
    m_dirty = true;
}

void CObserverFeed::Publish() {
    const int minute = m_agent.Clock();
    if (!m_dirty && minute == m_publishedMinute) {
        return;
    }
    m_dirty = false;
    m_publishedMinute = minute;
    m_server.PublishObserverState("{\"minute\":" + std::to_string(minute) + "}");
}

} // namespace halyx
