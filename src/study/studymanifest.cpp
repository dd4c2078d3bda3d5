#include "study/studymanifest.h"

#include "common/paths.h"
#include "common/sha256.h"
#include "scenario/scenariofileset.h"
#include "study/studycsv.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace halyx {

namespace {

constexpr size_t kColumns = 14;

std::vector<std::string> Fields(const CManifestRow& r) {
    std::vector<std::string> fields = {
        r.run,   r.team, r.block,    r.scenario, r.scenarioSha256, r.log,     r.logSha256,
        r.start, r.end,  r.decision, r.state,    r.events,         r.version, r.notes};
    for (std::string& field : fields) {
        for (char& c : field) {
            c = c == '\n' || c == '\r' ? ' ' : c;
        }
    }
    return fields;
}

CManifestRow FromFields(std::vector<std::string>& f) {
    return {std::move(f[0]),  std::move(f[1]),  std::move(f[2]),  std::move(f[3]), std::move(f[4]),
            std::move(f[5]),  std::move(f[6]),  std::move(f[7]),  std::move(f[8]), std::move(f[9]),
            std::move(f[10]), std::move(f[11]), std::move(f[12]), std::move(f[13])};
}

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

} // namespace

bool CStudyManifest::Append(const std::string& path, const CManifestRow& row, std::string& error) {
    // Never through a link: a row must not land outside the plan's folder.
    const int fd = ::open(path.c_str(),
                          O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd < 0) {
        error = path + ": " + (errno == ELOOP ? "is a link" : std::strerror(errno));
        return false;
    }
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": not a file";
        ::close(fd);
        return false;
    }
    if (st.st_size == 0) {
        text = std::string(kHeader) + "\n";
    } else if (st.st_size > 0) {
        // A row cut off by a crash must not run into this one.
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n') {
            text = "\n";
        }
    }
    text += CsvLine(Fields(row));
    const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
    if (!written) {
        error = path + ": " + std::strerror(errno);
    }
    ::close(fd);
    return written;
}

CManifestReadResult CStudyManifest::Read(const std::string& path, std::vector<CManifestRow>& rows) {
    rows.clear();
    CManifestReadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0 && errno == ENOENT) {
        result.ok = true;
        return result;
    }
    if (fd < 0) {
        result.message = errno == ELOOP ? "is a link" : std::strerror(errno);
        return result;
    }
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.message = "not a file";
    } else if (static_cast<uint64_t>(st.st_size) > kMaxBytes) {
        result.message = "too large for a study manifest";
    } else {
        text.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                result.message = n < 0 ? std::strerror(errno) : "";
                break;
            }
            got += static_cast<size_t>(n);
        }
        text.resize(got);
    }
    ::close(fd);
    if (!result.message.empty()) {
        return result;
    }
    // Fields never hold line breaks (Append makes them blanks), so each row is one line and a
    // row cut off by a crash cannot swallow the next one, even when it stops inside quotes.
    size_t lineNumber = 0;
    std::vector<std::string> fields;
    for (size_t pos = 0; pos < text.size();) {
        const size_t newline = text.find('\n', pos);
        const bool complete = newline != std::string::npos;
        std::string_view line(text.data() + pos, (complete ? newline : text.size()) - pos);
        pos = complete ? newline + 1 : text.size();
        ++lineNumber;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        CCsvReader reader(line);
        const bool read = reader.Next(fields) && reader.Error().empty();
        if (lineNumber == 1) {
            if (!read || CsvLine(fields) != std::string(kHeader) + "\n") {
                result.line = 1;
                result.message = "the first line must be " + std::string(kHeader);
                return result;
            }
            continue;
        }
        if (line.empty()) {
            continue; // the line break Append puts after a cut-off row
        }
        if (!read || fields.size() != kColumns || !complete) {
            result.tornRows.push_back(lineNumber);
            continue;
        }
        rows.push_back(FromFields(fields));
    }
    result.ok = true;
    return result;
}

bool ScenarioSetFiles(const std::string& hsfPath, std::vector<CScenarioSetFile>& files,
                      std::string& error) {
    files.clear();
    const std::string portable = ToPortablePath(hsfPath);
    std::error_code ec;
    if (std::filesystem::file_size(portable, ec) > (size_t{1} << 20) || ec) {
        error = hsfPath + ": " + (ec ? ec.message() : "too large for a scenario file");
        return false;
    }
    std::ifstream in(portable, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    CScenarioFields fields;
    std::string reason;
    if (!in || !ReadScenarioFileText(text.str(), fields, reason)) {
        error = hsfPath + ": " + (reason.empty() ? std::strerror(errno) : reason);
        return false;
    }
    files.push_back({"scenario", hsfPath});
    const std::string folder = FolderPart(portable);
    for (const ScenarioComponent component : kAllScenarioComponents) {
        if (component == ScenarioComponent::PlumeLines) {
            continue;
        }
        std::string path = ToPortablePath(fields.FullPath(component));
        if (!FileExists(path)) {
            const std::string beside =
                folder + ComponentFolder(component) + "/" + fields.FileName(component);
            if (FileExists(beside)) {
                path = beside;
            }
        }
        files.push_back({ComponentFolder(component), path});
    }
    return true;
}

bool ScenarioSetSha256(const std::string& hsfPath, std::string& hex, std::string& error) {
    std::vector<CScenarioSetFile> files;
    if (!ScenarioSetFiles(hsfPath, files, error)) {
        return false;
    }
    CSha256 set;
    error.clear();
    for (const CScenarioSetFile& file : files) {
        std::string fileHex;
        std::string why;
        if (!Sha256OfFile(file.path, fileHex, why)) {
            error += (error.empty() ? "" : "; ") + file.role + ": " + why;
            continue;
        }
        set.Update(file.role + " " + fileHex + "\n");
    }
    if (!error.empty()) {
        return false;
    }
    hex = set.HexDigest();
    return true;
}

std::string IsoUtc(long long tsid) {
    const std::time_t seconds = static_cast<std::time_t>(tsid / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

} // namespace halyx
