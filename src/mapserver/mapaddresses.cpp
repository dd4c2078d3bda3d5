#include "mapserver/mapaddresses.h"

#include "common/paths.h"
#include "mapserver/mappath.h"
#include "mapserver/mapserver.h"
#include "scenario/mapsource.h"

#include <QHostAddress>

namespace halyx {

bool IsMapServerUrl(std::string_view url) {
    for (const std::string_view scheme : {"http://", "https://"}) {
        if (url.size() > scheme.size() && url.substr(0, scheme.size()) == scheme &&
            url[scheme.size()] != '/') {
            return true;
        }
    }
    return false;
}

bool CMapAddresses::Serve(const std::string& folder, const std::string& bind, int agentPort,
                          std::string& error) {
    QHostAddress address(QHostAddress::Any);
    if (!bind.empty() && !address.setAddress(QString::fromStdString(bind))) {
        error = bind + " is not an address";
        return false;
    }
    m_server.ServeFolder(folder);
    // Next to the agent's port, so that a firewall opens two neighbouring ports; any free port
    // when that one is taken (or the agent took the last one).
    std::string ignored;
    const bool next = agentPort > 0 && agentPort < 65535 &&
                      m_server.Listen(address, static_cast<quint16>(agentPort + 1), ignored);
    if (!next && !m_server.Listen(address, 0, error)) {
        return false;
    }
    m_bind = bind;
    m_serving = true;
    return true;
}

void CMapAddresses::UseServer(std::string url) {
    if (!url.empty() && url.back() != '/') {
        url += '/';
    }
    m_base = std::move(url);
}

std::string CMapAddresses::Resolve(const std::string& address,
                                   const std::function<std::string()>& host) {
    if (!Active() || ClassifyMapAddress(address) != MapAddressKind::File) {
        return address;
    }
    const std::string path = MapAddressToPath(address);
    if (!m_base.empty()) {
        const std::string name = FileNamePart(path);
        return IsServableMapName(name) ? m_base + name : address;
    }
    const std::string name = m_server.ServeFile(path);
    if (name.empty()) {
        return address;
    }
    std::string where = host ? host() : std::string();
    if (where.empty()) {
        const QHostAddress bound(QString::fromStdString(m_bind));
        where = !m_bind.empty() && !bound.isNull() && bound != QHostAddress::AnyIPv4 &&
                        bound != QHostAddress::AnyIPv6 && bound != QHostAddress::Any
                    ? m_bind
                    : std::string("127.0.0.1");
    }
    return m_server.AddressOf(name, where);
}

} // namespace halyx
