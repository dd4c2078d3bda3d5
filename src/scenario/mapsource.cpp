#include "scenario/mapsource.h"

#include "common/format.h"
#include "common/numtext.h"
#include "common/paths.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <system_error>

namespace halyx {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = HexDigitValue(text[i + 1]);
            const int low = HexDigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

CMapSourceResult ReadFileSource(const std::string& address, const CMapSourceOptions& options) {
    CMapSourceResult result;
    const std::string path = MapAddressToPath(address);
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        result.error = Format("%s: no such file", path.c_str());
        return result;
    }
    if (!std::filesystem::is_regular_file(status)) {
        result.error = Format("%s: not a file", path.c_str());
        return result;
    }
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        result.error = Format("%s: %s", path.c_str(), ec.message().c_str());
        return result;
    }
    if (size > options.maxBytes) {
        result.error = Format("%s: larger than %zu bytes", path.c_str(), options.maxBytes);
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        result.error = Format("%s: %s", path.c_str(), std::strerror(errno));
        return result;
    }
    result.text.resize(static_cast<size_t>(size));
    in.read(result.text.data(), static_cast<std::streamsize>(size));
    result.text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) {
        result.text.clear();
        result.error = Format("%s: read error", path.c_str());
        return result;
    }
    result.ok = true;
    return result;
}

struct Download {
    std::string text;
    size_t maxBytes = 0;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* context) {
    auto* download = static_cast<Download*>(context);
    const size_t bytes = size * count;
    if (download->text.size() + bytes > download->maxBytes) {
        download->tooLarge = true;
        return 0; // ends the transfer with a write error
    }
    download->text.append(data, bytes);
    return bytes;
}

CMapSourceResult ReadHttpSource(const std::string& address, const CMapSourceOptions& options) {
    static std::once_flag curlReady;
    std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    CMapSourceResult result;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        result.error = "the web client could not start";
        return result;
    }
    Download download;
    download.maxBytes = options.maxBytes;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, options.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, options.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &download);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (download.tooLarge) {
        result.error = Format("%s: larger than %zu bytes", address.c_str(), options.maxBytes);
    } else if (code != CURLE_OK) {
        result.error = Format("%s: %s", address.c_str(),
                              errorText[0] != '\0' ? errorText : curl_easy_strerror(code));
    } else {
        result.ok = true;
        result.text = std::move(download.text);
    }
    return result;
}

} // namespace

MapAddressKind ClassifyMapAddress(std::string_view address) {
    if (StartsWithNoCase(address, "http://") || StartsWithNoCase(address, "https://")) {
        return MapAddressKind::Http;
    }
    return MapAddressKind::File;
}

std::string MapAddressToPath(std::string_view address) {
    if (!StartsWithNoCase(address, "file:")) {
        return ToPortablePath(address);
    }
    std::string_view rest = address.substr(5);
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        // An authority part: empty or "localhost" name this machine.
        const size_t slash = rest.find('/');
        const std::string_view host =
            slash == std::string_view::npos ? rest : rest.substr(0, slash);
        if (host.empty() || StartsWithNoCase(host, "localhost")) {
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        }
    }
    std::string path = ToPortablePath(PercentDecode(rest));
    // "file:///C:/Halyx/maps/world.txt" names a drive path written on the other platform.
    if (path.size() >= 3 && path[0] == '/' && path[2] == ':') {
        path.erase(0, 1);
    }
    return path;
}

std::string PathToFileAddress(std::string_view path) {
    std::string absolute = ToPortablePath(path);
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(absolute, ec);
    if (!ec) {
        absolute = full.lexically_normal().generic_string();
    }
    std::string address = "file://";
    for (const char c : absolute) {
        if (c == ' ' || c == '%' || c == '#' || c == '?') {
            AppendFormat(address, "%%%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
        } else {
            address += c;
        }
    }
    return address;
}

CMapSourceResult ReadMapSource(const std::string& address, const CMapSourceOptions& options) {
    if (ClassifyMapAddress(address) == MapAddressKind::Http) {
        return ReadHttpSource(address, options);
    }
    return ReadFileSource(address, options);
}

} // namespace halyx
