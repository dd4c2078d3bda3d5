#include "mapserver/mapserver.h"

#include "mapserver/mappath.h"

#include <QFile>
#include <QHttpServer>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QTcpServer>
#include <QUrl>

#include <filesystem>
#include <system_error>

namespace halyx {

namespace {

namespace fs = std::filesystem;

std::string Canonical(const fs::path& path) {
    std::error_code ec;
    const fs::path real = fs::canonical(path, ec);
    return ec ? std::string() : real.generic_string();
}

bool IsRegularFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

// Inside folder: the folder's real path followed by a separator.
bool IsInside(const std::string& canonicalFile, const std::string& canonicalFolder) {
    std::string prefix = canonicalFolder;
    if (prefix.empty() || prefix.back() != '/') {
        prefix += '/';
    }
    return canonicalFile.size() > prefix.size() && canonicalFile.starts_with(prefix);
}

} // namespace

CMapServer::CMapServer() : m_http(std::make_unique<QHttpServer>()) {
    // No routes: every request comes here, so that nothing the library would answer on its own
    // (a directory, a default page) is reachable.
    m_http->setMissingHandler(
        [this](const QHttpServerRequest& request, QHttpServerResponder&& responder) {
            Answer(request, responder);
        });
}

CMapServer::~CMapServer() = default;

bool CMapServer::Add(const std::string& name, const std::string& path,
                     const std::string& canonical) {
    if (!IsServableMapName(name) || m_files.count(name) != 0) {
        return false;
    }
    m_files.emplace(name, File{path, canonical});
    return true;
}

std::size_t CMapServer::ServeFolder(const std::string& folder) {
    const std::string realFolder = Canonical(folder);
    if (realFolder.empty()) {
        return 0;
    }
    std::size_t added = 0;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const fs::path path = entry.path();
        if (path.extension() != ".txt" || !IsRegularFile(path)) {
            continue;
        }
        const std::string real = Canonical(path);
        // A link that leads out of the folder is not served: the folder is what was shared.
        if (real.empty() || !IsInside(real, realFolder)) {
            continue;
        }
        if (Add(path.filename().string(), path.string(), real)) {
            ++added;
        }
    }
    return added;
}

std::string CMapServer::NameOf(const std::string& path) const {
    const std::string real = Canonical(path);
    for (const auto& [name, file] : m_files) {
        if (file.path == path || (!real.empty() && file.canonical == real)) {
            return name;
        }
    }
    return {};
}

std::string CMapServer::ServeFile(const std::string& path) {
    if (std::string known = NameOf(path); !known.empty()) {
        return known;
    }
    const std::string real = Canonical(path);
    if (real.empty() || !IsRegularFile(real)) {
        return {};
    }
    const fs::path file(real);
    std::string stem = file.stem().string();
    std::string extension = file.extension().string();
    if (!IsServableMapName(stem + extension)) {
        stem = "map";
        extension = IsServableMapName("map" + extension) ? extension : ".txt";
    }
    std::string name = stem + extension;
    for (int n = 2; m_files.count(name) != 0 && n < 1000; ++n) {
        name = stem + "-" + std::to_string(n) + extension;
    }
    return Add(name, path, real) ? name : std::string();
}

bool CMapServer::Listen(const QHostAddress& address, quint16 port, std::string& error) {
    auto* tcp = new QTcpServer(m_http.get());
    if (!tcp->listen(address, port)) {
        error = "cannot listen on " + address.toString().toStdString() + ":" +
                std::to_string(port) + ": " + tcp->errorString().toStdString();
        delete tcp;
        return false;
    }
    m_port = tcp->serverPort();
    m_http->bind(tcp);
    return true;
}

bool CMapServer::IsListening() const {
    return m_port != 0;
}

quint16 CMapServer::Port() const {
    return m_port;
}

std::string CMapServer::AddressOf(const std::string& name, const std::string& host) const {
    const std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
    return "http://" + shownHost + ":" + std::to_string(m_port) + std::string(kMapPathPrefix) +
           name;
}

void CMapServer::Answer(const QHttpServerRequest& request, QHttpServerResponder& responder) {
    using Status = QHttpServerResponder::StatusCode;
    const QHttpServerRequest::Method method = request.method();
    if (method != QHttpServerRequest::Method::Get && method != QHttpServerRequest::Method::Head) {
        ++m_refused;
        responder.write(QByteArray("only GET and HEAD are answered here\n"),
                        {{"Content-Type", "text/plain"}, {"Allow", "GET, HEAD"}},
                        Status::MethodNotAllowed);
        return;
    }
    const auto notFound = [&] {
        ++m_refused;
        responder.write(QByteArray("no such map\n"), {{"Content-Type", "text/plain"}},
                        Status::NotFound);
    };
    const QByteArray path = request.url().path(QUrl::FullyEncoded).toUtf8();
    const std::optional<std::string> name =
        MapNameOfRequestPath(std::string_view(path.constData(), static_cast<size_t>(path.size())));
    const auto it = name ? m_files.find(*name) : m_files.end();
    if (it == m_files.end()) {
        notFound();
        return;
    }
    // The file may have been replaced by a link to somewhere else since it was handed over.
    const File& file = it->second;
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file.canonical, ec);
    if (Canonical(file.path) != file.canonical || ec || size > kMaxFileBytes) {
        notFound();
        return;
    }
    QFile in(QString::fromStdString(file.canonical));
    if (!in.open(QIODevice::ReadOnly)) {
        notFound();
        return;
    }
    const QByteArray body = in.read(static_cast<qint64>(kMaxFileBytes));
    ++m_served;
    if (method == QHttpServerRequest::Method::Head) {
        responder.writeStatusLine(Status::Ok);
        responder.writeHeader("Content-Type", "text/plain; charset=utf-8");
        responder.writeHeader("Content-Length", QByteArray::number(body.size()));
        responder.writeBody(QByteArray());
        return;
    }
    responder.write(body, {{"Content-Type", "text/plain; charset=utf-8"}}, Status::Ok);
}

} // namespace halyx
